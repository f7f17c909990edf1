#pragma once
// The real transfer modes behind the scheduler's interfaces, and one object
// that owns both and plugs them into a scheduler (the window and
// `velmora get` each make one).
#include "queue/scheduler.h"
#include "queue/transferports.h"
#include "transfer/inettransfer.h"
#include "transfer/multithreaddownload.h"

#include <QObject>
#include <QPointer>

class InetTransferPort : public Mode1Transfer {
public:
    explicit InetTransferPort(InetTransfer &inet) : m_inet(inet) {}
    void start(const ItemRef &item) override { m_inet.Inet下载当前文件(item); }
    bool StillExecuting() const override { return m_inet.StillExecuting(); }
    void Cancel() override { m_inet.Cancel(); }
private:
    InetTransfer &m_inet;
};

class MultiThreadPort : public Mode2Transfer {
public:
    explicit MultiThreadPort(MultiThreadDownload &transferSlots) : m_slots(transferSlots) {}
    void start(int slot, int position, const QString &url, const QString &target) override
    {
        m_slots.多线程下载(slot, position, url, target);
    }
    bool IsSlotInUse(int slot) const override { return m_slots.IsSlotInUse(slot); }
    void UnloadSlot(int slot) override { m_slots.UnloadSlot(slot); }
    void UnloadAllSlots() override { m_slots.UnloadAllSlots(); }
    int CountTransferSlots() const override { return m_slots.CountTransferSlots(); }
private:
    MultiThreadDownload &m_slots;
};

// Inet1 and the transfer slots of one download list, installed on its
// scheduler for the lifetime of this object.
class SchedulerTransfers : public QObject {
public:
    explicit SchedulerTransfers(Scheduler &scheduler, QObject *parent = nullptr)
        : QObject(parent), m_scheduler(&scheduler), inet(scheduler.session()),
          transferSlots(scheduler.session()), m_port1(inet), m_port2(transferSlots)
    {
        inet.setObjectName(QStringLiteral("Inet1"));
        transferSlots.setObjectName(QStringLiteral("Downloader1"));
        scheduler.setTransfers(&m_port1, &m_port2);
    }
    ~SchedulerTransfers() override
    {
        if (m_scheduler && m_scheduler->mode1() == &m_port1)
            m_scheduler->setTransfers(nullptr, nullptr);
    }

private:
    QPointer<Scheduler> m_scheduler;

public:
    InetTransfer inet;
    MultiThreadDownload transferSlots;

private:
    InetTransferPort m_port1;
    MultiThreadPort m_port2;
};
