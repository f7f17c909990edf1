#include "app/clock.h"
#include "search/browserport.h"
#include "search/harvestlist.h"
#include "search/pagingrun.h"
#include "search/resultparser.h"
#include "support/pagebuilder.h"
#include "support/testhome.h"

#include <QSignalSpy>
#include <QTimer>

namespace {

// "title|type|url" per row, in list order.
QStringList rowsOf(const HarvestList &list)
{
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.at(i).title + '|' + list.at(i).type + '|' + list.at(i).url;
    return out;
}

QString block(const QString &title, const QString &links)
{
    QString out = "div[rprt]{ ";
    if (!title.isNull())
        out += "div[title]\"" + title + "\" ";
    return out + "div[links]{ " + links + " } } ";
}

QString todayItem(const QString &title, const QString &url)
{
    return "li[margin-bottom-3 grid-col-12 article]{ div[docsum-content]{ a[usa-link docsum-title docsum-link]\"" + title
           + "\"@" + url + " } div[docsum-citation]\"Cite\" } ";
}

// A browser stand-in: shows one of its pages; a click on a "next >" link
// loads the following page (busy until the load completes), a click on the
// "Show More Results" button replaces the page by the following state, as
// the site's script appends results.
class FakeBrowser : public BrowserPort {
public:
    QList<std::shared_ptr<SnapshotDocument>> pages;
    int current = 0;
    bool busy = false;
    bool completeLoads = true; // false: a started load never finishes
    bool growOnClick = true;
    QList<int> clicks;

    void addPage(const QString &outline)
    {
        auto doc = buildPage(outline);
        doc->setClickHandler([this, raw = doc.get()](int element) {
            clicks << element;
            if (raw->tagName(element) == "a") {
                busy = true;
                current = qMin(current + 1, int(pages.size()) - 1);
                if (completeLoads)
                    QTimer::singleShot(0, this, [this] { busy = false; emit documentComplete(); });
            } else if (growOnClick) {
                QTimer::singleShot(0, this, [this] { current = qMin(current + 1, int(pages.size()) - 1); });
            }
            return true;
        });
        pages << doc;
    }
    bool isBusy() const override { return busy; }
    void readDocument(DocumentCallback done) override
    {
        DocumentPtr doc = pages.value(current);
        QTimer::singleShot(0, this, [doc, done] { done(doc); });
    }
};

struct ClockInstall {
    ManualClock clock;
    ClockInstall() { Clock::setInstance(&clock); }
    ~ClockInstall() { Clock::setInstance(nullptr); }
};

} // namespace

class TestResultParser : public QObject {
    Q_OBJECT
private slots:
    void classicImport_data();
    void classicImport();
    void todayImport_data();
    void todayImport();
    void importTwiceAndNoDocument();
    void pagingControls_data();
    void pagingControls();
    void classicRunWalksEveryPage();
    void loadLimitEndsRun();
    void stopDuringLoadAndDuringPause();
    void todayRunPressesShowMore();
    void todayRunEndsWhenClickAddsNothing();
};

