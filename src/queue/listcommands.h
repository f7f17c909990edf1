#pragma once
// The commands of the menu "列表操作(&D)" that act on the download list:
// re-download, clear, delete files, cancel, shuffle, the double click, and
// the enabled states of the pop-up menu. The window owns the menu and the
// selection; it passes the selected rows in as 0-based list positions (the
// rows of the model's indexes). Positions outside the list are ignored.
//
// Commands that change many rows wrap their changes in one batch, so the
// list is redrawn once at the end and not row by row.
#include "queue/downloadlist.h"

#include <QList>

#include <functional>
#include <vector>

class DownloadSession;
class Scheduler;

// Deletes the row's file when the row is alive and the file exists; errors
// are ignored.
void DeleteItemFile(const ItemRef &item);
// The common reset of the re-download commands: the row waits again with
// empty progress, web pages (or every row with forceUnknownType) get the type
// "xxx" still to be found, old files of both types are deleted, and the key's
// alternatives rotate so that the next attempt starts with another URL.
void ResetForRedownload(DownloadList &list, const ItemRef &item, bool forceUnknownType);

// The re-download commands (no guard, no message; the scheduler's automatic
// re-download runs the first two).
void RedownloadFailed(DownloadList &list);
void RedownloadWebPages(DownloadList &list);
void RedownloadFailedAndWebPages(DownloadList &list);
void RedownloadSelected(DownloadList &list, const QList<int> &selection);
// Rows completely downloaded (received equal to size) that are smaller than
// `bytes` and have ended.
void RedownloadSmallerThan(DownloadList &list, double bytes);

// The order the shuffle produces: repeatedly a row drawn uniformly from the
// rows not yet moved goes to the end of the list, at most 10000 times.
// draw(n) returns a number in 0..n-1. order[i] is the old position of the row
// that ends at position i.
std::vector<int> ShufflePermutation(int count, const std::function<int(int n)> &draw);

// Enabled states the pop-up menu is prepared with.
struct PopupMenuState {
    bool clearEnabled;     // "清除"
    bool emptyEnabled;     // "清空"
    bool selectAllEnabled; // "全选"
    bool stopEnabled;      // "停止下载"
};

class ListCommands {
public:
    ListCommands(DownloadSession &session, Scheduler &scheduler);

    // The generator of ShuffleList: draw(n) in 0..n-1 (uniform by default).
    void setDraw(std::function<int(int n)> draw);

    bool DownloadsActive() const;
    PopupMenuState preparePopup() const;

    void RedownloadSelected(const QList<int> &selection);
    void RedownloadFailed();
    void RedownloadWebPages();
    void RedownloadFailedAndWebPages();
    void RedownloadSmallerThan(); // asks "请输入数字："

    void ClearSelected(const QList<int> &selection);
    void ClearFailed();
    void ClearFinished();
    void EmptyList();

    void DeleteWebPageFiles();
    void DeleteFailedFiles();

    void CancelSelected(const QList<int> &selection);
    void ShuffleList();
    // The double click on a row (0-based position; nothing for -1).
    void OpenOrRequeue(int row);

private:
    bool refusedWhileActive() const;
    void clearWhere(const std::function<bool(const DownloadItem &)> &pred);

    DownloadSession &m_session;
    Scheduler &m_scheduler;
    std::function<int(int)> m_draw;
};
