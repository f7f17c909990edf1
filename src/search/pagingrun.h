#pragma once
// The "add all pages" run of the search window (Command4): import the page,
// go to the next one, wait for it, pause, and again, until there is no
// further page, a load takes longer than 90 seconds, or the user stops it.
//
// Classic pages are left by their "next >" link. Today's pages have a "Show
// More Results" button whose script appends ten results to the same list;
// the run presses it and waits for the number of results to grow.
//
// Nothing blocks: the waits are phases checked on a short timer against the
// program's clock, so tests move a ManualClock instead of waiting.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class BrowserPort;
class Document;
class HarvestList;

class PagingRun : public QObject {
    Q_OBJECT
public:
    static constexpr double LoadLimitSeconds = 90.0;
    static constexpr double SettleSeconds = 2.0;

    enum class Phase {
        Idle,
        Reading,    // one read of the page is on its way
        Loading,    // after the click on "next >": until the pane is idle and the document complete
        Growing,    // after the click on "Show More Results": until more results are listed
        Settling,   // the 2-second pause after a load
        Delaying,   // the user's pause between pages (Combo1)
    };
    Q_ENUM(Phase)

    PagingRun(BrowserPort *browser, HarvestList *list, QObject *parent = nullptr);

    static QString idleCaption();    // "加入全部到列表"
    static QString runningCaption(); // "停止加入全部"

    // Check1 "仅下载PDF文件": article rows are left out while ticked.
    void setPdfOnly(bool on) { m_pdfOnly = on; }
    bool pdfOnly() const { return m_pdfOnly; }
    // Combo1: whole seconds between pages.
    void setDelaySeconds(int seconds) { m_delaySeconds = qMax(0, seconds); }
    int delaySeconds() const { return m_delaySeconds; }
    // How often the waits look at the clock and the pane.
    void setPollInterval(int ms) { m_timer.setInterval(ms); }

    bool isRunning() const { return m_running; }
    QString caption() const { return m_running ? runningCaption() : idleCaption(); }
    Phase phase() const { return m_phase; }
    bool pageLoading() const { return m_pageLoading; }
    bool stopPaging() const { return m_stopPaging; }

    // The Command4 click: starts a run, or asks the running one to stop.
    void click();
    void start();
    // StopPaging: the run ends at its next check (a load or the 2-second
    // pause ends at once; the pause between pages runs out first).
    void requestStop();

    // One step on its own: import the page, go to the next one and wait.
    // done(true) when a next page was reached (or a stop came during the
    // final pause); false otherwise.
    void 下一页(std::function<void(bool)> done);
    // Reads and imports the page shown; done gets the row count.
    void 导入当且页面(std::function<void(int)> done = {});

signals:
    void runningChanged(bool running); // Command4: caption() and the red background follow it
    void imported(int rowCount);       // Label1
    void finished();                   // the run has ended and the button is idle again
    void phaseChanged(PagingRun::Phase phase);

private:
    void setPhase(Phase phase);
    void turn();
    void tick();
    void afterRead(const Document *doc);
    void endStep(bool result);
    void finish();

    QPointer<BrowserPort> m_browser;
    QPointer<HarvestList> m_list;
    QTimer m_timer;
    Phase m_phase = Phase::Idle;
    bool m_running = false;
    bool m_pageLoading = false;
    bool m_stopPaging = false;
    bool m_pdfOnly = true;
    int m_delaySeconds = 2;
    double m_start = 0;
    int m_itemsBefore = 0;
    bool m_readPending = false;
    // Counting the results reads the whole page: at most four times a
    // second, however often the wait looks at the clock.
    QElapsedTimer m_sinceRead;
    unsigned m_generation = 0; // reads answered after the step moved on are ignored
    std::function<void(bool)> m_stepDone;
};