void TestResultParser::classicImport_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("pdfOnly");
    QTest::addColumn<QStringList>("rows");

    const QString two = block("Alpha", "a\"Article\"@http://h/a1 a\"PDF–2.1M\"@http://h/a1.pdf")
                        + block("Beta", "a\"Article\"@http://h/b1 a\"PDF–1.0M\"@http://h/b1.pdf");
    QTest::newRow("article and PDF per block") << two << false
        << QStringList{"Alpha|htm|http://h/a1", "Alpha|PDF|http://h/a1.pdf", "Beta|htm|http://h/b1", "Beta|PDF|http://h/b1.pdf"};
    QTest::newRow("PDF only") << two << true << QStringList{"Alpha|PDF|http://h/a1.pdf", "Beta|PDF|http://h/b1.pdf"};

    QTest::newRow("class with a second name is no block")
        << "div[rprt extra]{ div[title]\"Alpha\" div[links]{ a\"PDF\"@http://h/p } }" << false << QStringList{};
    QTest::newRow("class compared without case")
        << "div[RPRT]{ div[Title]\"Alpha\" div[LINKS]{ a\"pdf\"@http://h/p } }" << false << QStringList{"Alpha|PDF|http://h/p"};
    QTest::newRow("link texts") << block("T", "a\"Download PDF\"@http://h/no1 a\" pdf \"@http://h/yes a\"Articles\"@http://h/no2 "
                                          "a\" Article \"@http://h/art")
                                << false << QStringList{"T|htm|http://h/art", "T|PDF|http://h/yes"};
    QTest::newRow("later matching link wins") << block("T", "a\"PDF\"@http://h/first a\"PDF (epub)\"@http://h/second")
                                              << true << QStringList{"T|PDF|http://h/second"};
    QTest::newRow("title trimmed of spaces only") << block("  Line one\nline two  ", "a\"PDF\"@http://h/p") << true
                                                  << QStringList{"Line one\nline two|PDF|http://h/p"};
    QTest::newRow("nested title and links")
        << "div[rprt]{ div[rslt]{ div[title]\"Deep\" div[supp]{ div[links]{ span{ a\"PDF\"@http://h/p } } } } }" << true
        << QStringList{"Deep|PDF|http://h/p"};
    QTest::newRow("links outside a links div are not read")
        << "div[rprt]{ div[title]\"T\" a\"PDF\"@http://h/p div[other]{ a\"PDF\"@http://h/q } }" << true << QStringList{};
    QTest::newRow("carry-forward of title and links")
        << block("Alpha", "a\"Article\"@http://h/a1 a\"PDF\"@http://h/a1.pdf") + block(QString(), "a\"PDF\"@http://h/x.pdf")
               + block("Gamma", "a\"Article\"@http://h/g1")
        << false
        << QStringList{"Alpha|htm|http://h/a1", "Alpha|PDF|http://h/a1.pdf", "Alpha|PDF|http://h/x.pdf", "Gamma|htm|http://h/g1"};
    QTest::newRow("no title yet adds nothing until one is seen")
        << block(QString(), "a\"PDF\"@http://h/orphan.pdf") + "div[rprt]{ div[title]\"Later\" }" << true
        << QStringList{"Later|PDF|http://h/orphan.pdf"};
    QTest::newRow("page without results") << "div[content]{ div[title]\"Not a result\" a\"next >\"@http://h/2 }" << false
                                          << QStringList{};
}

void TestResultParser::classicImport()
{
    QFETCH(QString, page);
    QFETCH(bool, pdfOnly);
    QFETCH(QStringList, rows);
    HarvestList list;
    auto doc = buildPage(page);
    QCOMPARE(导入当且页面(doc.get(), list, pdfOnly), rows.size());
    QCOMPARE(rowsOf(list), rows);
}

void TestResultParser::todayImport_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("pdfOnly");
    QTest::addColumn<QStringList>("rows");

    const QString base = "https://pmc.ncbi.nlm.nih.gov/articles/";
    QTest::newRow("items in the article list")
        << "div[articles]{ ul{ " + todayItem(" Gene <b>x</b> study ", base + "PMC4107773") + todayItem("Second", base + "PMC1/")
               + " } }"
        << false
        << QStringList{"Gene <b>x</b> study|htm|" + base + "PMC4107773", "Gene <b>x</b> study|PDF|" + base + "PMC4107773/pdf/",
                       "Second|htm|" + base + "PMC1/", "Second|PDF|" + base + "PMC1/pdf/"};
    QTest::newRow("PDF only, PDF into the path before a query")
        << todayItem("Q", base + "PMC2?report=classic#x") << true << QStringList{"Q|PDF|" + base + "PMC2/pdf/"};
    QTest::newRow("item without a title link, other links first")
        << "li[article]{ a[usa-link]\"Cited by\"@" + base + "PMC9/citedby }" + "li[grid-col-12 Article]{ a[usa-link]\"x\"@http://h/x "
               "a[docsum-title]\"Third\"@" + base + "PMC3 }"
        << true << QStringList{"Third|PDF|" + base + "PMC3/pdf/"};
    QTest::newRow("li without the article class") << "li[articles]{ a[docsum-title]\"No\"@" + base + "PMC4 }" << false
                                                  << QStringList{};
    QTest::newRow("classic blocks take precedence")
        << block("Classic", "a\"PDF\"@http://h/c.pdf") + todayItem("Today", base + "PMC5") << true
        << QStringList{"Classic|PDF|http://h/c.pdf"};
}

void TestResultParser::todayImport() { classicImport(); }

void TestResultParser::importTwiceAndNoDocument()
{
    HarvestList list;
    auto doc = buildPage(block("Alpha", "a\"Article\"@http://h/a a\"PDF\"@http://h/p"));
    QCOMPARE(导入当且页面(doc.get(), list, false), 2);
    list.setStatus(0, "成功");
    auto changed = buildPage(block("Other title", "a\"Article\"@http://h/a a\"PDF\"@http://h/p"));
    QCOMPARE(导入当且页面(changed.get(), list, false), 2);
    QCOMPARE(rowsOf(list), QStringList({"Alpha|htm|http://h/a", "Alpha|PDF|http://h/p"}));
    QCOMPARE(list.at(0).status, QString("成功"));
    QCOMPARE(导入当且页面(nullptr, list, false), 2);
}

