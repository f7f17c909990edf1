#pragma once
// The analyse-and-download commands: the chosen harvest rows go, in list
// order, into the download list under the folder and naming rule picked in
// the save-location dialog, and each is marked with its outcome.
//
// The run never blocks the window: after the dialog it works through the
// rows in slices of a few milliseconds and lets the event loop run between
// them, so the stop button, the window's other controls and the download
// window's timers keep going however long the list is.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class HarvestList;

class Analysis : public QObject {
    Q_OBJECT
public:
    // Which rows a command hands over.
    enum class Scope {
        Unanalysed, // "分析未分析项": rows whose status is empty
        Failed,     // "分析失败项": rows marked "分析失败"
        Selected,   // "分析选中项"
        All,        // "分析全部"
    };
    Q_ENUM(Scope)

    explicit Analysis(HarvestList *list, QObject *parent = nullptr);

    // The save-location dialog, shown modally; false when it was cancelled.
    // Program()'s SaveFolder and UseOriginalFileName hold the choice after it.
    std::function<bool()> chooseSaveLocation;
    // Whether the row (0-based) is selected, asked when the run reaches it.
    std::function<bool(int row)> isSelected;
    // Adds one download item; false when nothing was added (the URL is
    // listed already), which still counts as handed over.
    std::function<bool(const QString &url, const QString &title, const QString &type)> handOff;
    // Brings the download window into view at the end of every run.
    std::function<void()> showDownloads;

    static QString waitingText();             // "正在分析,请稍候..."
    static QString progressText(int position); // "正在分析第N个，请稍候 ..."

    // Only http and https addresses can be downloaded; a row with anything
    // else (a script link, a relative or empty address) is marked
    // "分析失败" and nothing is added for it.
    static bool IsDownloadableUrl(const QString &url);

    // One of the four commands. Ignored while a run is in progress.
    void run(Scope scope);
    // StopAnalysis: the run ends after the row it is handling.
    void requestStop() { m_stop = true; }
    bool stopAnalysis() const { return m_stop; }
    bool isRunning() const { return m_running; }

    // Hands one row over; position is its 1-based place in the list.
    void AnalyseHarvestItem(int row, int position);

    // How long one slice of rows may take before the event loop runs again.
    void setSliceMilliseconds(int ms) { m_sliceMs = qMax(0, ms); }

signals:
    void started();                      // show the progress panel
    void progress(const QString &text); // Label11
    void finished();                     // hide the progress panel

private:
    void begin();
    void slice();
    void finish();
    bool wanted(int row) const;

    QPointer<HarvestList> m_list;
    QTimer m_next; // zero-interval, single shot: the next slice after pending events
    Scope m_scope = Scope::All;
    bool m_running = false;
    bool m_stop = false;
    bool m_dialogDone = false;
    int m_count = 0;    // positions fixed when the loop starts
    int m_position = 0; // 0-based position of the next row
    int m_sliceMs = 8;
};
