// Rows whose server answers with a browser check, in both transfer modes,
// with a fetcher that stands in for the browser engine.
#include "app/clock.h"
#include "app/settings.h"
#include "support/challengepage.h"
#include "support/httptestserver.h"
#include "support/testfiles.h"
#include "support/testhome.h"
#include "transfer/browsercheckdetour.h"
#include "transfer/downloader.h"
#include "transfer/inettransfer.h"
#include "transfer/multithreaddownload.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

namespace {

const QByteArray Pdf = "%PDF-1.4\n" + HttpTestServer::pattern(0, 3000) + "\n%%EOF\n";

class FakeFetcher : public BrowserFetcher {
public:
    using BrowserFetcher::checkTimeLimit;
    static inline QStringList urls;
    static inline QTemporaryDir *dir = nullptr;

    void deliver(const QByteArray &bytes, const QString &mime)
    {
        reportProgress(bytes.size() / 2, bytes.size());
        const QString path = dir->filePath(QStringLiteral("got-%1").arg(urls.size()));
        writeFile(path, bytes);
        reportFinished(path, mime, QString());
    }

protected:
    void startFetch(const QString &url, const QString &) override { urls << url; }
    void stopFetch() override {}
};

FakeFetcher *current() { return static_cast<FakeFetcher *>(BrowserCheckDetour::instance().currentFetcher()); }

ScriptedResponse checkPage(int status, bool withLength)
{
    ScriptedResponse r = ScriptedResponse::ok(ChallengePage("c0ffee", 4), "text/html; charset=utf-8", withLength);
    if (status == 403)
        r.statusLine = "HTTP/1.1 403 Forbidden";
    return r;
}

} // namespace

class TestBrowserCheckDetour : public QObject {
    Q_OBJECT

    ManualClock clock;
    std::unique_ptr<TempHome> home;
    std::unique_ptr<HttpTestServer> server;
    std::unique_ptr<DownloadSession> session;
    std::unique_ptr<InetTransfer> inet;
    std::unique_ptr<MultiThreadDownload> mode2;
    std::unique_ptr<QTemporaryDir> fetched;
    QString folder;

    ItemRef addRow(const QByteArray &path, const QString &type = "PDF")
    {
        session->list().add(server->urlString(path), "paper", type, folder + "/");
        ItemRef row = session->list().find(server->urlString(path));
        session->list().setState(row, Downloading);
        return row;
    }

    // Starts the row in the given mode; returns once the detour has begun or
    // the row has ended.
    void start(int mode, const ItemRef &row)
    {
        if (mode == 1) {
            inet->Inet下载当前文件(row);
        } else {
            QString newName;
            mode2->多线程下载(1, row->row() + 1, row->key,
                              重命名保存路径(row->folder, row->name, row->type, session->sameName, newName));
        }
        QTRY_VERIFY_WITH_TIMEOUT(current() || row->state != Downloading, 10000);
    }
    bool running(int mode) const { return mode == 1 ? inet->StillExecuting() : mode2->IsSlotInUse(1); }

private slots:
    void init()
    {
        Clock::setInstance(&clock);
        home = std::make_unique<TempHome>();
        folder = home->folder("save");
        Program() = ProgramValues{};
        server = std::make_unique<HttpTestServer>();
        QVERIFY(server->listen());
        session = std::make_unique<DownloadSession>();
        inet = std::make_unique<InetTransfer>(*session);
        mode2 = std::make_unique<MultiThreadDownload>(*session);
        fetched = std::make_unique<QTemporaryDir>();
        FakeFetcher::dir = fetched.get();
        FakeFetcher::urls.clear();
        SetBrowserFetcherFactory([](QObject *parent) -> BrowserFetcher * {
            auto *f = new FakeFetcher;
            f->setParent(parent);
            return f;
        });
    }
    void cleanup()
    {
        mode2.reset();
        inet.reset();
        session.reset();
        server.reset();
        home.reset();
        QTRY_VERIFY(!BrowserCheckDetour::instance().isBusy());
        SetBrowserFetcherFactory(nullptr);
        Clock::setInstance(nullptr);
    }

