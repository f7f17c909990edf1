#pragma once
// What the scheduler and the list commands need from the two transfer modes.
// The window and `velmora get` plug the real transfers in through small
// adapters; the tests plug in fakes, so the scheduling rules are checked
// without a network.
#include "queue/downloadlist.h"

#include <QString>

// Mode 1: one file at a time. start() is `Inet下载当前文件`: it sets
// DownloadBusy while the transfer runs and clears it when the transfer ends
// (a second start while one runs puts the row back to Waiting).
class Mode1Transfer {
public:
    virtual ~Mode1Transfer() = default;
    virtual void start(const ItemRef &item) = 0;
    virtual bool StillExecuting() const = 0;
    virtual void Cancel() = 0;
};

// Mode 2: up to six slots (1 to 6) running at once. start() is `多线程下载`
// (slot, 1-based list position, URL, target path).
class Mode2Transfer {
public:
    virtual ~Mode2Transfer() = default;
    virtual void start(int slot, int position1Based, const QString &url, const QString &target) = 0;
    virtual bool IsSlotInUse(int slot) const = 0;
    virtual void UnloadSlot(int slot) = 0;
    virtual void UnloadAllSlots() = 0;
    // Slots in use plus one (the template), so 1 means no transfer runs.
    virtual int CountTransferSlots() const = 0;
};
