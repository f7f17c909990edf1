#pragma once
// Transfers that only record what the scheduler asks of them, and a rig that
// puts a session, a scheduler and both fakes on a ManualClock. finish() ends
// a transfer the way the real ones do: the row's state, the busy flag or the
// slot, and LastFinishTime.
#include "app/clock.h"
#include "app/settings.h"
#include "queue/downloadsession.h"
#include "queue/scheduler.h"
#include "queue/transferports.h"

#include <QList>
#include <QString>

#include <set>

class FakeMode1 : public Mode1Transfer {
public:
    explicit FakeMode1(DownloadSession &s) : session(s) {}
    void start(const ItemRef &item) override
    {
        started << item;
        session.DownloadBusy = true;
        executing = true;
    }
    bool StillExecuting() const override { return executing; }
    void Cancel() override { ++cancels; }
    void finish(ItemState state)
    {
        session.list().setState(started.last(), state);
        session.DownloadBusy = false;
        executing = false;
        session.LastFinishTime = Now();
    }

    DownloadSession &session;
    QList<ItemRef> started;
    bool executing = false;
    int cancels = 0;
};

class FakeMode2 : public Mode2Transfer {
public:
    struct Start {
        int slot;
        int position;
        QString url;
        QString target;
    };
    explicit FakeMode2(DownloadSession &s) : session(s) {}
    void start(int slot, int position, const QString &url, const QString &target) override
    {
        starts << Start{slot, position, url, target};
        inUse.insert(slot);
        session.DownloadBusy = true;
        const ItemRef item = session.list().at(position - 1);
        session.list().setState(item, Downloading);
        session.list().setProgress(item, QString(), QString(), QString());
    }
    bool IsSlotInUse(int slot) const override { return inUse.count(slot) > 0; }
    void UnloadSlot(int slot) override { inUse.erase(slot); }
    void UnloadAllSlots() override
    {
        ++unloadAll;
        inUse.clear();
    }
    int CountTransferSlots() const override { return 1 + int(inUse.size()); }
    void finish(int slot, ItemState state)
    {
        session.list().setState(session.list().at(session.SlotRow[slot] - 1), state);
        inUse.erase(slot);
        session.LastFinishTime = Now();
    }
    QList<int> startedSlots() const
    {
        QList<int> numbers;
        for (const Start &s : starts)
            numbers << s.slot;
        return numbers;
    }

    DownloadSession &session;
    QList<Start> starts;
    std::set<int> inUse;
    int unloadAll = 0;
};

class RecordingHooks : public TransferHooks {
public:
    void playNotice(int sound) override { notices << sound; }
    QList<int> notices;
};

// The clock is installed before the session, which reads it for LastFinishTime.
struct ClockInstall {
    explicit ClockInstall(Clock *c) { Clock::setInstance(c); }
    ~ClockInstall() { Clock::setInstance(nullptr); }
};

struct SchedulerRig {
    explicit SchedulerRig(int mode = 2) : install(&clock), m1(session), m2(session), scheduler(session)
    {
        Program().DownloadMode = mode;
        scheduler.setTransfers(&m1, &m2);
        session.setHooks(&hooks);
        session.soundNotices = true;
    }
    DownloadList &list() { return session.list(); }
    ItemRef row(int i) { return session.list().at(i); }
    // Rows "u1".."uN" named "n1".."nN", type pdf, in folder.
    void addRows(int n, const QString &folder, const QString &type = QStringLiteral("pdf"))
    {
        const int base = list().count();
        for (int i = 1; i <= n; ++i)
            list().add(QStringLiteral("http://h/u%1").arg(base + i), QStringLiteral("n%1").arg(base + i), type, folder);
    }

    ManualClock clock;
    ClockInstall install;
    DownloadSession session;
    FakeMode1 m1;
    FakeMode2 m2;
    RecordingHooks hooks;
    Scheduler scheduler;
};