    void modes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("withLength");
        QTest::newRow("mode 1, 200") << 1 << 200 << true;
        QTest::newRow("mode 1, 200 without length") << 1 << 200 << false;
        QTest::newRow("mode 1, 403") << 1 << 403 << true;
        QTest::newRow("mode 2, 200") << 2 << 200 << true;
        QTest::newRow("mode 2, 200 without length") << 2 << 200 << false;
        // Status 0: the read brings nothing, the one-piece fetch the check.
        QTest::newRow("mode 2, check from the one-piece fetch") << 2 << 0 << false;
        QTest::newRow("mode 2, 403") << 2 << 403 << true;
    }

    // The check page is not kept; the file fetched through the engine takes
    // the row's place, named as the mode names it, and the row finishes.
    void checkedRowGetsTheFile_data() { modes_data(); }
    void checkedRowGetsTheFile()
    {
        QFETCH(int, mode);
        QFETCH(int, status);
        QFETCH(bool, withLength);
        if (status == 0) {
            auto calls = std::make_shared<int>(0);
            server->routeHandler("/pdf/", [calls](const RecordedRequest &) {
                return ++*calls == 1 ? ScriptedResponse::ok({}) : checkPage(200, false);
            });
        } else {
            server->route("/pdf/", checkPage(status, withLength));
        }
        const ItemRef row = addRow("/pdf/");
        start(mode, row);
        QVERIFY(current());
        QCOMPARE(FakeFetcher::urls, QStringList{server->urlString("/pdf/")});
        // The transfer holds its place meanwhile: mode 1 stays busy, the slot
        // stays loaded, and no check page lies under the final name.
        QVERIFY(running(mode));
        QCOMPARE(row->state, Downloading);
        QVERIFY(!QFile::exists(folder + "/paper.htm"));
        if (mode == 1)
            QVERIFY(session->DownloadBusy);

        current()->deliver(Pdf, "application/pdf");
        QTRY_VERIFY_WITH_TIMEOUT(!running(mode), 10000);
        QCOMPARE(row->state, Finished);
        QCOMPARE(row->type.toLower(), QString("pdf"));
        QCOMPARE(row->size, QString::number(Pdf.size()));
        QCOMPARE(row->percent, QString("100%"));
        QVERIFY(row->fileWritten);
        QCOMPARE(entries(folder), QStringList{"paper.pdf"});
        QCOMPARE(readFile(folder + "/paper.pdf"), Pdf);
        QCOMPARE(entries(fetched->path()), QStringList());
    }

    // A check that never passes ends the row Failed within the bound, with
    // the status word, its own type (never a web page to fetch again) and
    // nothing under its name; so does a program without a fetcher.
    void checkThatNeverPasses_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("fetcher");
        QTest::newRow("mode 1, times out") << 1 << true;
        QTest::newRow("mode 2, times out") << 2 << true;
        QTest::newRow("mode 1, no fetcher") << 1 << false;
        QTest::newRow("mode 2, no fetcher") << 2 << false;
    }
    void checkThatNeverPasses()
    {
        QFETCH(int, mode);
        QFETCH(bool, fetcher);
        if (!fetcher)
            SetBrowserFetcherFactory(nullptr);
        server->route("/pdf/", checkPage(200, true));
        const ItemRef row = addRow("/pdf/");
        start(mode, row);
        if (fetcher) {
            QVERIFY(current());
            clock.advance(BrowserFetcher::TimeLimitSeconds - 1);
            current()->checkTimeLimit();
            QVERIFY(running(mode));
            clock.advance(1);
            current()->checkTimeLimit();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!running(mode), 10000);
        QCOMPARE(row->state, Failed);
        QCOMPARE(row->size, StatusWord::NeedsBrowserCheck);
        QCOMPARE(row->type, QString("PDF"));
        QVERIFY(!row->fileWritten);
        QCOMPARE(entries(folder), QStringList());
    }

    // Only a small page with the marks of a check takes the detour: an
    // article page and a large page (whatever it contains) are saved as web
    // pages, as before.
    void pagesStayPages_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("page");
        const QByteArray article = "<!DOCTYPE html><html><head><title>Cell biology of things</title></head>"
                                   "<body><h1>Abstract</h1><p>Text.</p></body></html>";
        QByteArray large = ChallengePage("c0ffee", 4);
        large.insert(large.indexOf("</body>"), QByteArray(70 * 1024, 'x'));
        QTest::newRow("mode 1, article") << 1 << article;
        QTest::newRow("mode 2, article") << 2 << article;
        QTest::newRow("mode 1, large page") << 1 << large;
        QTest::newRow("mode 2, large page") << 2 << large;
    }
    void pagesStayPages()
    {
        QFETCH(int, mode);
        QFETCH(QByteArray, page);
        server->route("/article", ScriptedResponse::ok(page, "text/html; charset=utf-8"));
        const ItemRef row = addRow("/article", "htm");
        start(mode, row);
        QTRY_VERIFY_WITH_TIMEOUT(!running(mode), 10000);
        QVERIFY(FakeFetcher::urls.isEmpty());
        QCOMPARE(row->state, Finished);
        QVERIFY2(row->type.toLower().startsWith("htm"), qPrintable(row->type));
        QCOMPARE(entries(folder), QStringList{"paper." + row->type.toLower()});
    }

    // Stopping a row during its detour ends the fetch and leaves nothing.
    void stopDuringTheDetour_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("mode 1") << 1;
        QTest::newRow("mode 2") << 2;
    }
    void stopDuringTheDetour()
    {
        QFETCH(int, mode);
        server->route("/pdf/", checkPage(200, true));
        const ItemRef row = addRow("/pdf/");
        start(mode, row);
        QVERIFY(current());
        if (mode == 1) {
            session->DownloadBusy = false;
            inet->check();
            QCOMPARE(row->size, QString("下载取消"));
        } else {
            mode2->UnloadAllSlots();
        }
        QVERIFY(!running(mode));
        QVERIFY(!BrowserCheckDetour::instance().isBusy());
        QCOMPARE(entries(folder), QStringList());
    }
};

VELMORA_TEST_MAIN(TestBrowserCheckDetour)
#include "tst_browsercheckdetour.moc"
