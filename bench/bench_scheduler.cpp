// The scheduler over a download list of 100,000 rows: the time of one Timer1
// tick (target under 10 ms) in the states it meets, and of a Timer_Down tick
// that has to walk far down the list. Prints the figures.
#include "app/clock.h"
#include "app/settings.h"
#include "queue/downloadsession.h"
#include "queue/listcommands.h"
#include "queue/scheduler.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <set>

namespace {

class NullMode1 : public Mode1Transfer {
public:
    void start(const ItemRef &) override {}
    bool StillExecuting() const override { return false; }
    void Cancel() override {}
};

class SlotsMode2 : public Mode2Transfer {
public:
    explicit SlotsMode2(DownloadSession &s) : session(s) {}
    void start(int slot, int position, const QString &, const QString &) override
    {
        inUse.insert(slot);
        session.list().setState(session.list().at(position - 1), Downloading);
    }
    bool IsSlotInUse(int slot) const override { return inUse.count(slot) > 0; }
    void UnloadSlot(int slot) override { inUse.erase(slot); }
    void UnloadAllSlots() override { inUse.clear(); }
    int CountTransferSlots() const override { return 1 + int(inUse.size()); }
    DownloadSession &session;
    std::set<int> inUse;
};

void fill(DownloadSession &session, int rows, const QString &folder)
{
    DownloadList &list = session.list();
    for (int i = 0; i < rows; ++i) {
        list.add(QStringLiteral("https://example.org/pmc/articles/PMC%1/pdf/paper%1.pdf").arg(i),
                 QStringLiteral("Article title number %1").arg(i), i % 10 == 0 ? "htm" : "PDF", folder);
        const ItemRef item = list.at(i);
        if (i < rows - 50) {
            list.setState(item, i % 13 == 0 ? Failed : Finished);
            list.setProgress(item, "4096", "4096", "100%");
        }
    }
}

double msPerCall(int reps, const std::function<void()> &fn)
{
    QElapsedTimer t;
    t.start();
    for (int r = 0; r < reps; ++r)
        fn();
    return t.nsecsElapsed() / 1e6 / reps;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("VELMORA_HOME", home.path().toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = 100000;
    const QString folder = home.path() + QStringLiteral("/save/");
    QDir().mkpath(folder);

    ManualClock clock;
    Clock::setInstance(&clock);
    Program().DownloadMode = 2;

    DownloadSession session;
    NullMode1 m1;
    SlotsMode2 m2(session);
    Scheduler scheduler(session);
    scheduler.setTransfers(&m1, &m2);
    scheduler.setThreadCount(6);
    fill(session, rows, folder);

    // Running, rows still waiting near the end: the everyday tick.
    scheduler.start();
    scheduler.setStopOnErrors(false);
    scheduler.setAutoStart(true);
    const double running = msPerCall(200, [&] { scheduler.timer1Tick(); });

    // Timer_Down: the waiting rows sit behind 99,950 ended ones.
    const double downTick = msPerCall(20, [&] {
        m2.inUse.clear();
        clock.advance(1);
        scheduler.timerDownTick();
    });

    // The end of the list followed by an automatic re-download round: the
    // heaviest tick, since every reset row has its old files deleted on
    // disk. Measured with a usual share of failed rows (1 %) and with a large
    // one (every failed row and every web page: about 17 %). Each round is
    // set up again outside the measurement.
    auto roundTick = [&](int choice, int failedEvery, bool pages, double &worst, int &resets) {
        scheduler.setAutoStart(false);
        scheduler.setAutoRedownload(false);
        scheduler.stop();
        DownloadList &list = session.list();
        list.beginBatch();
        resets = 0;
        for (int i = 0; i < rows; ++i) {
            const ItemRef item = list.at(i);
            const bool failed = i % failedEvery == 0;
            const bool page = pages && i % 10 == 0;
            list.setState(item, failed ? Failed : Finished);
            item->fileWritten = true; // each reset then deletes on disk, the dearer case
            list.set(item, DownloadList::Type, page ? QStringLiteral("htm") : QStringLiteral("PDF"));
            list.setProgress(item, "4096", "4096", "100%");
            resets += (failed || page) ? 1 : 0;
        }
        list.endBatch();
        scheduler.setAutoRedownload(true);
        scheduler.setRedownloadChoice(choice);
        scheduler.start();
        QElapsedTimer t;
        t.start();
        scheduler.timer1Tick();
        const double ms = t.nsecsElapsed() / 1e6;
        worst = std::max(worst, ms);
        return ms;
    };
    const int rounds = 10;
    double usualWorst = 0, usualTotal = 0, heavyWorst = 0, heavyTotal = 0;
    int usualResets = 0, heavyResets = 0;
    for (int r = 0; r < rounds; ++r) {
        usualTotal += roundTick(0, 100, false, usualWorst, usualResets);
        heavyTotal += roundTick(2, 13, true, heavyWorst, heavyResets);
    }

    std::printf("rows: %d\n", rows);
    std::printf("Timer1 tick, running:                         %8.4f ms (target < 10 ms)\n", running);
    std::printf("Timer1 tick, end of list + re-download of %d rows: %8.3f ms mean, %8.3f ms worst (target < 10 ms)\n",
                usualResets, usualTotal / rounds, usualWorst);
    std::printf("Timer1 tick, end of list + re-download of %d rows: %8.3f ms mean, %8.3f ms worst (%.2f us per reset row)\n",
                heavyResets, heavyTotal / rounds, heavyWorst, heavyTotal / rounds / heavyResets * 1000);
    std::printf("Timer_Down tick, 6 slots, rows at the end:    %8.3f ms\n", downTick);
    Clock::setInstance(nullptr);
    return 0;
}
