#include "app/ui/windowflow.h"

#include <QApplication>
#include <QList>
#include <QWidget>

#include <algorithm>

namespace {

QList<QPointer<QWidget>> workWindows()
{
    QList<QPointer<QWidget>> found;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        if (w->objectName() == WindowFlow::SearchWindowName || w->objectName() == WindowFlow::DownloadWindowName)
            found << w;
    return found;
}

} // namespace

WindowFlow::WindowFlow(QWidget *cover, std::function<QWidget *()> searchFactory)
    : QObject(cover)
    , m_cover(cover)
    , m_searchFactory(std::move(searchFactory))
{
    // The start window is hidden, not closed, while the work windows are
    // open: without this, closing the last work window would end the
    // program before the start window could come back.
    QApplication::setQuitOnLastWindowClosed(false);
}

QWidget *WindowFlow::loadedWindow(const QString &name)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        if (w->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return w;
    return nullptr;
}

QWidget *WindowFlow::openSearchWindow()
{
    if (!m_search) {
        QWidget *window = m_searchFactory ? m_searchFactory() : nullptr;
        if (!window)
            return nullptr;
        m_search = window;
        watch(window);
    }
    if (m_cover)
        m_cover->hide();
    m_search->show();
    m_search->raise();
    m_search->activateWindow();
    return m_search;
}

void WindowFlow::watch(QWidget *window)
{
    // Closed means unloaded: a work window that merely hid would leave the
    // program running with nothing on screen.
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (m_watched.contains(window))
        return;
    m_watched.insert(window);
    connect(window, &QObject::destroyed, this, [this](QObject *gone) {
        m_watched.remove(gone);
        // Decided once the window is wholly gone, so that it no longer
        // counts as loaded.
        QMetaObject::invokeMethod(this, &WindowFlow::workWindowGone, Qt::QueuedConnection);
    });
}

void WindowFlow::workWindowGone()
{
    if (m_ending || m_search)
        return; // the search window stays in front
    if (QWidget *download = loadedWindow(DownloadWindowName)) {
        // The download window carries on alone. One loaded hidden by a
        // hand-off whose search window has gone is shown: its rows would
        // otherwise sit in a program with no window on screen.
        watch(download);
        if (m_cover)
            m_cover->hide();
        if (!download->isVisible())
            download->show();
        return;
    }
    if (m_cover)
        m_cover->show();
}

bool WindowFlow::closeWorkWindows()
{
    m_ending = true;
    bool all = true;
    // The search window first: the download window it may have loaded is
    // closed after it.
    QList<QPointer<QWidget>> windows = workWindows();
    std::stable_partition(windows.begin(), windows.end(),
                          [](const QPointer<QWidget> &w) { return w->objectName() == SearchWindowName; });
    for (const QPointer<QWidget> &w : windows) {
        if (!w)
            continue;
        w->setAttribute(Qt::WA_DeleteOnClose);
        if (!w->close()) {
            all = false;
            break;
        }
    }
    // After a refusal the program goes on: the windows closed before it are
    // settled as any closed window is, once they are gone.
    m_ending = all;
    return all;
}

void WindowFlow::deleteWorkWindows()
{
    for (const QPointer<QWidget> &w : workWindows())
        delete w.data(); // null when deleting an earlier one took it along
}
