#pragma once
// The values of the download window that the scheduler, the two transfer
// modes and the list commands share, and the hooks through which a transfer
// reaches the window (status-bar texts, scrolling, notice sounds, automatic
// login). It needs no window: `velmora get` and the tests drive the same
// engine without one.
#include "queue/downloadlist.h"
#include "app/filenames.h"

#include <QObject>

#include <array>

// Notice sounds and the automatic login. The default does nothing; the window
// installs the real ones.
class TransferHooks {
public:
    virtual ~TransferHooks() = default;
    virtual void playNotice(int sound) { Q_UNUSED(sound) }
    virtual void loginNow(bool showMessages) { Q_UNUSED(showMessages) }
};

class DownloadSession : public QObject {
    Q_OBJECT
public:
    explicit DownloadSession(QObject *parent = nullptr);

    DownloadList &list() { return m_list; }
    const DownloadList &list() const { return m_list; }

    // True while a mode-1 transfer runs, and in mode 2 while slots are in use
    // and the scheduler runs. Clearing it stops a running mode-1 transfer.
    bool DownloadBusy = false;
    // Clock time (seconds) when the last transfer ended.
    double LastFinishTime = 0;
    // For each transfer slot, the 1-based list position of the row it serves.
    std::array<int, 12> SlotRow{};

    // Options of the window, read at the moment they are needed.
    bool soundNotices = false; // "声音提示"
    bool autoLogin = false;    // "自动登录"
    bool autoLocate = false;   // "自动定位到下载项"
    DuplicateNamePolicy sameName = DuplicateNamePolicy::Rename; // the same-name option, read at the moment of the decision

    void setHooks(TransferHooks *hooks) { m_hooks = hooks ? hooks : &m_noHooks; }
    TransferHooks &hooks() const { return *m_hooks; }

    // Plays a notice when sound notices are on.
    void notice(int sound);
    // Status-bar panels 1 to 4.
    void setStatusText(int panel, const QString &text);
    QString statusText(int panel) const;
    // Asks the window to scroll the row into view when auto-locate is on.
    void locate(const ItemRef &item);
    // Writes the count text into panel 4.
    void UpdateStatusCounts();

signals:
    void statusTextChanged(int panel, const QString &text);
    void locateRequested(int row);

private:
    DownloadList m_list;
    TransferHooks m_noHooks;
    TransferHooks *m_hooks = &m_noHooks;
    std::array<QString, 5> m_status;
};
