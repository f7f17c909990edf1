// Start-up as the user sees it, measured on the real program: `velmora` is
// launched with VELMORA_STARTUP_PROBE, which makes it print monotonic
// timestamps as its windows reach the screen (see app/ui/startupprobe.h).
// Prints, over several launches, each with a fresh VELMORA_HOME:
//   - launch to the start window exposed (target: under 1 s);
//   - launch to the browser engine warmed up behind the start window;
//   - "文献检索下载" pressed to the search window exposed, once pressed at
//     once (the engine still warming up) and once after the warm-up.
// Until the search window's own browser pane is what "文献检索下载" opens,
// the same bench also times a browser view over the program's profile,
// shown and loaded in a fresh process, with and without the warm-up first.
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM or DISPLAY says
// otherwise. Usage: bench_startup [LAUNCHES] [PATH_TO_VELMORA]
#include "app/ui/browserprofile.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

// In a process of its own: a browser view over the program's profile, made,
// shown and loaded; prints the milliseconds to its first loaded page.
int timeBrowserView(int argc, char **argv, bool warmUp)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("VELMORA_HOME", home.path().toLocal8Bit());
    auto measure = [] {
        QElapsedTimer t;
        t.start();
        auto *view = new QWebEngineView;
        view->setPage(new QWebEnginePage(BrowserProfile(), view));
        QObject::connect(view, &QWebEngineView::loadFinished, [t, view] {
            std::printf("%.1f\n", t.nsecsElapsed() / 1e6);
            std::fflush(stdout);
            view->deleteLater(); // not inside the page's own signal
            QCoreApplication::exit(0);
        });
        view->resize(1000, 700);
        view->show();
        view->setHtml(QStringLiteral("<html><body><p>PMC</p></body></html>"));
    };
    if (warmUp)
        WarmUpBrowserEngine(measure);
    else
        QTimer::singleShot(0, measure);
    return app.exec();
}

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Run {
    bool ok = false;
    qint64 launched = 0;
    QMap<QString, qint64> marks; // event -> ns
    double ms(const char *from, const char *to) const
    {
        const qint64 a = QString::fromLatin1(from) == QLatin1String("launch") ? launched : marks.value(QLatin1String(from));
        return (marks.value(QLatin1String(to)) - a) / 1e6;
    }
};

Run launch(const QString &program, const QString &probe)
{
    QTemporaryDir home;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELMORA_HOME"), home.path());
    env.insert(QStringLiteral("VELMORA_STARTUP_PROBE"), probe);
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")) && !env.contains(QStringLiteral("DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    Run run;
    run.launched = nowNs();
    p.start(program, {});
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() == 2)
            run.marks.insert(QString::fromLatin1(parts[0]), parts[1].toLongLong());
    }
    run.ok = p.exitCode() == 0 && run.marks.contains(QStringLiteral("cover"));
    return run;
}

void report(const char *what, std::vector<double> v, const char *target = nullptr)
{
    if (v.empty()) {
        std::printf("%-48s no figures\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    std::printf("%-48s median %7.1f ms   min %7.1f   max %7.1f   (%zu runs)%s%s\n", what, v[v.size() / 2], v.front(),
                v.back(), v.size(), target ? "   target " : "", target ? target : "");
}

std::vector<double> browserViews(const char *self, const char *mode, int launches)
{
    std::vector<double> v;
    for (int i = 0; i < launches; ++i) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")) && !env.contains(QStringLiteral("DISPLAY")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (geteuid() == 0)
            env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        p.setProcessEnvironment(env);
        p.start(QString::fromLocal8Bit(self), {QString::fromLatin1(mode)});
        if (p.waitForFinished(60000) && p.exitCode() == 0)
            v.push_back(p.readAllStandardOutput().trimmed().toDouble());
    }
    return v;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && (qstrcmp(argv[1], "--view-cold") == 0 || qstrcmp(argv[1], "--view-warm") == 0))
        return timeBrowserView(argc, argv, qstrcmp(argv[1], "--view-warm") == 0);
    QCoreApplication app(argc, argv);
    const int launches = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const QString program = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral(VELMORA_BIN);
    std::printf("velmora: %s, %d launches each\n", qPrintable(program), launches);

    std::vector<double> cover, warm, clickCold, clickWarm;
    int failures = 0;
    for (int i = 0; i < launches; ++i) {
        const Run a = launch(program, QStringLiteral("cover"));
        if (!a.ok) {
            ++failures;
            continue;
        }
        cover.push_back(a.ms("launch", "cover"));

        // Pressed as soon as the start window shows: the search window
        // meets an engine that is still starting.
        const Run b = launch(program, QStringLiteral("search:0"));
        if (b.ok && b.marks.contains(QStringLiteral("search")))
            clickCold.push_back(b.ms("click", "search"));
        else
            ++failures;

        // Pressed once the user has had a moment to read the start window.
        const Run c = launch(program, QStringLiteral("search:3000"));
        if (c.ok && c.marks.contains(QStringLiteral("search"))) {
            clickWarm.push_back(c.ms("click", "search"));
            if (c.marks.contains(QStringLiteral("warm")))
                warm.push_back(c.ms("launch", "warm"));
        } else {
            ++failures;
        }
    }
    report("launch -> start window on screen", cover, "< 1000 ms");
    report("launch -> browser engine warmed up", warm);
    report("文献检索下载 -> search window (pressed at once)", clickCold);
    report("文献检索下载 -> search window (after warm-up)", clickWarm, "no visible stall (< 100 ms)");
    report("browser view shown and loaded, engine cold", browserViews(argv[0], "--view-cold", launches));
    report("browser view shown and loaded, after warm-up", browserViews(argv[0], "--view-warm", launches));
    if (failures)
        std::printf("%d launches failed to report\n", failures);
    return failures ? 1 : 0;
}
