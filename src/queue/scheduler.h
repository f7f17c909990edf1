#pragma once
// The download scheduler: Timer_Down picks waiting rows and starts transfers,
// Timer1 supervises (end of the list, indicator, busy flag, counts, automatic
// start and re-download, the error stop). It owns no widget: the download
// window binds its controls to the options and signals here, and
// `velmora get` runs the same object without a window.
//
// Both ticks are public so that tests drive them on a ManualClock. Timer1 is
// not started here: the window starts it when it loads (startSupervisor()).
//
// The download mode is the program-wide value Program().DownloadMode, so a
// change made in the options dialog applies from the next Timer_Down tick.
#include "queue/downloadsession.h"
#include "queue/transferports.h"

#include <QObject>
#include <QTimer>

class Scheduler : public QObject {
    Q_OBJECT
public:
    explicit Scheduler(DownloadSession &session, QObject *parent = nullptr);
    ~Scheduler() override;

    DownloadSession &session() const { return m_session; }
    // Not owned; null means "no such transfer" (never executing, no slot in use).
    void setTransfers(Mode1Transfer *mode1, Mode2Transfer *mode2);
    Mode1Transfer *mode1() const { return m_mode1; }
    Mode2Transfer *mode2() const { return m_mode2; }

    // Options shown beside the list.
    int mode() const;                    // 1 or 2 ("下载方式：N")
    void setMode(int mode);
    int threadCount() const { return m_threads; } // "线程数：" 1..6
    void setThreadCount(int n);
    bool threadCountEnabled() const { return mode() == 2; }
    int interval() const { return m_interval; }   // "两个文件下载间隔：" 0..600 s
    void setInterval(int seconds);
    bool autoStart() const { return m_autoStart; } // "当有待下载项时，自动启动下载"
    void setAutoStart(bool on);
    bool autoRedownload() const { return m_autoRedownload; } // "自动重新下载："
    void setAutoRedownload(bool on);
    int redownloadChoice() const { return m_choice; } // 0 failed, 1 web pages, 2 both
    void setRedownloadChoice(int choice);
    bool stopOnErrors() const { return m_stopOnErrors; } // "有5个以上下载出错或者网页文件，就停止下载"
    void setStopOnErrors(bool on);
    bool soundNotices() const { return m_session.soundNotices; } // "声音提示"
    void setSoundNotices(bool on);

    // Timer_Down is enabled.
    bool isRunning() const { return m_timerDown.isActive(); }
    // What the last Timer1 tick decided for the indicator Shape1 and the menu
    // entry "开始下载" (menu下载全部).
    bool indicatorVisible() const { return m_indicator; }
    bool startEnabled() const { return m_startEnabled; }

    QTimer &timerDown() { return m_timerDown; } // objectName "Timer_Down", 1000 ms
    QTimer &timer1() { return m_timer1; }       // objectName "Timer1", 1000 ms

    // Commands.
    void start();  // "开始下载": enables Timer_Down
    void stop();   // "停止下载"
    void switchMode(); // "切换"
    void startSupervisor() { m_timer1.start(); }
    void stopSupervisor() { m_timer1.stop(); }

    // A transfer or the scheduler is at work: the list must keep its order
    // and length.
    bool DownloadsActive() const;
    // Closing the window discards work: a transfer runs, a slot is loaded,
    // the list is not done, or the scheduler runs. The window then asks
    // ClosingQuestion before it closes.
    bool ClosingNeedsConfirmation() const;
    static QString ClosingQuestion();

    void timerDownTick();
    void timer1Tick();

signals:
    void runningChanged(bool running);
    void indicatorChanged(bool visible);
    void startEnabledChanged(bool enabled);
    void modeChanged(int mode);
    void threadCountChanged(int threads);
    void intervalChanged(int seconds);
    void autoStartChanged(bool on);
    void autoRedownloadChanged(bool on);
    void redownloadChoiceChanged(int choice);
    void stopOnErrorsChanged(bool on);
    void soundNoticesChanged(bool on);
    // An automatic re-download reset rows and started the scheduler again.
    void redownloadRoundStarted();
    // Emitted at the end of every Timer1 tick.
    void supervised();

private:
    void setRunning(bool on);
    void tickMode1();
    void tickMode2();
    // The first waiting row to fetch, preparing each candidate on the way;
    // from is the position to begin the walk at.
    ItemRef takeRow(int &from, bool createFolders);
    bool slotInUse(int slot) const;

    DownloadSession &m_session;
    Mode1Transfer *m_mode1 = nullptr;
    Mode2Transfer *m_mode2 = nullptr;
    QTimer m_timerDown;
    QTimer m_timer1;
    int m_threads = 3;
    int m_interval = 0;
    bool m_autoStart = false;
    bool m_autoRedownload = false;
    int m_choice = 0;
    bool m_stopOnErrors = false;
    bool m_indicator = false;
    bool m_startEnabled = true;
    bool m_inDownTick = false;
    bool m_lastRunning = false;
};
