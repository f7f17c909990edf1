// Mode-1 speed and memory: one 200 MB file from a loopback server in another
// process (python3 -m http.server), fetched by InetTransfer and by curl -o in
// the same run. Prints the throughput ratio (target >= 0.8) and the growth of
// the peak resident memory over the idle size (target <= 30 MB).
#include "app/clock.h"
#include "app/settings.h"
#include "queue/downloadsession.h"
#include "transfer/inettransfer.h"
#include "benchsupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

constexpr qint64 FileSize = 200LL * 1024 * 1024;

double curlSeconds(const QString &url, const QString &folder, const bench::ServedFiles &served)
{
    const QString out = folder + "/" + served.names[0];
    QFile::remove(out);
    QElapsedTimer t;
    t.start();
    QProcess curl;
    curl.start("curl", {"-s", "-o", out, url});
    if (!curl.waitForFinished(120000) || curl.exitCode() != 0)
        return -1;
    const double s = t.nsecsElapsed() / 1e9;
    return served.intact(folder, 0) ? s : -1;
}

double inetSeconds(DownloadSession &session, InetTransfer &inet, const QString &url, const QString &folder,
                   const bench::ServedFiles &served)
{
    session.list().clear();
    QFile::remove(folder + "/" + served.names[0]);
    session.list().add(url, QFileInfo(served.names[0]).completeBaseName(), "bin", folder + "/");
    ItemRef row = session.list().find(url);
    session.list().setState(row, Downloading);
    QEventLoop loop;
    QObject::connect(&inet, &InetTransfer::ended, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    inet.Inet下载当前文件(row);
    loop.exec();
    const double s = t.nsecsElapsed() / 1e9;
    if (row->state != Finished || !served.intact(folder, 0)) {
        std::printf("InetTransfer failed: state %d size %s percent %s\n", int(row->state), qPrintable(row->size),
                    qPrintable(row->percent));
        return -1;
    }
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    bench::prepareEnvironment(home);
    QApplication app(argc, argv);

    QTemporaryDir work;
    const QString served = work.path() + "/served";
    const QString out = work.path() + "/out";
    QDir().mkpath(out);
    bench::ServedFiles files;
    bench::LoopbackServer server;
    if (!bench::serve(files, server, served, 1, FileSize))
        return 1;
    const QString url = server.url(files.names[0]);

    Program().MaxFileSizeMB = 1000;
    DownloadSession session;
    InetTransfer inet(session);

    // Idle: everything set up, nothing transferred yet.
    bench::resetPeak();
    const qint64 idleKb = bench::statusKb("VmRSS:");

    double bestCurl = 1e9, bestInet = 1e9;
    for (int round = 0; round < 3; ++round) {
        const double c = curlSeconds(url, out, files);
        const double i = inetSeconds(session, inet, url, out, files);
        if (c < 0 || i < 0) {
            std::printf("round %d failed (curl %.3f s, InetTransfer %.3f s)\n", round, c, i);
            return 1;
        }
        std::printf("round %d: curl %.3f s, InetTransfer %.3f s\n", round, c, i);
        bestCurl = std::min(bestCurl, c);
        bestInet = std::min(bestInet, i);
    }
    const qint64 peakKb = bench::statusKb("VmHWM:");

    const double mb = FileSize / 1048576.0;
    std::printf("curl -o:      %.1f MB/s\n", mb / bestCurl);
    std::printf("InetTransfer: %.1f MB/s\n", mb / bestInet);
    std::printf("throughput ratio (InetTransfer / curl): %.2f (target >= 0.8)\n", bestCurl / bestInet);
    std::printf("idle RSS %.1f MB, peak %.1f MB, growth %.1f MB (target <= 30 MB)\n", idleKb / 1024.0,
                peakKb / 1024.0, (peakKb - idleKb) / 1024.0);
    return 0;
}
