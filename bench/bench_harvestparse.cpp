// Reading result pages: the import of a page of 200 results of either
// layout, from the end of its load to the last row in the harvest list
// (target under 100 ms: one page read, the parse, the list), and
// `velmora harvest` of a saved 200-result page from start to exit (target
// under 3 s on the 2-core machine). Prints the figures.
#include "search/harvestlist.h"
#include "search/resultparser.h"
#include "search/ui/browserpane.h"
#include "support/httptestserver.h"
#include "support/resultpages.h"
#include "benchsupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Results = 200;
constexpr int Rounds = 7;

bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Milliseconds from the page's document-complete to the rows in the list,
// per round; -1 on failure.
std::vector<double> importTimes(BrowserPane &pane, const QString &url, int expectedRows)
{
    std::vector<double> times;
    for (int round = 0; round < Rounds; ++round) {
        bool complete = false;
        const auto c = QObject::connect(&pane, &BrowserPane::DocumentComplete, [&] { complete = true; });
        pane.Navigate(QUrl(url));
        const bool loaded = waitFor([&] { return complete; }, 30000);
        QObject::disconnect(c);
        if (!loaded)
            return {-1};
        HarvestList list;
        QElapsedTimer timer;
        timer.start();
        bool done = false;
        pane.Document([&](DocumentPtr doc) {
            导入当且页面(doc.get(), list, false);
            done = true;
        });
        if (!waitFor([&] { return done; }, 30000) || list.count() != expectedRows)
            return {-1};
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return times;
}

void report(const char *what, std::vector<double> times, double targetMs)
{
    if (times.empty() || times.front() < 0) {
        std::printf("%-44s FAILED\n", what);
        return;
    }
    std::sort(times.begin(), times.end());
    std::printf("%-44s median %7.1f ms  worst %7.1f ms  (target < %.0f ms)\n", what, times[times.size() / 2], times.back(),
                targetMs);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    bench::prepareEnvironment(home, true);
    QApplication app(argc, argv);

    HttpTestServer server;
    if (!server.listen())
        return 1;
    const QByteArray classic = ResultPages::classicPage(1, Results, "/next");
    const QByteArray today = ResultPages::todayPage(1, Results, "/more");
    server.route("/classic", ScriptedResponse::ok(classic, "text/html; charset=utf-8"));
    server.route("/today", ScriptedResponse::ok(today, "text/html; charset=utf-8"));

    BrowserPane pane;
    std::printf("Import of a page of %d results, from the end of its load (%d rounds)\n", Results, Rounds);
    report("classic layout (400 rows)", importTimes(pane, server.urlString("/classic"), 2 * Results), 100);
    report("today's layout (400 rows)", importTimes(pane, server.urlString("/today"), 2 * Results), 100);

    // The command end to end on a saved page, as a user runs it.
    const QString binary = qEnvironmentVariableIsSet("VELMORA_BIN")
                               ? qEnvironmentVariable("VELMORA_BIN")
                               : QCoreApplication::applicationDirPath() + QStringLiteral("/../velmora");
    const QString saved = home.path() + QStringLiteral("/saved results.html");
    QFile file(saved);
    if (!file.open(QIODevice::WriteOnly) || file.write(classic) != classic.size())
        return 1;
    file.close();
    std::vector<double> runs;
    for (int round = 0; round < 3; ++round) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMORA_HOME"), home.path() + QStringLiteral("/child"));
        p.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        p.start(binary, {QStringLiteral("harvest"), QStringLiteral("--all-types"), saved});
        if (!p.waitForFinished(60000) || p.exitCode() != 0
            || p.readAllStandardOutput().count('\n') != 2 * Results) {
            runs = {-1};
            break;
        }
        runs.push_back(timer.nsecsElapsed() / 1e6);
    }
    report("velmora harvest of a saved page", runs, 3000);
    return 0;
}
