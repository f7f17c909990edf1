#include "app/clock.h"
#include "support/testfiles.h"
#include "support/httptestserver.h"
#include "support/testhome.h"
#include "transfer/downloader.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

namespace {
const QByteArray Reservation("\x01\x00", 2);

struct ClockGuard {
    ManualClock clock;
    ClockGuard() { Clock::setInstance(&clock); }
    ~ClockGuard() { Clock::setInstance(nullptr); }
};

// Records a control's events in the order they come.
struct Events {
    QStringList log;
    explicit Events(Downloader &d)
    {
        QObject::connect(&d, &Downloader::DownloadProgress, [this](qint32 q, qint32 r, const QString &) {
            log << QStringLiteral("progress %1/%2").arg(q).arg(r);
        });
        QObject::connect(&d, &Downloader::DownloadComplete, [this](qint32 q, qint32 r, const QString &) {
            log << QStringLiteral("complete %1/%2").arg(q).arg(r);
        });
        QObject::connect(&d, &Downloader::DownloadError, [this](const QString &reason, const QString &) {
            log << QStringLiteral("error ") + reason;
        });
    }
    QString last() const { return log.value(log.size() - 1); }
    bool ended() const { return last().startsWith("complete") || last().startsWith("error"); }
    int outcomes() const
    {
        int n = 0;
        for (const QString &e : log)
            n += e.startsWith("complete") || e.startsWith("error");
        return n;
    }
};

ScriptedResponse inPieces(const QList<QByteArray> &pieces, int delayMs, bool withLength)
{
    QByteArray whole;
    ScriptedResponse r = ScriptedResponse::ok({}, "application/pdf", false);
    for (const QByteArray &p : pieces) {
        r.pieces.append({p, delayMs, 0});
        whole += p;
    }
    if (withLength)
        r.header("Content-Length", QByteArray::number(whole.size()));
    return r;
}
} // namespace

class TestDownloader : public QObject {
    Q_OBJECT
private slots:
    void knownLengthReplacesReservation()
    {
        TempHome home;
        const QString folder = home.folder("save");
        HttpTestServer server;
        QVERIFY(server.listen());
        const QByteArray body = "%PDF-1.4 " + HttpTestServer::pattern(0, 300000);
        server.route("/get?a=1&b=2", ScriptedResponse::redirect("/file.pdf"));
        server.route("/file.pdf", inPieces({body.left(1000), body.mid(1000)}, 150, true));

        Downloader d;
        Events ev(d);
        const QString target = folder + "/paper.pdf";
        bool reservedWhileRunning = false;
        connect(&d, &Downloader::DownloadProgress, this, [&] {
            reservedWhileRunning = reservedWhileRunning || readFile(target) == Reservation;
        });
        // Entity-escaped ampersands (any letter case) and outer spaces come from pages.
        d.BeginDownload("  " + server.urlString("/get?a=1&AMP;b=2") + " \t", target, "http://referer.example/");
        QCOMPARE(readFile(target), Reservation);
        QVERIFY(d.Timer1->isActive());

        QTRY_VERIFY_WITH_TIMEOUT(ev.ended(), 10000);
        QCOMPARE(ev.last(), QString("complete %1/%1").arg(body.size()));
        QVERIFY(ev.log.size() >= 2);
        for (int i = 0; i + 1 < ev.log.size(); ++i)
            QVERIFY2(ev.log[i].startsWith("progress ") && ev.log[i].endsWith(QString("/%1").arg(body.size())),
                     qPrintable(ev.log[i]));
        QVERIFY(reservedWhileRunning);
        QCOMPARE(readFile(target), body);
        QCOMPARE(entries(folder), QStringList{"paper.pdf"}); // no temporary body left
        QVERIFY(!d.Timer1->isActive());

        QCOMPARE(server.requests.size(), 2);
        QCOMPARE(server.requests[0].path, QByteArray("/get?a=1&b=2"));
        QVERIFY(server.requests[0].headerValue("Referer").isEmpty());
    }

