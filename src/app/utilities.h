#pragma once
// Helpers shared by several windows: existence tests, folder creation, file
// name cleaning, opening URLs and files, window lookup, list column sizing.
#include <QString>
#include <functional>

class QAbstractItemView;
class QUrl;
class QWidget;

bool FolderExists(const QString &path);
// Also accepts the "file:///" form (no percent-decoding). Hidden files count.
bool FileExists(const QString &path);
// Creates the folder path component by component; returns the folder it
// ended on, or "" on failure. Messages go through Msg.
QString CreateFolderPath(const QString &path);
QString SanitizeFileName(const QString &name);
void OpenUrlInBrowser(const QString &url, bool useOpenBrowserWindow = false);
void OpenFileWithShell(const QString &path, QWidget *owner = nullptr);
// Case-insensitive lookup of a loaded (shown or hidden) top-level window by objectName.
bool IsFormLoaded(const QString &name);
void AutoSizeListColumn(QAbstractItemView *list, int column, int mode);
void AutoSizeListColumns(QAbstractItemView *list, int mode);

namespace Shell {
// Opens a URL (file, folder, web page) with the desktop; returns false when
// nothing could open it. Tests replace it so that nothing is launched.
using Opener = std::function<bool(const QUrl &url)>;
void setOpener(Opener opener); // empty restores QDesktopServices::openUrl
bool open(const QUrl &url);
} // namespace Shell
