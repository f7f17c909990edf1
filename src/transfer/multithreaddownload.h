#pragma once
// The download window's side of the transfers that run up to six at once:
// the transfer slots 1 to 6 (slot 0 stands for the design template and never
// transfers), starting a slot on a row, and the handling of each slot's
// progress, completion and failure in its row.
//
// A slot finds its row again by the row's 1-based position (SlotRow); the
// list commands that reorder or remove rows refuse to run while slots do.
#include <QObject>
#include <QString>

#include <array>

class DownloadSession;
class Downloader;

class MultiThreadDownload : public QObject {
    Q_OBJECT
public:
    static constexpr int SlotCount = 6;

    explicit MultiThreadDownload(DownloadSession &session, QObject *parent = nullptr);
    // Unloads every slot: their transfers end with no further event.
    ~MultiThreadDownload() override;

    // Loads slot k (1..6) and starts it on the row at the 1-based position.
    // A slot already in use is left alone and nothing starts.
    void 多线程下载(int slot, int position, const QString &url, const QString &targetPath);

    bool IsSlotInUse(int slot) const;
    // Ends the slot's transfer with no further event; the reservation file
    // stays. A slot that is not loaded is passed over.
    void UnloadSlot(int slot);
    void UnloadAllSlots();
    // Loaded elements, the template included: 1 means no transfer runs.
    int CountTransferSlots() const;

    Downloader *slot(int k) const;

    // The three event handlers (public so that a window or a test can feed
    // them directly). Numbers are full width.
    void onDownloadProgress(int slot, qint64 bytesRead, qint64 bytesMax);
    void onDownloadComplete(int slot, qint64 bytesRead, qint64 bytesMax);
    void onDownloadError(int slot, const QString &reason);

signals:
    // A slot was unloaded by one of the handlers (its row has its outcome).
    void slotEnded(int slot);

private:
    DownloadSession &m_session;
    std::array<Downloader *, SlotCount + 1> m_slots{};
};
