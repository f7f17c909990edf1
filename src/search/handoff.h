#pragma once
// Hands a harvest row to a download list: one Waiting download item in the
// chosen save folder, named after the article title or the URL's own name.
#include <QString>

class DownloadList;

// The URL's last part after "/" or "\", trimmed; with stripExtension, only
// what precedes its last ".", trimmed. A URL ending in "/" gives "".
QString FileNameFromUrl(const QString &url, bool stripExtension);

// What the download is called, without extension, ready to be a file name:
// the title without line breaks (or the URL's file name with
// useOriginalFileName). When that leaves nothing usable (a blank title, a URL
// ending in "/"), the URL's own name is tried, then its last path segment
// that is more than the file's type ("PMC123" of ".../PMC123/pdf/"), then
// the host name, then "未命名". Every candidate is passed through
// SanitizeFileName, so no name can lead out of the save folder.
QString HandOffFileName(const QString &url, const QString &title, const QString &type, bool useOriginalFileName);

// Adds the download item: key = URL, the name above, the type (cleaned like a
// name, so it cannot carry a path either) and the save folder, ending in "/".
// False, with nothing changed, when the URL is listed already or empty.
bool 加入下载列表(DownloadList &list, const QString &url, const QString &title, const QString &type,
                  const QString &saveFolder, bool useOriginalFileName);
// The same with the save-location results of Program().
bool 加入下载列表(DownloadList &list, const QString &url, const QString &title, const QString &type);