void TestResultParser::pagingControls_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("hasNext");
    QTest::addColumn<bool>("hasButton");

    QTest::newRow("next link") << "div{ a\" Next > \"@http://h/2 }" << true << false;
    QTest::newRow("next link needs its space") << "a\"next>\"@http://h/2 a\"Next >>\"@http://h/3" << false << false;
    QTest::newRow("show more") << "button[usa-button more]\"Show More Results\"" << false << true;
    QTest::newRow("show more by text") << "button[usa-button]\" Show more results \"" << false << true;
    QTest::newRow("no button") << "button[usa-button]\"Search\"" << false << false;
}

void TestResultParser::pagingControls()
{
    QFETCH(QString, page);
    QFETCH(bool, hasNext);
    QFETCH(bool, hasButton);
    auto doc = buildPage(page);
    QCOMPARE(ResultPage::nextPageLink(*doc) >= 0, hasNext);
    const int button = ResultPage::showMoreButton(*doc);
    QCOMPARE(button >= 0, hasButton);
    if (button >= 0) {
        doc->element(button).hidden = true;
        QCOMPARE(ResultPage::showMoreButton(*doc), -1);
        doc->element(button).hidden = false;
        doc->element(button).disabled = true;
        QCOMPARE(ResultPage::showMoreButton(*doc), -1);
    }
}

void TestResultParser::classicRunWalksEveryPage()
{
    ClockInstall clock;
    FakeBrowser browser;
    browser.addPage(block("P1", "a\"PDF\"@http://h/1.pdf") + "a\"next >\"@http://h/page2");
    browser.addPage(block("P2", "a\"PDF\"@http://h/2.pdf") + "a\"next >\"@http://h/page3");
    browser.addPage(block("P3", "a\"PDF\"@http://h/3.pdf"));
    HarvestList list;
    PagingRun run(&browser, &list);
    run.setPollInterval(5);
    run.setDelaySeconds(1);
    QSignalSpy running(&run, &PagingRun::runningChanged);
    QSignalSpy finished(&run, &PagingRun::finished);
    QCOMPARE(run.caption(), QString("加入全部到列表"));

    run.click();
    QCOMPARE(run.caption(), QString("停止加入全部"));
    QCOMPARE(running.size(), 1);
    for (int page = 2; page <= 3; ++page) {
        // The click, its load, then the 2-second pause and the delay, each
        // measured on the clock.
        QTRY_COMPARE(run.phase(), PagingRun::Phase::Settling);
        QVERIFY(!run.pageLoading());
        clock.clock.advance(1.9);
        QTest::qWait(30);
        QCOMPARE(run.phase(), PagingRun::Phase::Settling);
        clock.clock.advance(0.1);
        QTRY_COMPARE(run.phase(), PagingRun::Phase::Delaying);
        clock.clock.advance(0.9);
        QTest::qWait(30);
        QCOMPARE(run.phase(), PagingRun::Phase::Delaying);
        clock.clock.advance(0.1);
        QTRY_COMPARE(browser.clicks.size(), page == 2 ? 1 : 2);
        QCOMPARE(browser.current, page - 1);
    }
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(run.caption(), QString("加入全部到列表"));
    QCOMPARE(running.size(), 2);
    QCOMPARE(rowsOf(list), QStringList({"P1|PDF|http://h/1.pdf", "P2|PDF|http://h/2.pdf", "P3|PDF|http://h/3.pdf"}));
}

void TestResultParser::loadLimitEndsRun()
{
    ClockInstall clock;
    FakeBrowser browser;
    browser.completeLoads = false;
    browser.addPage(block("P1", "a\"PDF\"@http://h/1.pdf") + "a\"next >\"@http://h/page2");
    browser.addPage(block("P2", "a\"PDF\"@http://h/2.pdf"));
    HarvestList list;
    PagingRun run(&browser, &list);
    run.setPollInterval(5);
    QSignalSpy finished(&run, &PagingRun::finished);
    run.start();
    QTRY_COMPARE(run.phase(), PagingRun::Phase::Loading);
    QVERIFY(run.pageLoading());
    clock.clock.advance(90);
    QTest::qWait(30);
    QCOMPARE(run.phase(), PagingRun::Phase::Loading); // not more than 90 seconds yet
    clock.clock.advance(0.5);
    QTRY_COMPARE(finished.size(), 1);
    QVERIFY(!run.isRunning());
    QCOMPARE(list.count(), 1); // the first page stays imported
}

