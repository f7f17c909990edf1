// Searching and downloading end to end, through the windows as a user works
// them: a local site serves a two-page classic result set and a today's page
// that grows by "Show More Results"; the search window collects every PDF,
// analyses the list into the download window, and the files land on disk.
// Then the browser's cookies, set by a page's script, changed, deleted and
// expired, as the downloads of either mode send them.
#include "app/clock.h"
#include "app/messages.h"
#include "app/settings.h"
#include "queue/downloadlist.h"
#include "queue/scheduler.h"
#include "queue/ui/ffiledownload.h"
#include "queue/ui/fselefilesavepath.h"
#include "search/analysis.h"
#include "search/harvestlist.h"
#include "search/pagingrun.h"
#include "search/ui/browserpane.h"
#include "search/ui/fwebsearch.h"
#include "support/httptestserver.h"
#include "support/resultpages.h"
#include "support/uitestmain.h"
#include "support/widgettests.h"
#include "transfer/network.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

ScriptedResponse html(const QByteArray &body) { return ScriptedResponse::ok(body, "text/html; charset=utf-8"); }

QByteArray pdfBytes(int n)
{
    return "%PDF-1.4\n% paper " + QByteArray::number(n) + "\n" + HttpTestServer::pattern(n * 7, 5000 + n * 311)
           + "\n%%EOF\n";
}

// Moves the clock over the pauses of a paging run as soon as they begin, so
// the run takes as long as its loads.
struct FastPauses {
    ManualClock clock;
    explicit FastPauses(PagingRun &run)
    {
        Clock::setInstance(&clock);
        QObject::connect(&run, &PagingRun::phaseChanged, &run, [this](PagingRun::Phase phase) {
            if (phase == PagingRun::Phase::Settling || phase == PagingRun::Phase::Delaying)
                clock.advance(200);
        });
    }
    ~FastPauses() { Clock::setInstance(nullptr); }
};

bool runPaging(fWebSearch &w)
{
    FastPauses pauses(w.paging());
    QSignalSpy finished(&w.paging(), &PagingRun::finished);
    w.Command4->click();
    return finished.wait(60000);
}

bool load(fWebSearch &w, const QString &url)
{
    QSignalSpy complete(&w.browser(), &BrowserPane::DocumentComplete);
    w.browser().Navigate(QUrl(url));
    return complete.wait(20000) && !w.browser().Busy();
}

QList<QNetworkCookie> cookiesFor(const QString &url) { return SharedCookieJar().cookiesForUrl(QUrl(url)); }

QString cookieText(const QString &url)
{
    QStringList parts;
    for (const QNetworkCookie &c : cookiesFor(url))
        parts << QString::fromLatin1(c.toRawForm(QNetworkCookie::NameAndValueOnly));
    return parts.join("; ");
}

} // namespace

class TestSearchToDownload : public QObject {
    Q_OBJECT
    HttpTestServer server;
    std::unique_ptr<TempHome> home;

private slots:
    void initTestCase() { QVERIFY(server.listen()); }
    void init()
    {
        home = std::make_unique<TempHome>();
        Program() = ProgramValues();
        server.requests.clear();
    }
    void cleanup()
    {
        delete fFileDownload::instance();
        fWebSearch::setHomeUrl(QUrl());
        home.reset();
    }

    void collectAnalyseAndDownload()
    {
        const QByteArray base = server.url("");
        QMap<QString, QByteArray> expected; // file name -> bytes
        server.route("/c1", html(ResultPages::classicPage(1, 3, "/c2", {}, base)));
        server.route("/c2", html(ResultPages::classicPage(4, 5, {}, {}, base)));
        for (int n = 1; n <= 5; ++n) {
            server.route("/pmc/articles/PMC" + QByteArray::number(n) + "/pdf/paper" + QByteArray::number(n) + ".pdf",
                         ScriptedResponse::ok(pdfBytes(n), "application/pdf"));
            expected.insert(QStringLiteral("Result %1 of the gene study.pdf").arg(n), pdfBytes(n));
        }
        server.route("/today", html(ResultPages::todayPage(11, 13, "/more", base)));
        server.route("/more?page=2", ScriptedResponse::ok("LAST" + ResultPages::todayItems(14, 15, base), "text/html"));
        for (int n = 11; n <= 15; ++n) {
            server.route("/articles/PMC" + QByteArray::number(n) + "/pdf/",
                         ScriptedResponse::ok(pdfBytes(n), "application/pdf"));
            expected.insert(QStringLiteral("Item %1 on gene expression.pdf").arg(n), pdfBytes(n));
        }

        // The window opens on the first result page.
        fWebSearch::setHomeUrl(QUrl(server.urlString("/c1")));
        fWebSearch w;
        QSignalSpy opened(&w.browser(), &BrowserPane::DocumentComplete);
        w.show();
        QVERIFY(opened.wait(20000));
        QVERIFY(runPaging(w)); // "加入全部到列表" over both pages
        QCOMPARE(w.Label1->text(), QStringLiteral("5"));

        // Today's page, opened by address, grows by its button.
        Msg::setInputHandler([&](const QString &, const QString &, bool *ok) {
            *ok = true;
            return server.urlString("/today");
        });
        QSignalSpy today(&w.browser(), &BrowserPane::DocumentComplete);
        w.menuAction("menu打开指定网址")->trigger();
        Msg::setInputHandler({});
        QVERIFY(today.wait(20000));
        QVERIFY(runPaging(w));
        QCOMPARE(w.Label1->text(), QStringLiteral("10"));

        // "分析下载" > "分析全部", into a folder chosen in the dialog.
        const QString folder = home->folder("papers");
        whenModal<fSeleFileSavePath>([folder](fSeleFileSavePath *d) {
            d->Combo1->setEditText(folder);
            d->Option2->setChecked(true); // named by title
            d->Command2->click();
        });
        QTimer::singleShot(0, qApp, [] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QAction *all = menu->findChild<QAction *>("menu全部加入");
            menu->hide();
            all->trigger();
        });
        QSignalSpy analysed(&w.analysis(), &Analysis::finished);
        w.Command2->click();
        QVERIFY(analysed.count() == 1 || analysed.wait(20000));
        for (int i = 0; i < w.list().count(); ++i)
            QCOMPARE(w.list().at(i).status, QStringLiteral("成功"));

