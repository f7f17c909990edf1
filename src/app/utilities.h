#pragma once
// Helpers shared by several windows: existence tests, folder creation, file
// name cleaning, opening URLs and files, window lookup, list column sizing.
#include <QString>
#include <QStringList>
#include <functional>

class QAbstractItemView;
class QUrl;
class QWidget;

bool FolderExists(const QString &path);
// Also accepts the "file:///" form (no percent-decoding). Hidden files count.
bool FileExists(const QString &path);
// Creates the folder path component by component; returns the folder it
// ended on, or "" on failure. Messages go through Msg. An absolute path
// begins with "/" (the root is used as it is); a relative one is taken
// from the current folder.
QString CreateFolderPath(const QString &path);
// Removes the characters a name may not hold, leading and trailing dots, and
// cuts it to 200 bytes both in GBK and in UTF-8. May return "".
QString SanitizeFileName(const QString &name);
void OpenUrlInBrowser(const QString &url, bool useOpenBrowserWindow = false);
void OpenFileWithShell(const QString &path, QWidget *owner = nullptr);
// Case-insensitive lookup of a loaded (shown or hidden) top-level window by objectName.
bool IsFormLoaded(const QString &name);
// Report views only (QTreeView, QTableView); column is 1-based. mode -2: the
// wider of header and contents, -1: contents, 0 or more: that many pixels.
void AutoSizeListColumn(QAbstractItemView *list, int column, int mode);
void AutoSizeListColumns(QAbstractItemView *list, int mode);

namespace Shell {
// Opens a URL (file, folder, web page) with the desktop; returns false when
// nothing could open it. Tests replace it so that nothing is launched.
using Opener = std::function<bool(const QUrl &url)>;
void setOpener(Opener opener); // empty restores QDesktopServices::openUrl
bool open(const QUrl &url);
// Starts a program detached (the last fall-back of the open helpers);
// returns false when it could not be started. Tests replace it too.
using Starter = std::function<bool(const QString &program, const QStringList &arguments)>;
void setStarter(Starter starter); // empty restores QProcess::startDetached
bool start(const QString &program, const QStringList &arguments);
} // namespace Shell