void TestResultParser::stopDuringLoadAndDuringPause()
{
    ClockInstall clock;
    {
        FakeBrowser browser;
        browser.completeLoads = false;
        browser.addPage(block("P1", "a\"PDF\"@http://h/1.pdf") + "a\"next >\"@http://h/page2");
        browser.addPage(block("P2", "a\"PDF\"@http://h/2.pdf"));
        HarvestList list;
        PagingRun run(&browser, &list);
        run.setPollInterval(5);
        QSignalSpy finished(&run, &PagingRun::finished);
        run.click();
        QTRY_COMPARE(run.phase(), PagingRun::Phase::Loading);
        run.click(); // the second click only asks for the stop
        QVERIFY(run.stopPaging());
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(run.caption(), PagingRun::idleCaption());
    }
    {
        FakeBrowser browser;
        browser.addPage(block("P1", "a\"PDF\"@http://h/1.pdf") + "a\"next >\"@http://h/page2");
        browser.addPage(block("P2", "a\"PDF\"@http://h/2.pdf") + "a\"next >\"@http://h/page3");
        browser.addPage(block("P3", "a\"PDF\"@http://h/3.pdf"));
        HarvestList list;
        PagingRun run(&browser, &list);
        run.setPollInterval(5);
        run.setDelaySeconds(5);
        QSignalSpy finished(&run, &PagingRun::finished);
        run.click();
        QTRY_COMPARE(run.phase(), PagingRun::Phase::Settling);
        run.click();
        // The 2-second pause ends at once; the delay between pages runs out.
        QTRY_COMPARE(run.phase(), PagingRun::Phase::Delaying);
        clock.clock.advance(4);
        QTest::qWait(30);
        QVERIFY(run.isRunning());
        clock.clock.advance(1);
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(browser.clicks.size(), 1); // no further page was asked for
        QCOMPARE(list.count(), 1);
    }
}

void TestResultParser::todayRunPressesShowMore()
{
    ClockInstall clock;
    FakeBrowser browser;
    const QString base = "https://pmc.ncbi.nlm.nih.gov/articles/";
    const QString more = "button[usa-button more]\"Show More Results\"";
    QString items = todayItem("One", base + "PMC1") + todayItem("Two", base + "PMC2");
    browser.addPage("div[articles]{ ul{ " + items + "} } " + more);
    items += todayItem("Three", base + "PMC3");
    browser.addPage("div[articles]{ ul{ " + items + "} } " + more);
    items += todayItem("Four", base + "PMC4");
    browser.addPage("div[articles]{ ul{ " + items + "} } " + "button[usa-button more hidden]\"Show More Results\"");
    browser.pages.last()->element(browser.pages.last()->size() - 1).hidden = true;
    HarvestList list;
    PagingRun run(&browser, &list);
    run.setPollInterval(5);
    run.setDelaySeconds(0);
    run.setPdfOnly(false);
    QSignalSpy finished(&run, &PagingRun::finished);
    run.start();
    for (int round = 1; round <= 2; ++round) {
        QTRY_COMPARE(browser.clicks.size(), round);
        QTRY_COMPARE(run.phase(), PagingRun::Phase::Settling);
        clock.clock.advance(2);
    }
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(browser.clicks.size(), 2);
    QCOMPARE(list.count(), 8);
    QCOMPARE(list.at(6).url, base + "PMC4");
    QCOMPARE(list.at(7).url, base + "PMC4/pdf/");
}

void TestResultParser::todayRunEndsWhenClickAddsNothing()
{
    ClockInstall clock;
    FakeBrowser browser;
    browser.growOnClick = false;
    browser.addPage("div[articles]{ ul{ " + todayItem("One", "https://h/articles/PMC1") + "} } button[usa-button more]\"Show More Results\"");
    HarvestList list;
    PagingRun run(&browser, &list);
    run.setPollInterval(5);
    QSignalSpy finished(&run, &PagingRun::finished);
    run.start();
    QTRY_COMPARE(run.phase(), PagingRun::Phase::Growing);
    QTest::qWait(30); // several reads, no growth
    QCOMPARE(run.phase(), PagingRun::Phase::Growing);
    clock.clock.advance(91);
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(list.count(), 1);
}

VELMORA_TEST_MAIN(TestResultParser)
#include "tst_resultparser.moc"