        fFileDownload *d = fFileDownload::instance();
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->list().count(), 10);
        d->Command4->click(); // "开始下载"
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (int i = 0; i < d->list().count(); ++i)
                    if (d->list().at(i)->state != Finished)
                        return false;
                return true;
            }(),
            120000);

        for (int i = 0; i < d->list().count(); ++i) {
            const ItemRef row = d->list().at(i);
            QCOMPARE(row->percent, QStringLiteral("100%"));
            QCOMPARE(row->type, QStringLiteral("PDF"));
        }
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            QFile file(folder + "/" + it.key());
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            QVERIFY2(file.readAll() == it.value(), qPrintable(it.key()));
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), expected.size());
    }

    // A cookie written by a page's script goes with the next download from
    // the site in either mode; a newer value replaces it; once the site
    // deletes it, or it expires, it is no longer sent.
    void browserCookiesGoWithDownloads()
    {
        auto page = [](const QByteArray &script) { return html("<html><body><script>" + script + "</script></body></html>"); };
        server.route("/set", page("document.cookie = 'pow=first; path=/';"));
        server.route("/change", page("document.cookie = 'pow=second; path=/';"));
        server.route("/delete", page("document.cookie = 'pow=; expires=Thu, 01 Jan 1970 00:00:00 GMT; path=/';"));
        server.route("/brief", page("document.cookie = 'brief=1; max-age=1; path=/';"));
        for (int n = 1; n <= 8; ++n)
            server.route("/f" + QByteArray::number(n) + ".pdf", ScriptedResponse::ok(pdfBytes(n), "application/pdf"));
        const QString site = server.urlString("/");

        fWebSearch w;
        fFileDownload *d = fFileDownload::instance(true);
        d->show();
        const QString folder = home->folder("c") + "/";
        int serial = 0;
        // Downloads one file in the mode; the Cookie header it was sent with.
        auto download = [&](int mode) -> QByteArray {
            const QByteArray path = "/f" + QByteArray::number(++serial) + ".pdf";
            d->scheduler().setMode(mode);
            d->list().add(server.urlString(path), "f" + QString::number(serial), "pdf", folder);
            const ItemRef row = d->list().at(d->list().count() - 1);
            d->scheduler().start();
            d->scheduler().timerDownTick();
            if (!QTest::qWaitFor([&] { return row->state == Finished; }, 20000))
                return "(not finished)";
            d->scheduler().stop();
            for (const RecordedRequest &r : std::as_const(server.requests))
                if (r.path == path)
                    return r.headerValue("Cookie");
            return "(not requested)";
        };

        QVERIFY(load(w, server.urlString("/set")));
        QTRY_COMPARE_WITH_TIMEOUT(cookieText(site), QStringLiteral("pow=first"), 15000);
        QCOMPARE(download(1), QByteArray("pow=first"));
        QCOMPARE(download(2), QByteArray("pow=first"));

        QVERIFY(load(w, server.urlString("/change")));
        QTRY_COMPARE_WITH_TIMEOUT(cookieText(site), QStringLiteral("pow=second"), 15000);
        QCOMPARE(download(2), QByteArray("pow=second"));

        QVERIFY(load(w, server.urlString("/delete")));
        QTRY_VERIFY_WITH_TIMEOUT(cookiesFor(site).isEmpty(), 15000);
        QCOMPARE(download(1), QByteArray());
        QCOMPARE(download(2), QByteArray());

        QVERIFY(load(w, server.urlString("/brief")));
        QTRY_COMPARE_WITH_TIMEOUT(cookieText(site), QStringLiteral("brief=1"), 15000);
        // Its second runs out; nobody tells the jar, which must not send it.
        QTRY_VERIFY_WITH_TIMEOUT(cookiesFor(site).isEmpty(), 15000);
        QCOMPARE(download(1), QByteArray());
        QCOMPARE(download(2), QByteArray());
    }
};

VELMORA_UI_TEST_MAIN(TestSearchToDownload)
#include "tst_searchtodownload.moc"
