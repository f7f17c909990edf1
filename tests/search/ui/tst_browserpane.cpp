#include "app/clock.h"
#include "search/harvestlist.h"
#include "search/pagingrun.h"
#include "search/resultparser.h"
#include "search/ui/browserpane.h"
#include "search/ui/browserview.h"
#include "support/httptestserver.h"
#include "support/resultpages.h"
#include "support/uitestmain.h"

#include <QSignalSpy>
#include <QWebEngineProfile>

namespace {

ScriptedResponse html(const QByteArray &body) { return ScriptedResponse::ok(body, "text/html; charset=utf-8"); }

// Loads the address and waits for the top-level document.
bool load(BrowserPane &pane, const QString &url)
{
    QSignalSpy complete(&pane, &BrowserPane::DocumentComplete);
    pane.Navigate(QUrl(url));
    return complete.wait(20000) && !pane.Busy();
}

DocumentPtr read(BrowserPane &pane)
{
    DocumentPtr result;
    bool answered = false;
    pane.Document([&](DocumentPtr doc) {
        result = doc;
        answered = true;
    });
    if (!QTest::qWaitFor([&] { return answered; }, 20000))
        return nullptr;
    return result;
}

// Moves the clock over every pause of the run as soon as it begins, so a
// run is as fast as its loads.
struct FastPauses {
    ManualClock clock;
    FastPauses(PagingRun &run)
    {
        Clock::setInstance(&clock);
        QObject::connect(&run, &PagingRun::phaseChanged, &run, [this](PagingRun::Phase phase) {
            if (phase == PagingRun::Phase::Settling || phase == PagingRun::Phase::Delaying)
                clock.advance(200);
        });
    }
    ~FastPauses() { Clock::setInstance(nullptr); }
};

} // namespace

class TestBrowserPane : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void usesTheProgramProfile();
    void framesAreReadButCompleteOnlyOnce();
    void newWindowsLoadInTheSamePane();
    void classicSetIsWalkedToTheEnd();
    void todayPageGrowsByItsButton();
    void stopDuringALoad();

private:
    HttpTestServer m_server;
};

void TestBrowserPane::initTestCase() { QVERIFY(m_server.listen()); }

void TestBrowserPane::usesTheProgramProfile()
{
    BrowserPane a, b;
    QCOMPARE(a.page()->profile(), b.page()->profile());
    QCOMPARE(a.page()->profile()->storageName(), QString("Velmora"));
    QVERIFY(!a.GoBack());
    QVERIFY(!a.GoForward());
}

void TestBrowserPane::framesAreReadButCompleteOnlyOnce()
{
    m_server.route("/framed", html("<html><body><div class=\"rprt\"><div class=\"title\">Top</div><div class=\"links\">"
                                   "<a href=\"/top.pdf\">PDF</a></div></div>"
                                   "<iframe src=\"/inner\"></iframe><a href=\"/two\">next &gt;</a></body></html>"));
    m_server.route("/inner", html("<html><body><div class=\"rprt\"><div class=\"title\">Inside</div><div class=\"links\">"
                                  "<a href=\"/inner.pdf\">PDF</a></div></div><a href=\"/frame-next\">next &gt;</a></body></html>"));
    BrowserPane pane;
    QSignalSpy complete(&pane, &BrowserPane::DocumentComplete);
    pane.Navigate(m_server.urlString("/framed"));
    QVERIFY(complete.wait(20000));
    QTest::qWait(300); // a frame finishing late would show up here
    QCOMPARE(complete.size(), 1);

    DocumentPtr doc = read(pane);
    QVERIFY(doc);
    HarvestList list;
    QCOMPARE(导入当且页面(doc.get(), list, true), 2);
    QCOMPARE(list.at(0).url, m_server.urlString("/top.pdf"));
    QCOMPARE(list.at(1).url, m_server.urlString("/inner.pdf")); // absolute, against the frame's address
    // Paging follows the top-level document's own link only.
    QCOMPARE(doc->href(ResultPage::nextPageLink(*doc)), m_server.urlString("/two"));
}

