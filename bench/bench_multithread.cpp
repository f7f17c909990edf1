// Mode-2 speed: six 50 MB files from one loopback server in another process
// (python3 -m http.server), fetched by the six transfer slots of
// MultiThreadDownload at once and by curl --parallel --parallel-max 6, in
// alternating rounds of the same run. Prints the times and the ratio
// (slots / curl, target <= 1.25).
#include "app/settings.h"
#include "benchsupport.h"
#include "queue/downloadsession.h"
#include "transfer/multithreaddownload.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Files = MultiThreadDownload::SlotCount;
constexpr qint64 FileSize = 50LL * 1024 * 1024;

void emptyFolder(const QString &folder)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
}

bool allIntact(const bench::ServedFiles &served, const QString &folder, const char *who)
{
    for (int i = 0; i < Files; ++i)
        if (!served.intact(folder, i)) {
            std::printf("%s: %s is missing, short or wrong\n", who, qPrintable(served.names[i]));
            return false;
        }
    // Nothing left behind: no temporary bodies, no stray names.
    const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    if (left.size() != Files) {
        std::printf("%s: the folder holds %s\n", who, qPrintable(left.join(", ")));
        return false;
    }
    return true;
}

double curlSeconds(const bench::LoopbackServer &server, const bench::ServedFiles &served, const QString &folder)
{
    emptyFolder(folder);
    QStringList args{"-s", "--fail", "--parallel", "--parallel-max", QString::number(Files)};
    for (const QString &name : served.names)
        args << "-o" << folder + "/" + name << server.url(name);
    QElapsedTimer t;
    t.start();
    QProcess curl;
    curl.start("curl", args);
    if (!curl.waitForFinished(300000) || curl.exitStatus() != QProcess::NormalExit || curl.exitCode() != 0) {
        std::printf("curl failed (exit %d)\n", curl.exitCode());
        return -1;
    }
    const double s = t.nsecsElapsed() / 1e9;
    return allIntact(served, folder, "curl") ? s : -1;
}

double slotsSeconds(const bench::LoopbackServer &server, const bench::ServedFiles &served, const QString &folder,
                    bool check = true)
{
    emptyFolder(folder);
    DownloadSession session;
    MultiThreadDownload transferSlots(session);
    DownloadList &list = session.list();
    for (int i = 0; i < Files; ++i)
        list.add(server.url(served.names[i]), QStringLiteral("file%1").arg(i + 1), "bin", folder + "/");

    QEventLoop loop;
    int ended = 0;
    QObject::connect(&transferSlots, &MultiThreadDownload::slotEnded, &loop, [&] {
        if (++ended == Files)
            loop.quit();
    });
    QElapsedTimer t;
    t.start();
    for (int k = 1; k <= Files; ++k)
        transferSlots.多线程下载(k, k, list.at(k - 1)->key, ItemFilePath(*list.at(k - 1)));
    loop.exec();
    const double s = t.nsecsElapsed() / 1e9;

    for (int i = 0; i < Files; ++i) {
        const ItemRef row = list.at(i);
        if (row->state != Finished || row->percent != StatusWord::Complete) {
            std::printf("slot %d: row ended in state %d with %s / %s / %s\n", i + 1, int(row->state),
                        qPrintable(row->size), qPrintable(row->received), qPrintable(row->percent));
            return -1;
        }
    }
    // Let the unloaded slots go before the folder is checked.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return !check || allIntact(served, folder, "slots") ? s : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    bench::prepareEnvironment(home);
    QApplication app(argc, argv);

    QTemporaryDir work;
    const QString servedFolder = work.path() + "/served";
    const QString out = work.path() + "/out";
    bench::ServedFiles served;
    bench::LoopbackServer server;
    if (!bench::serve(served, server, servedFolder, Files, FileSize))
        return 1;

    // 50 MB must not be skipped as a large file.
    Program().MaxFileSizeMB = 1000;
    bench::resetPeak();
    const qint64 idleKb = bench::statusKb("VmRSS:");

    const int rounds = qEnvironmentVariableIntValue("BENCH_ROUNDS") > 0 ? qEnvironmentVariableIntValue("BENCH_ROUNDS") : 3;
    // BENCH_SLOTS_ONLY=1 runs the slots alone, unchecked, for a profiler.
    if (qEnvironmentVariableIntValue("BENCH_SLOTS_ONLY") > 0) {
        for (int round = 0; round < rounds; ++round) {
            QElapsedTimer t;
            t.start();
            if (slotsSeconds(server, served, out, false) < 0)
                return 1;
            std::printf("round %d: MultiThreadDownload %.3f s\n", round, t.nsecsElapsed() / 1e9);
        }
        return 0;
    }
    double bestCurl = 1e9, bestSlots = 1e9, sumCurl = 0, sumSlots = 0;
    for (int round = 0; round < rounds; ++round) {
        // Alternate which goes first, so neither always meets a cold cache.
        double c, m;
        if (round % 2 == 0) {
            c = curlSeconds(server, served, out);
            m = c < 0 ? -1 : slotsSeconds(server, served, out);
        } else {
            m = slotsSeconds(server, served, out);
            c = m < 0 ? -1 : curlSeconds(server, served, out);
        }
        if (c < 0 || m < 0) {
            std::printf("round %d failed (curl %.3f s, slots %.3f s)\n", round, c, m);
            return 1;
        }
        std::printf("round %d: curl --parallel %.3f s, MultiThreadDownload %.3f s (%.2f)\n", round, c, m, m / c);
        std::fflush(stdout);
        bestCurl = std::min(bestCurl, c);
        bestSlots = std::min(bestSlots, m);
        sumCurl += c;
        sumSlots += m;
    }

    const qint64 peakKb = bench::statusKb("VmHWM:");

    const double mb = Files * FileSize / 1048576.0;
    std::printf("%d files of %.0f MB, all complete and correct\n", Files, FileSize / 1048576.0);
    std::printf("curl --parallel:     best %.3f s (%.1f MB/s), mean %.3f s\n", bestCurl, mb / bestCurl, sumCurl / rounds);
    std::printf("MultiThreadDownload: best %.3f s (%.1f MB/s), mean %.3f s\n", bestSlots, mb / bestSlots,
                sumSlots / rounds);
    std::printf("time ratio (MultiThreadDownload / curl): best %.2f, mean %.2f (target <= 1.25)\n",
                bestSlots / bestCurl, sumSlots / sumCurl);
    std::printf("idle RSS %.1f MB, peak %.1f MB, growth %.1f MB\n", idleKb / 1024.0, peakKb / 1024.0,
                (peakKb - idleKb) / 1024.0);
    return 0;
}
