#pragma once
// Helpers shared across the program: existence tests, folder creation, file
// name cleaning, opening URLs and files.
#include <QString>
#include <QStringList>
#include <functional>

class QUrl;

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
void OpenFileWithShell(const QString &path);
namespace Shell {
// Opens a URL (file, folder, web page) with the desktop; returns false when
// nothing could open it. Tests replace it so that nothing is launched.
using Opener = std::function<bool(const QUrl &url)>;
void setOpener(Opener opener); // empty restores the default (xdg-open); the windows install the desktop's
bool open(const QUrl &url);
// Starts a program detached (the last fall-back of the open helpers);
// returns false when it could not be started. Tests replace it too.
using Starter = std::function<bool(const QString &program, const QStringList &arguments)>;
void setStarter(Starter starter); // empty restores QProcess::startDetached
bool start(const QString &program, const QStringList &arguments);
} // namespace Shell