void TestBrowserPane::newWindowsLoadInTheSamePane()
{
    m_server.route("/start", html("<html><body><a href=\"/second\" target=\"_blank\">open</a>"
                                  "<button onclick=\"window.close()\">close</button>"
                                  "<script>alert('hi')</script></body></html>"));
    m_server.route("/second", html("<html><head><title>Second</title></head><body>second</body></html>"));
    BrowserView view(new BrowserPane);
    BrowserPane &pane = *view.pane();
    pane.setSilent(true); // the page's alert must not hold the load
    view.resize(600, 400);
    view.show();
    QVERIFY(load(pane, m_server.urlString("/start")));

    DocumentPtr doc = read(pane);
    QVERIFY(doc);
    const QList<int> buttons = doc->getElementsByTagName("button");
    QCOMPARE(buttons.size(), 1);
    QSignalSpy closing(&pane, &BrowserPane::WindowClosing);
    QVERIFY(doc->click(buttons.first()));
    QVERIFY(closing.wait(10000));

    QSignalSpy newWindow(&pane, &BrowserPane::NewWindow2);
    QSignalSpy before(&pane, &BrowserPane::BeforeNavigate2);
    QSignalSpy title(&pane, &BrowserPane::TitleChange);
    QSignalSpy complete(&pane, &BrowserPane::DocumentComplete);
    QVERIFY(doc->click(doc->links().first()));
    QVERIFY(complete.wait(20000));
    QCOMPARE(newWindow.size(), 1);
    QCOMPARE(newWindow.first().first().toUrl(), QUrl(m_server.urlString("/second")));
    QCOMPARE(pane.url(), QUrl(m_server.urlString("/second")));
    QVERIFY(!before.isEmpty());
    QTRY_VERIFY(!title.isEmpty() && title.last().first().toString() == "Second");
    QCOMPARE(view.page(), pane.page()); // still the one page
    QVERIFY(view.isVisible());
    QVERIFY(pane.GoBack());
    QTRY_COMPARE(pane.url(), QUrl(m_server.urlString("/start")));
}

void TestBrowserPane::classicSetIsWalkedToTheEnd()
{
    m_server.route("/c1", html(ResultPages::classicPage(1, 3, "/c2")));
    m_server.route("/c2", html(ResultPages::classicPage(4, 6, "/c3")));
    m_server.route("/c3", html(ResultPages::classicPage(7, 8)));
    BrowserPane pane;
    QVERIFY(load(pane, m_server.urlString("/c1")));
    HarvestList list;
    PagingRun run(&pane, &list);
    FastPauses pauses(run);
    QSignalSpy finished(&run, &PagingRun::finished);
    run.setPdfOnly(false);
    run.click();
    QVERIFY(finished.wait(60000));
    QCOMPARE(list.count(), 16);
    QCOMPARE(list.at(0).title, QString("Result 1 of the gene study"));
    QCOMPARE(list.at(0).type, QString("htm"));
    QCOMPARE(list.at(15).url, QString("https://www.ncbi.nlm.nih.gov/pmc/articles/PMC8/pdf/paper8.pdf"));
    QCOMPARE(pane.url(), QUrl(m_server.urlString("/c3")));
    QCOMPARE(run.caption(), PagingRun::idleCaption());
}

void TestBrowserPane::todayPageGrowsByItsButton()
{
    m_server.route("/today", html(ResultPages::todayPage(1, 10, "/more")));
    m_server.route("/more?page=2", ScriptedResponse::ok(ResultPages::todayItems(11, 20), "text/html"));
    m_server.route("/more?page=3", ScriptedResponse::ok("LAST" + ResultPages::todayItems(21, 25), "text/html"));
    BrowserPane pane;
    QVERIFY(load(pane, m_server.urlString("/today")));
    HarvestList list;
    PagingRun run(&pane, &list);
    FastPauses pauses(run);
    QSignalSpy finished(&run, &PagingRun::finished);
    run.start();
    QVERIFY(finished.wait(60000));
    QCOMPARE(list.count(), 25); // PDF rows only, each item once
    QCOMPARE(list.at(0).title, QString("Item 1 on gene expression"));
    QCOMPARE(list.at(0).url, QString("https://pmc.ncbi.nlm.nih.gov/articles/PMC1/pdf/"));
    QCOMPARE(list.at(24).url, QString("https://pmc.ncbi.nlm.nih.gov/articles/PMC25/pdf/"));
}

void TestBrowserPane::stopDuringALoad()
{
    m_server.route("/s1", html(ResultPages::classicPage(1, 2, "/s2")));
    ScriptedResponse stalled;
    stalled.silent = true; // the next page never answers
    m_server.route("/s2", stalled);
    BrowserPane pane;
    QVERIFY(load(pane, m_server.urlString("/s1")));
    HarvestList list;
    PagingRun run(&pane, &list);
    QSignalSpy finished(&run, &PagingRun::finished);
    run.click();
    QTRY_COMPARE_WITH_TIMEOUT(run.phase(), PagingRun::Phase::Loading, 20000);
    QTRY_VERIFY(pane.Busy());
    run.click();
    QVERIFY(finished.wait(5000));
    QCOMPARE(list.count(), 2);
    QCOMPARE(run.caption(), PagingRun::idleCaption());
}

VELMORA_UI_TEST_MAIN(TestBrowserPane)
#include "tst_browserpane.moc"
