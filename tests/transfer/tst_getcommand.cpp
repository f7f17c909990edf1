#include "transfer/getcommand.h"
#include "support/challengepage.h"
#include "support/httptestserver.h"
#include "support/runprogram.h"
#include "support/testfiles.h"
#include "support/testhome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

#include <csignal>
#include <functional>
#include <sys/types.h>

namespace {

QString describe(const GetOptions &o)
{
    static const char *const policies[] = {"skip", "overwrite", "rename"};
    return QString("folder=%1 mode=%2 threads=%3 interval=%4 same=%5 max=%6 proxy=%7 retries=%8 from=%9 urls=%10")
        .arg(o.folder)
        .arg(o.mode)
        .arg(o.threads)
        .arg(o.interval)
        .arg(policies[int(o.sameName)])
        .arg(o.maxSizeMB)
        .arg(o.proxyHost.isEmpty() ? QString() : o.proxyHost + ":" + o.proxyPort)
        .arg(o.retries)
        .arg(o.fromFile, o.urls.join(','));
}

QString binary() { return qEnvironmentVariable("VELMORA_TEST_BIN"); }

struct GetRun {
    int exitCode = -1;
    QList<QStringList> rows; // stdout, split into lines and fields
    QByteArray err;
};

// Runs `velmora get` in folder while the test's own event loop keeps serving
// the loopback server.
GetRun runGet(const QString &home, const QString &folder, const QStringList &args,
             const std::function<void(QProcess &)> &started = {})
{
    ProgramSetup setup;
    setup.home = home;
    setup.folder = folder;
    setup.started = started;
    const ProgramRun program = RunProgram(QStringList{"get"} + args, setup);
    GetRun run;
    run.exitCode = program.exitCode;
    run.err = program.err;
    for (const QString &line : QString::fromUtf8(program.out).split('\n', Qt::SkipEmptyParts))
        run.rows << line.split('\t');
    return run;
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestGetCommand : public QObject {
    Q_OBJECT
private slots:
    void parsesItsOptions_data()
    {
        const QString cwd = QDir::currentPath() + "/";
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("defaults") << QStringList{"http://h/a.pdf"}
                                  << "folder=" + cwd
                                         + " mode=2 threads=3 interval=0 same=rename max=10 proxy= retries=0 from= urls=http://h/a.pdf";
        QTest::newRow("everything")
            << QStringList{"--folder", "/tmp/x", "--mode", "1", "--threads", "6", "--interval", "600", "--same-name",
                           "Skip", "--max-size", "2.5", "--retries", "4", "--from", "list.txt", "u1", "u2"}
            << "folder=/tmp/x/ mode=1 threads=6 interval=600 same=skip max=2.5 proxy= retries=4 from=list.txt urls=u1,u2";
        QTest::newRow("proxy implies mode 1, = form, relative folder")
            << QStringList{"--proxy=10.0.0.1:3128", "--folder=sub", "--same-name=overwrite", "u"}
            << "folder=" + cwd + "sub/ mode=1 threads=3 interval=0 same=overwrite max=10 proxy=10.0.0.1:3128 retries=0 from= urls=u";
        QTest::newRow("after --") << QStringList{"--", "--odd-url"}
                                  << "folder=" + cwd
                                         + " mode=2 threads=3 interval=0 same=rename max=10 proxy= retries=0 from= urls=--odd-url";
    }
    void parsesItsOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        GetOptions options;
        QString error;
        QVERIFY2(ParseGetArguments(args, options, error), qPrintable(error));
        QCOMPARE(describe(options), expected);
    }

    void refusesBadArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("unknown option") << QStringList{"--fast", "u"} << "--fast";
        QTest::newRow("threads 0") << QStringList{"--threads", "0", "u"} << "--threads";
        QTest::newRow("threads 7") << QStringList{"--threads", "7", "u"} << "--threads";
        QTest::newRow("threads text") << QStringList{"--threads", "three", "u"} << "--threads";
        QTest::newRow("mode 3") << QStringList{"--mode", "3", "u"} << "--mode";
        QTest::newRow("value missing") << QStringList{"u", "--folder"} << "--folder";
        QTest::newRow("interval too long") << QStringList{"--interval", "601", "u"} << "--interval";
        QTest::newRow("same-name unknown") << QStringList{"--same-name", "keep", "u"} << "--same-name";
        QTest::newRow("max-size negative") << QStringList{"--max-size", "-1", "u"} << "--max-size";
        QTest::newRow("proxy without port") << QStringList{"--proxy", "10.0.0.1", "u"} << "--proxy";
        QTest::newRow("proxy in mode 2") << QStringList{"--mode", "2", "--proxy", "p:1", "u"} << "--proxy";
        QTest::newRow("retries negative") << QStringList{"--retries", "-2", "u"} << "--retries";
    }
    void refusesBadArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, mentions);
        GetOptions options;
        QString error;
        QVERIFY(!ParseGetArguments(args, options, error));
        QVERIFY2(error.contains(mentions), qPrintable(error));
        QVERIFY(!error.contains('\n'));
    }

    void namesRowsFromUrlsAndLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::newRow("bare URL") << "http://h/dir/Report%20One.pdf" << "http://h/dir/Report%20One.pdf" << "Report One" << "pdf";
        QTest::newRow("query is not the name") << "http://h/get.php?id=3" << "http://h/get.php?id=3" << "get" << "php";
        QTest::newRow("no extension") << "http://h/paper" << "http://h/paper" << "paper" << "";
        QTest::newRow("folder URL") << "http://h.org/files/" << "http://h.org/files/" << "h.org" << "";
        QTest::newRow("title line") << "A: title?\thttp://h/x.pdf\tPDF\r" << "http://h/x.pdf" << "A title" << "PDF";
        QTest::newRow("title that cleans to nothing") << "??\thttp://h/x.pdf\thtm" << "http://h/x.pdf" << "x" << "htm";
        QTest::newRow("title and URL only") << "Paper\thttp://h/y.pdf" << "http://h/y.pdf" << "Paper" << "pdf";
        // Only letters and digits make a type; the rest stays in the name.
        QTest::newRow("URL ending in no type") << "http://h/a.b%20c" << "http://h/a.b%20c" << "a.b c" << "";
        QTest::newRow("control characters in a URL name") << "http://h/a%1B%5D0%3Bt%07b.pdf"
                                                          << "http://h/a%1B%5D0%3Bt%07b.pdf" << "a]0;tb" << "pdf";
    }
    void namesRowsFromUrlsAndLines()
    {
        QFETCH(QString, line);
        GetEntry entry;
        QVERIFY(EntryFromLine(line, entry));
        QFETCH(QString, url);
        QFETCH(QString, name);
        QFETCH(QString, type);
        QCOMPARE(entry, (GetEntry{url, name, type}));
        QVERIFY(!EntryFromLine("  \r", entry));
    }

    void refusesATypeThatIsNoType_data()
    {
        QTest::addColumn<QString>("type");
        QTest::newRow("path") << "x/../../../escaped";
        QTest::newRow("dots") << "..";
        QTest::newRow("too long") << QString(250, 'p');
        QTest::newRow("control character") << QString("p") + QChar(0x1b) + "df";
    }
    void refusesATypeThatIsNoType()
    {
        QFETCH(QString, type);
        GetEntry entry;
        QString error;
        QVERIFY(!EntryFromLine("paper\thttp://h/blob.bin\t" + type, entry, &error));
        QVERIFY(error.startsWith("velmora get:"));
        QVERIFY(IsFileType("pdf") && IsFileType("PDF") && IsFileType("mp4") && IsFileType(""));
    }

    void escapesWhatItPrints()
    {
        const QString raw = QString("a\tb\\c\n") + QChar(0x1b) + "]0;x" + QChar(0x07) + QChar(0x9b) + "é";
        QCOMPARE(EscapeForOutput(raw), QString("a\\tb\\\\c\\n\\x1b]0;x\\x07\\u009bé"));
    }

    void collectsFileRowsThenArguments()
    {
        TempHome home;
        const QString path = home.path() + "/list.txt";
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("T1\thttp://h/1.pdf\tPDF\n\nhttp://h/2.htm\n");
        f.close();
        GetOptions options;
        QString error;
        QVERIFY(ParseGetArguments({"--from", path, "http://h/3.pdf"}, options, error));
        QList<GetEntry> entries;
        QVERIFY(CollectGetEntries(options, entries, error));
        QCOMPARE(entries, (QList<GetEntry>{{"http://h/1.pdf", "T1", "PDF"}, {"http://h/2.htm", "2", "htm"},
                                           {"http://h/3.pdf", "3", "pdf"}}));

        QVERIFY(ParseGetArguments({"--from", home.path() + "/missing.txt"}, options, error));
        QVERIFY(!CollectGetEntries(options, entries, error));
        QVERIFY(error.contains("missing.txt"));
        QVERIFY(ParseGetArguments({}, options, error));
        QVERIFY(!CollectGetEntries(options, entries, error));
        QVERIFY(error.contains("no URLs"));
    }

    void usageErrorsExitWithTwo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown option") << QStringList{"--bogus", "http://127.0.0.1:9/a"};
        QTest::newRow("threads outside 1..6") << QStringList{"--threads", "9", "http://127.0.0.1:9/a"};
        QTest::newRow("unreadable list") << QStringList{"--from", "/nonexistent/list.txt"};
        QTest::newRow("no URL") << QStringList{};
    }
    void usageErrorsExitWithTwo()
    {
        QFETCH(QStringList, args);
        TempHome home;
        const GetRun run = runGet(home.path(), home.path(), args);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.startsWith("velmora get:"), run.err.constData());
        QVERIFY(run.rows.isEmpty());
        QVERIFY(QDir(home.path()).entryList(QDir::Files).isEmpty());
    }

    void downloadsEveryRowInBothModes_data()
    {
        QTest::addColumn<QStringList>("modeArgs");
        QTest::addColumn<QString>("titledType"); // mode 1 takes the type from the response
        QTest::newRow("mode 2, 3 threads (defaults)") << QStringList{} << "PDF";
        QTest::newRow("mode 1") << QStringList{"--mode", "1"} << "pdf";
    }
    void downloadsEveryRowInBothModes()
    {
        QFETCH(QStringList, modeArgs);
        QFETCH(QString, titledType);
        TempHome home;
        HttpTestServer server;
        QVERIFY(server.listen());
        const QByteArray pdf = "%PDF-1.4\n" + HttpTestServer::pattern(0, 5000) + "\n%%EOF\n";
        server.route("/files/paper.pdf", ScriptedResponse::ok(pdf, "application/pdf"));
        server.route("/two.pdf", ScriptedResponse::ok(pdf, "application/pdf"));
        const QString save = home.folder("out");
        const QString list = home.path() + "/list.txt";
        QFile f(list);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(("A study: of things\t" + server.url("/two.pdf") + "\tPDF\n").constData());
        f.close();

        const GetRun run = runGet(home.path(), save,
                                  modeArgs + QStringList{"--from", list, server.urlString("/files/paper.pdf")});
        QCOMPARE(run.exitCode, 0);
        const QString size = QString::number(pdf.size());
        QCOMPARE(run.rows, (QList<QStringList>{
                               {"Finished", "A study of things", titledType, size, size, "100%",
                                save + "/A study of things.pdf"},
                               {"Finished", "paper", "pdf", size, size, "100%", save + "/paper.pdf"}}));
        QCOMPARE(contents(save + "/paper.pdf"), pdf);
        // The type word "PDF" names the file ".pdf" in both modes.
        QCOMPARE(contents(save + "/A study of things.pdf"), pdf);
        // Not on a terminal: no running counts on stderr.
        QVERIFY2(!run.err.contains("总数"), run.err.constData());
    }

    // No --from line, header or URL puts a file anywhere but --folder, in
    // either mode; a TYPE that is no type stops the run before anything is
    // fetched, and what is printed carries no raw control character.
    void nothingLandsOutsideTheFolder_data()
    {
        QTest::addColumn<QStringList>("modeArgs");
        QTest::newRow("mode 2") << QStringList{};
        QTest::newRow("mode 1") << QStringList{"--mode", "1"};
    }
    void nothingLandsOutsideTheFolder()
    {
        QFETCH(QStringList, modeArgs);
        TempHome home;
        HttpTestServer server;
        QVERIFY(server.listen());
        const QByteArray body = "plain bytes";
        ScriptedResponse hostile = ScriptedResponse::ok(body, "application/../../x; charset=utf-8");
        hostile.header("Content-Disposition", "attachment; filename=\"../../../../up.a/../b\"");
        server.route("/blob.bin", hostile);
        server.route("/a%2F..%2F..%2Fb.pdf", ScriptedResponse::ok(body, "text/x-../../z"));
        server.route("/t%1Bx%07.pdf", ScriptedResponse::ok(body, "application/octet-stream"));
        const QString save = home.folder("deep/er/out");
        QVERIFY(QDir().mkpath(save + "/paper.x")); // a folder the traversal could have used
        const QString list = home.path() + "/list.txt";

        auto writeList = [&](const QByteArray &text) {
            QFile f(list);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(text);
        };
        writeList("paper\t" + server.url("/blob.bin") + "\tx/../../../escaped\n");
        GetRun run = runGet(home.path(), save, modeArgs + QStringList{"--folder", save, "--from", list});
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY(server.requests.isEmpty());

        writeList("up\t" + server.url("/blob.bin") + "\tbin\n" + "a" + QByteArray(1, '\t') + server.url("/a%2F..%2F..%2Fb.pdf")
                  + "\n" + server.url("/t%1Bx%07.pdf") + "\n");
        run = runGet(home.path(), save, modeArgs + QStringList{"--folder", save, "--from", list});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.rows.size(), 3);
        for (const QStringList &row : run.rows) {
            QCOMPARE(row.size(), 7);
            QVERIFY2(row[6].startsWith(save + "/") && !row[6].mid(save.size() + 1).contains('/'), qPrintable(row[6]));
        }
        QVERIFY(!run.err.contains('\x1b') && !run.err.contains('\x07'));
        QVERIFY(QDir(home.path()).entryList(QDir::Files).contains("list.txt"));
        QCOMPARE(QDir(home.path()).entryList(QDir::Files).size(), 1);
        QCOMPARE(QDir(home.path() + "/deep").entryList(QDir::Files | QDir::Hidden).size(), 0);
        QCOMPARE(QDir(home.path() + "/deep/er").entryList(QDir::Files | QDir::Hidden).size(), 0);
        QStringList names = QDir(save).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(names.size(), 3);
        for (const QString &n : names)
            for (const QChar c : n)
                QVERIFY2(c.unicode() >= 0x20 && c.unicode() != 0x7f, qPrintable(n));
    }

    // Without a display, a row behind a browser check is fetched through the
    // browser engine in a child process, in both modes; a check that yields
    // only a page fails the row with the status word and leaves no file.
    void passesABrowserCheck_data()
    {
        QTest::addColumn<QStringList>("modeArgs");
        QTest::addColumn<bool>("passes");
        QTest::newRow("mode 2") << QStringList{} << true;
        QTest::newRow("mode 1") << QStringList{"--mode", "1"} << true;
        QTest::newRow("mode 2, only a page behind it") << QStringList{} << false;
    }
    void passesABrowserCheck()
    {
        QFETCH(QStringList, modeArgs);
        QFETCH(bool, passes);
        {
            // A build of the engine alone has no browser engine to run.
            QProcess probe;
            probe.start(binary(), {"browser-fetch"});
            QVERIFY(probe.waitForFinished(30000));
            if (probe.readAllStandardError().contains("unknown subcommand"))
                QSKIP("this build has no browser engine");
        }
        TempHome home;
        HttpTestServer server;
        QVERIFY(server.listen());
        const QByteArray pdf = "%PDF-1.4\n" + HttpTestServer::pattern(0, 20000) + "\n%%EOF\n";
        const QByteArray challenge = QByteArray::number(QRandomGenerator::global()->generate64(), 16);
        server.routeHandler("/articles/PMC9/pdf/", [&](const RecordedRequest &request) {
            if (!ProofOfWorkPasses(request.headerValue("Cookie"), challenge, 8))
                return ScriptedResponse::ok(ChallengePage(challenge, 8), "text/html; charset=utf-8");
            return passes ? ScriptedResponse::ok(pdf, "application/pdf")
                          : ScriptedResponse::ok("<html><body>Article</body></html>", "text/html");
        });
        const QString save = home.folder("out");
        const QString list = home.path() + "/list.txt";
        QFile f(list);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("A paper\t" + server.url("/articles/PMC9/pdf/") + "\tPDF\n");
        f.close();

        const GetRun run = runGet(home.path(), save, modeArgs + QStringList{"--from", list});
        QCOMPARE(run.rows.size(), 1);
        if (passes) {
            QCOMPARE(run.exitCode, 0);
            QCOMPARE(run.rows[0].value(0), QString("Finished"));
            QCOMPARE(run.rows[0].value(6), save + "/A paper.pdf");
            QCOMPARE(contents(save + "/A paper.pdf"), pdf);
        } else {
            QCOMPARE(run.exitCode, 1);
            QCOMPARE(run.rows[0].value(0), QString("Failed"));
            QCOMPARE(run.rows[0].value(3), QString("需要浏览器验证"));
            QCOMPARE(run.rows[0].value(2), QString("PDF"));
        }
        QCOMPARE(entries(save), passes ? QStringList{"A paper.pdf"} : QStringList());
    }

    void aFailedRowMakesTheExitStatusOne()
    {
        TempHome home;
        HttpTestServer server;
        QVERIFY(server.listen());
        server.route("/ok.pdf", ScriptedResponse::ok("%PDF-1.4 small", "application/pdf"));
        const QString save = home.folder("out");
        QFile old(save + "/ok.pdf");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("mine");
        old.close();
        const GetRun run = runGet(home.path(), save,
                                  {"--threads", "2", server.urlString("/ok.pdf"), "http://127.0.0.1:9/gone.pdf"});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.rows.size(), 2);
        // Renamed beside the file that was there; that one is untouched.
        QCOMPARE(run.rows[0].mid(0, 3), (QStringList{"Finished", "ok[001]", "pdf"}));
        QCOMPARE(contents(save + "/ok[001].pdf"), QByteArray("%PDF-1.4 small"));
        QCOMPARE(contents(save + "/ok.pdf"), QByteArray("mine"));
        QCOMPARE(run.rows[1][0], QString("Failed"));
        QCOMPARE(run.rows[1][6], save + "/gone.pdf");
    }

    // A row that fails before it could take its own name still names the
    // user's file; the retry round must not delete it.
    void retriesNeverDeleteAFileTheyDidNotWrite_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("mode 1") << "1";
        QTest::newRow("mode 2") << "2";
    }
    void retriesNeverDeleteAFileTheyDidNotWrite()
    {
        QFETCH(QString, mode);
        TempHome home;
        const QString save = home.folder("out");
        QFile old(save + "/report.pdf");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("MY OWN REPORT");
        old.close();
        const GetRun run = runGet(home.path(), save, {"--mode", mode, "--retries", "1", "http://127.0.0.1:9/report.pdf"});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.rows.value(0).value(0), QString("Failed"));
        QCOMPARE(contents(save + "/report.pdf"), QByteArray("MY OWN REPORT"));
    }

    // A message of the folder creation would wait for a click nobody can
    // give: it goes to standard error and the row fails.
    void anUncreatableFolderFailsWithoutWaiting()
    {
        TempHome home;
        const GetRun run = runGet(home.path(), home.path(), {"--folder", home.path() + "/a/../b", "http://127.0.0.1:9/x.pdf"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("文件夹名称有误！不能创建文件夹！"), run.err.constData());
        QCOMPARE(run.rows.value(0).value(0), QString("Failed"));
    }

    // Interrupted while rows are running, it still stops them as the stop
    // command does: they end Failed and are reported, their reservations
    // stay and no temporary body is left behind.
    void anInterruptStopsTheRunningRows_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGTERM") << int(SIGTERM);
    }
    void anInterruptStopsTheRunningRows()
    {
        QFETCH(int, signalNumber);
        TempHome home;
        HttpTestServer server;
        QVERIFY(server.listen());
        ScriptedResponse slow = ScriptedResponse::ok({}, "application/pdf", false);
        slow.header("Content-Length", "1000000");
        slow.pieces.append({QByteArray(50000, 'x'), 0, 0});
        slow.end = ScriptedResponse::End::KeepOpen;
        server.route("/a.pdf", slow);
        server.route("/b.pdf", slow);
        const QString save = home.folder("out");
        int seen = 0;
        const GetRun run = runGet(home.path(), save, {server.urlString("/a.pdf"), server.urlString("/b.pdf")},
                                  [&](QProcess &p) {
                                      QObject::connect(&server, &HttpTestServer::requestReceived, &p, [&, pid = p.processId()] {
                                          if (++seen == 2)
                                              QTimer::singleShot(300, [pid, signalNumber] { ::kill(pid_t(pid), signalNumber); });
                                      });
                                  });
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.rows.size(), 2);
        QCOMPARE(run.rows[0][0], QString("Failed"));
        QCOMPARE(run.rows[1][0], QString("Failed"));
        // Their reservations go with them: a later run must not take them
        // for downloaded files.
        QCOMPARE(entries(save), QStringList());
    }

    void skipLeavesExistingFilesAlone()
    {
        TempHome home;
        HttpTestServer server;
        QVERIFY(server.listen());
        server.route("/a.pdf", ScriptedResponse::ok("%PDF-1.4 new", "application/pdf"));
        const QString save = home.folder("out");
        QFile old(save + "/a.pdf");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old!");
        old.close();
        const GetRun run = runGet(home.path(), home.path(), {"--folder", save, "--same-name", "skip", server.urlString("/a.pdf")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.rows, (QList<QStringList>{{"Finished", "a", "pdf", "4", "4", "已存在，跳过", save + "/a.pdf"}}));
        QCOMPARE(contents(save + "/a.pdf"), QByteArray("old!"));
        QVERIFY(server.requests.isEmpty());
    }

    void proxyImpliesModeOne()
    {
        TempHome home;
        HttpTestServer proxy;
        QVERIFY(proxy.listen());
        proxy.route("/doc.pdf", ScriptedResponse::ok("%PDF-1.4 via proxy", "application/pdf"));
        const QString save = home.folder("out");
        const GetRun run = runGet(home.path(), save,
                                  {"--proxy", QString("127.0.0.1:%1").arg(proxy.port()), "http://example.invalid/doc.pdf"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.rows.value(0).value(0), QString("Finished"));
        QCOMPARE(contents(save + "/doc.pdf"), QByteArray("%PDF-1.4 via proxy"));
        QVERIFY(!proxy.requests.isEmpty());
        QCOMPARE(proxy.requests[0].target, QByteArray("http://example.invalid/doc.pdf"));
        // The mode-1 request carries its Referer.
        QCOMPARE(proxy.requests[0].headerValue("Referer"), QByteArray("http://example.invalid"));
    }

    void retriesRunRoundsOfFailedRows_data()
    {
        QTest::addColumn<int>("retries");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("no rounds") << 0 << 1;
        QTest::newRow("one round") << 1 << 0;
    }
    void retriesRunRoundsOfFailedRows()
    {
        QFETCH(int, retries);
        QFETCH(int, exitCode);
        TempHome home;
        HttpTestServer server;
        QVERIFY(server.listen());
        // Everything asked within the first attempt (the request and any
        // fall-back fetch) gets nothing; a round starts a second or more
        // later and gets the file.
        int served = 0;
        QElapsedTimer sinceFirst;
        server.route("/flaky.pdf", ScriptedResponse::ok("", "application/pdf"));
        server.routeHandler("/flaky.pdf", [&](const RecordedRequest &) {
            ++served;
            if (!sinceFirst.isValid())
                sinceFirst.start();
            return sinceFirst.elapsed() < 800 ? ScriptedResponse::status("HTTP/1.1 503 Service Unavailable", "", false)
                                              : ScriptedResponse::ok("%PDF-1.4 at last", "application/pdf");
        });
        const QString save = home.folder("out");
        const GetRun run = runGet(home.path(), save,
                                  {"--mode", "1", "--retries", QString::number(retries), server.urlString("/flaky.pdf")});
        QVERIFY2(run.exitCode == exitCode, qPrintable(QString("exit %1, served %2, rows %3")
                                                          .arg(run.exitCode)
                                                          .arg(served)
                                                          .arg(run.rows.value(0).join('|'))));
        QCOMPARE(run.rows.size(), 1);
        QCOMPARE(run.rows[0][0], QString(exitCode == 0 ? "Finished" : "Failed"));
        if (exitCode == 0)
            QCOMPARE(contents(save + "/flaky.pdf"), QByteArray("%PDF-1.4 at last"));
    }
};

VELMORA_TEST_MAIN(TestGetCommand)
#include "tst_getcommand.moc"