    // A read that brings no size or no bytes is fetched again in one piece;
    // that fetch alone decides between completion and "无法下载".
    void fallbackFetch_data()
    {
        QTest::addColumn<QByteArray>("first");  // what the read gets
        QTest::addColumn<QByteArray>("second"); // what the fall-back gets
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("no length") << QByteArray("body") << QByteArray("body") << "complete 4/4" << QByteArray("body");
        // More than the fetch lets a reply hold at once, so it streams in many reads.
        const QByteArray large = HttpTestServer::pattern(7, 900000);
        QTest::newRow("no length, large") << large << large << "complete 900000/900000" << large;
        QTest::newRow("empty, then data") << QByteArray("") << QByteArray("late body") << "complete 9/9"
                                          << QByteArray("late body");
        const QByteArray missing("<missing>");
        QTest::newRow("nothing twice") << QByteArray("") << QByteArray("") << "error 无法下载" << missing;
        QTest::newRow("one byte") << QByteArray("") << QByteArray("x") << "error 无法下载" << missing;
        QTest::newRow("fall-back cut short") << QByteArray("") << QByteArray("cut") << "error 无法下载" << missing;
    }
    void fallbackFetch()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QString, outcome);
        QFETCH(QByteArray, file);
        TempHome home;
        const QString folder = home.folder("save");
        HttpTestServer server;
        QVERIFY(server.listen());
        int calls = 0;
        const bool cutShort = QByteArray(QTest::currentDataTag()) == "fall-back cut short";
        server.routeHandler("/f", [&](const RecordedRequest &) {
            ++calls;
            if (calls == 1)
                return first.isEmpty() ? ScriptedResponse::ok({}) : ScriptedResponse::ok(first, "text/plain", false);
            ScriptedResponse r = ScriptedResponse::ok(second, "text/plain", !second.isEmpty());
            if (cutShort)
                r.lieAboutLength(second.size() + 100);
            return r;
        });

        Downloader d;
        Events ev(d);
        const QString target = folder + "/doc.txt";
        d.BeginDownload(server.urlString("/f"), target);
        QTRY_VERIFY_WITH_TIMEOUT(ev.ended(), 10000);
        QCOMPARE(ev.log, QStringList{outcome}); // no progress without a size
        QVERIFY(calls >= 2);
        QCOMPARE(readFile(target), file);
        QCOMPARE(entries(folder), file == "<missing>" ? QStringList() : QStringList{"doc.txt"});
    }

    // The watch fails a transfer after 300 s without a single new byte, also
    // when the response carries no size and so never reports progress.
    void stallWatch_data()
    {
        QTest::addColumn<bool>("sendSome");
        QTest::newRow("silent server") << false;
        QTest::newRow("some bytes, then silence") << true;
    }
    void stallWatch()
    {
        QFETCH(bool, sendSome);
        TempHome home;
        const QString folder = home.folder("save");
        ClockGuard guard;
        HttpTestServer server;
        QVERIFY(server.listen());
        ScriptedResponse r = ScriptedResponse::ok("first bytes", "application/pdf", false);
        r.end = ScriptedResponse::End::KeepOpen;
        r.silent = !sendSome;
        server.route("/stall", r);

        Downloader d;
        Events ev(d);
        const QString target = folder + "/s.pdf";
        d.BeginDownload(server.urlString("/stall"), target);
        QTRY_COMPARE(server.requests.size(), 1);
        if (sendSome) {
            QTest::qWait(200); // let the bytes arrive
            guard.clock.advance(250);
            d.Timer1Tick(); // the bytes moved: the watch starts again from here
        }
        guard.clock.advance(299);
        d.Timer1Tick();
        QTest::qWait(50);
        QVERIFY(ev.log.isEmpty());
        guard.clock.advance(1);
        d.Timer1Tick();
        QCOMPARE(ev.log, QStringList{"error 超时"});
        QVERIFY(!d.Timer1->isActive());
        QVERIFY(!d.isRunning());
        // The reservation would pass for a downloaded file of that name.
        QCOMPARE(entries(folder), QStringList());
    }

    void completionShortOfTotal()
    {
        TempHome home;
        const QString folder = home.folder("save");
        HttpTestServer server;
        QVERIFY(server.listen());
        ScriptedResponse r = inPieces({QByteArray(30, 'a'), QByteArray(10, 'b')}, 50, false);
        r.lieAboutLength(100);
        server.route("/short", r);

        Downloader d;
        Events ev(d);
        d.BeginDownload(server.urlString("/short"), folder + "/x.bin");
        QTRY_VERIFY_WITH_TIMEOUT(ev.ended(), 10000);
        // A body short of its length never takes the final name.
        QCOMPARE(ev.last(), QString("error 无法下载"));
        QCOMPARE(ev.outcomes(), 1);
        QCOMPARE(entries(folder), QStringList());
    }

    // A chunked body cut off by the server on a connection that already
    // carried a whole file is an error, not a completion, both for the read
    // and for the one-piece fetch that follows a read without a length.
    void cutChunkedBodyAfterAKeptAliveOne()
    {
        TempHome home;
        const QString folder = home.folder("save");
        HttpTestServer server;
        QVERIFY(server.listen());
        const QByteArray whole = "%PDF-1.4 " + HttpTestServer::pattern(0, 3000);
        ScriptedResponse first = ScriptedResponse::ok(whole, "application/pdf");
        first.end = ScriptedResponse::End::KeepAlive;
        server.route("/whole", first);
        ScriptedResponse cut = inPieces({whole.left(1000), whole.mid(1000, 1000)}, 20, false);
        cut.chunked(true);
        server.route("/cut", cut);

        Downloader a;
        Events evA(a);
        a.BeginDownload(server.urlString("/whole"), folder + "/a.pdf");
        QTRY_VERIFY_WITH_TIMEOUT(evA.ended(), 10000);
        QCOMPARE(evA.last(), QString("complete %1/%1").arg(whole.size()));

        Downloader b;
        Events evB(b);
        b.BeginDownload(server.urlString("/cut"), folder + "/b.pdf");
        QTRY_VERIFY_WITH_TIMEOUT(evB.ended(), 10000);
        QCOMPARE(evB.last(), QString("error 无法下载"));
        QCOMPARE(entries(folder), QStringList{"a.pdf"});
    }

    // The body that cannot be put in place is an error, never a completion,
    // and what the user had at the target stays.
    void bodyThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("target is a folder") << "folder at target";
        QTest::newRow("folder removed while running") << "folder removed";
        QTest::newRow("folder missing") << "folder missing";
    }
    void bodyThatCannotBeWritten()
    {
        QFETCH(QString, how);
        TempHome home;
        const QString folder = home.folder("save");
        HttpTestServer server;
        QVERIFY(server.listen());
        const QByteArray body = HttpTestServer::pattern(0, 20000);
        server.route("/b", inPieces({body.left(100), body.mid(100)}, 300, true));

        QString target = folder + "/b.pdf";
        if (how == "folder at target") {
            QVERIFY(QDir().mkpath(target));
            writeFile(target + "/inside.txt", "keep me");
        } else if (how == "folder missing") {
            target = folder + "/gone/b.pdf";
        }
        Downloader d;
        Events ev(d);
        if (how == "folder removed")
            connect(&d, &Downloader::DownloadProgress, this, [&] { QDir(folder).removeRecursively(); });
        d.BeginDownload(server.urlString("/b"), target);
        QTRY_VERIFY_WITH_TIMEOUT(ev.ended(), 10000);
        QCOMPARE(ev.last(), QString("error 无法写入"));
        QCOMPARE(ev.outcomes(), 1);
        QVERIFY(!d.isRunning());
        if (how == "folder at target") {
            QCOMPARE(readFile(target + "/inside.txt"), QByteArray("keep me"));
            QCOMPARE(entries(folder), QStringList{"b.pdf"});
        } else {
            QVERIFY(!QFile::exists(target));
        }
    }

    // With "覆盖" the old file holds the name while the new body arrives; it
    // is replaced whole at completion and kept when the download fails.
    void overwrite_data()
    {
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("download succeeds") << true;
        QTest::newRow("download fails") << false;
    }
    void overwrite()
    {
        QFETCH(bool, succeeds);
        TempHome home;
        const QString folder = home.folder("save");
        const QString target = folder + "/old.pdf";
        const QByteArray old = "OLD CONTENT THAT IS LONGER THAN THE NEW ONE " + QByteArray(5000, 'o');
        writeFile(target, old);
        HttpTestServer server;
        QVERIFY(server.listen());
        server.route("/n", inPieces({"%PDF-", "new"}, 150, true));
        server.route("/empty", ScriptedResponse::ok({}));

        Downloader d;
        Events ev(d);
        QByteArray seenWhileRunning;
        connect(&d, &Downloader::DownloadProgress, this, [&] { seenWhileRunning = readFile(target); });
        d.BeginDownload(server.urlString(succeeds ? "/n" : "/empty"), target);
        QCOMPARE(readFile(target), old);
        QTRY_VERIFY_WITH_TIMEOUT(ev.ended(), 10000);
        if (succeeds) {
            QCOMPARE(ev.last(), QString("complete 8/8"));
            QCOMPARE(seenWhileRunning, old);
            QCOMPARE(readFile(target), QByteArray("%PDF-new"));
        } else {
            QCOMPARE(ev.last(), QString("error 无法下载"));
            QCOMPARE(readFile(target), old);
        }
        QCOMPARE(entries(folder), QStringList{"old.pdf"});
    }

    // An error page is never the file: no progress for it, no completion,
    // no file of ours is left and an old file is not replaced.
    void errorPagesAreNotTheFile_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<bool>("withLength");
        QTest::addColumn<bool>("oldFile");
        QTest::newRow("404 with length") << QByteArray("HTTP/1.1 404 Not Found") << true << false;
        QTest::newRow("404 without length") << QByteArray("HTTP/1.1 404 Not Found") << false << false;
        QTest::newRow("500 over an old file") << QByteArray("HTTP/1.1 500 Internal Server Error") << true << true;
        QTest::newRow("redirect to 404") << QByteArray("redirect") << true << true;
    }
    void errorPagesAreNotTheFile()
    {
        QFETCH(QByteArray, status);
        QFETCH(bool, withLength);
        QFETCH(bool, oldFile);
        TempHome home;
        const QString folder = home.folder("save");
        const QString target = folder + "/paper.pdf";
        if (oldFile)
            writeFile(target, "%PDF-1.4 the good old file");
        HttpTestServer server;
        QVERIFY(server.listen());
        const QByteArray page = "<html><body>Not Found</body></html>";
        if (status == "redirect") {
            server.route("/p", ScriptedResponse::redirect("/gone"));
            server.route("/gone", ScriptedResponse::status("HTTP/1.1 404 Not Found", page));
        } else {
            server.route("/p", ScriptedResponse::status(status, page, withLength));
        }

        Downloader d;
        Events ev(d);
        d.BeginDownload(server.urlString("/p"), target);
        QTRY_VERIFY_WITH_TIMEOUT(ev.ended(), 10000);
        QCOMPARE(ev.log, QStringList{"error 无法下载"});
        QCOMPARE(readFile(target), oldFile ? QByteArray("%PDF-1.4 the good old file") : QByteArray("<missing>"));
        QCOMPARE(entries(folder), oldFile ? QStringList{"paper.pdf"} : QStringList());
    }

    // A full disk (here a file-size limit of the process) ends the read or
    // the fall-back at once with "无法写入"; neither the reservation nor a
    // temporary body is left.
    void fullDiskEndsTheTransfer_data()
    {
        QTest::addColumn<bool>("withLength");
        QTest::newRow("read with length") << true;
        QTest::newRow("fall-back without length") << false;
    }
    void fullDiskEndsTheTransfer()
    {
        QFETCH(bool, withLength);
        TempHome home;
        const QString folder = home.folder("save");
        const QString target = folder + "/big.pdf";
        HttpTestServer server;
        QVERIFY(server.listen());
        ScriptedResponse r = ScriptedResponse::ok({}, "application/pdf", false);
        // More is announced than sent and the connection stays open: only
        // ending at the failed write can finish the transfer.
        r.pieces.append({{}, 0, 4 * 1024 * 1024});
        r.end = ScriptedResponse::End::KeepOpen;
        if (withLength)
            r.header("Content-Length", QByteArray::number(8 * 1024 * 1024));
        int requests = 0;
        if (withLength) {
            server.route("/big", r);
        } else {
            // The read brings nothing, so the fall-back fetches the body.
            server.routeHandler("/big", [r, &requests](const RecordedRequest &) {
                return ++requests == 1 ? ScriptedResponse::ok({}) : r;
            });
        }

        // The limit is in force before the transfer starts: lowered later, the
        // whole body could already be on disk, leaving no write to fail. The
        // two-byte reservation stays well below it.
        struct rlimit old;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN); // writes fail with EFBIG instead
        struct rlimit small = old;
        small.rlim_cur = 256 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, previous);
        });

        Downloader d;
        Events ev(d);
        d.BeginDownload(server.urlString("/big"), target);
        QCOMPARE(readFile(target), Reservation);
        QVERIFY(QTest::qWaitFor([&] { return ev.ended(); }, 20000));
        if (!withLength)
            QCOMPARE(requests, 2); // the read brought nothing; the fall-back met the full disk
        QCOMPARE(ev.log.filter("error").value(0), QString("error 无法写入"));
        QCOMPARE(ev.outcomes(), 1);
        QVERIFY(!d.isRunning());
        QCOMPARE(entries(folder), QStringList());
    }

    void destructionEndsSilently()
    {
        TempHome home;
        const QString folder = home.folder("save");
        HttpTestServer server;
        QVERIFY(server.listen());
        server.route("/slow", inPieces({QByteArray(1000, 'a'), QByteArray(1000, 'b'), QByteArray(1000, 'c')}, 200, true));
        int events = 0;
        {
            Downloader d;
            connect(&d, &Downloader::DownloadProgress, this, [&] { ++events; });
            connect(&d, &Downloader::DownloadComplete, this, [&] { events += 100; });
            connect(&d, &Downloader::DownloadError, this, [&] { events += 100; });
            d.BeginDownload(server.urlString("/slow"), folder + "/slow.bin");
            QTRY_VERIFY(events >= 1);
            QCOMPARE(entries(folder).size(), 2); // the reservation and the hidden body
        }
        const int before = events;
        QTest::qWait(700);
        QCOMPARE(events, before);
        QCOMPARE(entries(folder), QStringList());
    }

    void eventNumbersSaturate()
    {
        QCOMPARE(ClampToEventBytes(5), 5);
        QCOMPARE(ClampToEventBytes(qint64(3) << 30), std::numeric_limits<qint32>::max());
    }
};

VELMORA_TEST_MAIN(TestDownloader)
#include "tst_downloader.moc"
