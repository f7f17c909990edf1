#include "transfer/getcommand.h"
#include "support/httptestserver.h"
#include "support/resultpages.h"
#include "support/runprogram.h"
#include "support/testfiles.h"
#include "support/uitestmain.h"
#include "app/codecs.h"

namespace {

struct Run {
    int exitCode = -1;
    QStringList lines; // standard output
    QString err;
};

// Runs `velmora harvest` while the test's event loop keeps serving the
// loopback server.
Run harvest(const QString &home, const QStringList &args)
{
    ProgramSetup setup;
    setup.home = home;
    setup.folder = home;
    const ProgramRun program = RunProgram(QStringList{"harvest"} + args, setup);
    Run run;
    run.exitCode = program.exitCode;
    run.err = QString::fromUtf8(program.err);
    run.lines = QString::fromUtf8(program.out).split('\n', Qt::SkipEmptyParts);
    return run;
}

ScriptedResponse html(const QByteArray &body) { return ScriptedResponse::ok(body, "text/html; charset=utf-8"); }

} // namespace

class TestHarvestCommand : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_server.listen()); }
    void usageErrors_data();
    void usageErrors();
    void savedPageWithUnreachableParts();
    void liveClassicSetWithPages();
    void liveTodayPageWithPages();
    void pagesThatCannotBeLoaded();
    void livePageWithAPartThatNeverArrives();

private:
    HttpTestServer m_server;
    TempHome m_home;
};

void TestHarvestCommand::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("no page") << QStringList{"--pages"} << "no page given";
    QTest::newRow("unknown option") << QStringList{"--pdf", "a.html"} << "unknown option '--pdf'";
    QTest::newRow("delay not a number") << QStringList{"--delay", "2s", "a.html"} << "--delay must be";
    QTest::newRow("delay too long") << QStringList{"--delay=121", "a.html"} << "--delay must be";
    QTest::newRow("export without file") << QStringList{"a.html", "--export"} << "needs a value";
}

void TestHarvestCommand::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run run = harvest(m_home.path(), args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains("velmora harvest: " + message) || run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.lines.isEmpty());
}

void TestHarvestCommand::savedPageWithUnreachableParts()
{
    // A page saved from the site: its script and style sheet stay on hosts
    // that cannot be reached from here (one never answers at all).
    QByteArray head = "<script src=\"http://10.255.255.1/site.js\"></script>"
                      "<link rel=\"stylesheet\" href=\"http://unreachable.invalid/site.css\">";
    QByteArray page = ResultPages::classicPage(1, 2, "https://www.ncbi.nlm.nih.gov/pmc/?term=x&page=2", head);
    page.replace("Result 2 of the", "Result 2<br>of<span style=\"white-space: pre\">\t</span>the"); // rendered "\n" and "\t"
    const QString saved = m_home.path() + "/saved page.html";
    writeFile(saved, page);
    const QString exportFile = m_home.path() + "/export.txt";

    const Run run = harvest(m_home.path(), {"--export", exportFile, saved, QUrl::fromLocalFile(saved).toString()});
    QCOMPARE(run.exitCode, 0);
    const QString base = "https://www.ncbi.nlm.nih.gov/pmc/articles/";
    QCOMPARE(run.lines, QStringList({"Result 1 of the gene study\t" + base + "PMC1/pdf/paper1.pdf\tPDF",
                                     "Result 2 of the gene study\t" + base + "PMC2/pdf/paper2.pdf\tPDF"}));
    // The export keeps each row on one line of the file: the title's line
    // break goes, its tab stays.
    QCOMPARE(readFile(exportFile), ToAnsi("Result 1 of the gene study-【PDF】\r\nResult 2of\tthe gene study-【PDF】\r\n"));

    // The output is what `velmora get --from` reads back.
    writeFile(m_home.path() + "/rows.txt", run.lines.join('\n').toUtf8() + '\n');
    GetOptions options;
    options.fromFile = m_home.path() + "/rows.txt";
    QList<GetEntry> entries;
    QString error;
    QVERIFY(CollectGetEntries(options, entries, error));
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[1].url, base + "PMC2/pdf/paper2.pdf");
    QCOMPARE(entries[1].type, QString("PDF"));
}

void TestHarvestCommand::liveClassicSetWithPages()
{
    m_server.route("/p1", html(ResultPages::classicPage(1, 2, "/p2")));
    m_server.route("/p2", html(ResultPages::classicPage(3, 4, "/p3")));
    m_server.route("/p3", html(ResultPages::classicPage(5, 5)));
    const Run run = harvest(m_home.path(), {"--pages", "--delay", "0", "--all-types", m_server.urlString("/p1")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.size(), 10);
    QVERIFY(run.lines[0].endsWith("/pmc/articles/PMC1/\thtm"));
    QVERIFY(run.lines[9].endsWith("/pmc/articles/PMC5/pdf/paper5.pdf\tPDF"));
    // Without --pages only the page given is read.
    QCOMPARE(harvest(m_home.path(), {m_server.urlString("/p1")}).lines.size(), 2);
}

void TestHarvestCommand::liveTodayPageWithPages()
{
    m_server.route("/t", html(ResultPages::todayPage(1, 10, "/t-more")));
    m_server.route("/t-more?page=2", ScriptedResponse::ok("LAST" + ResultPages::todayItems(11, 12), "text/html"));
    const Run run = harvest(m_home.path(), {"--pages", "--delay=0", m_server.urlString("/t")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.size(), 12);
    QCOMPARE(run.lines[11], QString("Item 12 on gene expression\thttps://pmc.ncbi.nlm.nih.gov/articles/PMC12/pdf/\tPDF"));
}

void TestHarvestCommand::pagesThatCannotBeLoaded()
{
    m_server.route("/good", html(ResultPages::classicPage(7, 7)));
    m_server.route("/gone", ScriptedResponse::status("HTTP/1.1 404 Not Found", "<html><body>Not found</body></html>"));
    quint16 closedPort;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    const QString refused = QString("http://127.0.0.1:%1/x").arg(closedPort);
    const QString missing = m_home.path() + "/no such page.html";
    const Run run = harvest(m_home.path(), {missing, m_server.urlString("/gone"), refused, m_server.urlString("/good")});
    QCOMPARE(run.exitCode, 1);
    for (const QString &page : {missing, m_server.urlString("/gone"), refused})
        QVERIFY2(run.err.contains("velmora harvest: " + page + ": could not be loaded"), qPrintable(run.err));
    QCOMPARE(run.lines.size(), 1); // the page after them still ran
}

void TestHarvestCommand::livePageWithAPartThatNeverArrives()
{
    QByteArray page = ResultPages::classicPage(3, 3);
    page.replace("</body>", "<img src=\"/hang.png\"></body>");
    m_server.route("/hanging", html(page));
    ScriptedResponse never;
    never.silent = true;
    m_server.route("/hang.png", never);
    // Read once the document is there, rather than failing at the load limit.
    const Run run = harvest(m_home.path(), {m_server.urlString("/hanging")});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QCOMPARE(run.lines.size(), 1);
}

VELMORA_UI_TEST_MAIN(TestHarvestCommand)
#include "tst_harvestcommand.moc"
