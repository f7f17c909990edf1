#pragma once
// Which of the program's main windows is on screen. The start window hides
// while a work window (the search window, the download window) is loaded and
// comes back when the last of them has closed; closing the start window ends
// the program.
//
// Work windows are unloaded when closed (WA_DeleteOnClose), so a closed
// search window is gone with its harvest list and the next "文献检索下载"
// makes a fresh one. The flow notices a window's end by its destruction,
// and looks the windows up by their objectName.
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <functional>

class QWidget;

class WindowFlow : public QObject {
    Q_OBJECT
public:
    static inline const QString SearchWindowName = QStringLiteral("fWebSearch");
    static inline const QString DownloadWindowName = QStringLiteral("fFileDownload");

    // cover: the start window; searchFactory makes a new search window.
    // From here on the program ends only when the start window closes, not
    // when the last visible window does.
    WindowFlow(QWidget *cover, std::function<QWidget *()> searchFactory);

    // Hides the start window and shows the search window, making one when
    // none is loaded. Null (and the start window stays) when there is no
    // factory or it made nothing.
    QWidget *openSearchWindow();
    QWidget *searchWindow() const { return m_search; }

    // Closes every loaded work window the usual way (each may ask its own
    // question). False when one of them refused and stays loaded.
    bool closeWorkWindows();

    // A loaded top-level window of that name (shown or hidden), or null.
    static QWidget *loadedWindow(const QString &name);
    // Deletes the work windows still loaded, without asking: the program is
    // ending (an interrupt) and their transfers must close their files.
    static void deleteWorkWindows();

private:
    void watch(QWidget *window);
    void workWindowGone();

    QPointer<QWidget> m_cover;
    std::function<QWidget *()> m_searchFactory;
    QPointer<QWidget> m_search;
    QSet<QObject *> m_watched;
    bool m_ending = false;
};
