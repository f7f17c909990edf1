#include "queue/listcommands.h"

#include "app/messages.h"
#include "app/utilities.h"
#include "queue/downloadsession.h"
#include "queue/scheduler.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>

namespace {

const QString kStopFirst = QStringLiteral("停止下载以后，才能执行此操作！");

bool typeIs(const DownloadItem &item, std::initializer_list<const char *> types)
{
    for (const char *t : types)
        if (item.type.compare(QLatin1String(t), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool ended(const DownloadItem &item) { return item.state == Finished || item.state == Failed; }

// Runs fn on every row in order inside one batch. fn changes fields only,
// never the rows themselves, so the walk goes by reference (no copy of each
// row's handle over a list of 100,000).
void eachRow(DownloadList &list, const std::function<void(const ItemRef &)> &fn)
{
    list.beginBatch();
    list.forEach(fn);
    list.endBatch();
}

std::vector<char> selectionFlags(const DownloadList &list, const QList<int> &selection)
{
    std::vector<char> flags(list.count(), 0);
    for (int row : selection)
        if (row >= 0 && row < list.count())
            flags[row] = 1;
    return flags;
}

// "1,024" -> 1024; false unless the whole text (commas removed) is a number.
bool numberOf(QString text, double &value)
{
    text.remove(QLatin1Char(','));
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    return ok;
}

} // namespace

void DeleteItemFile(const ItemRef &item)
{
    // Only what this list wrote, and only at an absolute path: a row without
    // a folder names a file relative to wherever the program was started.
    if (!item || !item->alive() || !item->fileWritten)
        return;
    // Removing is its own existence test: one call to the file system, not
    // two (a round may reset thousands of rows). A folder of that name is
    // never removed: unlinking it fails.
    const QString path = ItemFilePath(*item);
    if (path.startsWith(QLatin1Char('/')))
        QFile::remove(path);
}

void ResetForRedownload(DownloadList &list, const ItemRef &item, bool forceUnknownType)
{
    if (!item || !item->alive())
        return;
    DeleteItemFile(item);
    list.setState(item, Waiting);
    const QString oldType = item->type;
    if (forceUnknownType || typeIs(*item, {"htm", "html"}))
        list.set(item, DownloadList::Type, QStringLiteral("xxx"));
    list.setProgress(item, QString(), QString(), QString());
    // The file under the new type; with the type unchanged it is the one
    // just deleted (each test is a file-system call, and a round may reset
    // thousands of rows).
    if (item->type != oldType)
        DeleteItemFile(item);
    item->fileWritten = false;
    list.set(item, DownloadList::Key, 对调url(item->key));
}

void RedownloadFailed(DownloadList &list)
{
    if (list.stateCount(Failed) == 0)
        return; // the supervisor asks every second; spare it the walk
    eachRow(list, [&](const ItemRef &item) {
        if (item->state == Failed)
            ResetForRedownload(list, item, false);
    });
}

void RedownloadWebPages(DownloadList &list)
{
    eachRow(list, [&](const ItemRef &item) {
        if (typeIs(*item, {"htm", "html", "xml"}) && ended(*item))
            ResetForRedownload(list, item, true);
    });
}

void RedownloadFailedAndWebPages(DownloadList &list)
{
    eachRow(list, [&](const ItemRef &item) {
        if (item->state == Failed || (item->state == Finished && typeIs(*item, {"htm", "html"})))
            ResetForRedownload(list, item, false);
    });
}

void RedownloadSelected(DownloadList &list, const QList<int> &selection)
{
    const std::vector<char> selected = selectionFlags(list, selection);
    eachRow(list, [&](const ItemRef &item) {
        if (selected[item->row()] && ended(*item))
            ResetForRedownload(list, item, false);
    });
}

void RedownloadSmallerThan(DownloadList &list, double bytes)
{
    eachRow(list, [&](const ItemRef &item) {
        double size = 0, received = 0;
        if (!numberOf(item->size, size) || !numberOf(item->received, received))
            return;
        // Compared in single precision, as the sizes were always read.
        if (float(received) != float(size) || !(size < bytes) || !ended(*item))
            return;
        ResetForRedownload(list, item, false);
    });
}

std::vector<int> ShufflePermutation(int count, const std::function<int(int n)> &draw)
{
    // The rows not yet moved stay at the front in their old order; each round
    // takes the r-th of them to the end. A Fenwick tree over "not yet moved"
    // finds the r-th in log time, so a long list costs no row copying.
    std::vector<int> tree(count + 1, 0);
    for (int i = 1; i <= count; ++i) {
        tree[i] += 1;
        const int parent = i + (i & -i);
        if (parent <= count)
            tree[parent] += tree[i];
    }
    int top = 1;
    while (top * 2 <= count)
        top *= 2;
    auto takeNth = [&](int nth) { // 1-based among the remaining; returns 0-based position
        int pos = 0;
        for (int step = top; step > 0; step /= 2) {
            if (pos + step <= count && tree[pos + step] < nth) {
                pos += step;
                nth -= tree[pos];
            }
        }
        for (int i = pos + 1; i <= count; i += i & -i)
            tree[i] -= 1;
        return pos;
    };

    std::vector<char> moved(count, 0);
    std::vector<int> tail;
    int rounds = 0;
    for (;;) {
        const int n = count - int(tail.size());
        if (n < 1)
            break;
        if (++rounds > 10000)
            break;
        const int r = std::clamp(draw(n), 0, n - 1);
        const int pos = takeNth(r + 1);
        moved[pos] = 1;
        tail.push_back(pos);
    }
    std::vector<int> order;
    order.reserve(count);
    for (int i = 0; i < count; ++i)
        if (!moved[i])
            order.push_back(i);
    order.insert(order.end(), tail.begin(), tail.end());
    return order;
}

ListCommands::ListCommands(DownloadSession &session, Scheduler &scheduler)
    : m_session(session), m_scheduler(scheduler)
{
    setDraw({});
}

void ListCommands::setDraw(std::function<int(int n)> draw)
{
    if (!draw)
        draw = [](int n) { return int(QRandomGenerator::global()->bounded(n)); };
    m_draw = std::move(draw);
}

bool ListCommands::DownloadsActive() const { return m_scheduler.DownloadsActive(); }

PopupMenuState ListCommands::preparePopup() const
{
    const bool busy = m_session.DownloadBusy || m_scheduler.isRunning();
    return {!busy, !busy, !busy, busy};
}

void ListCommands::RedownloadSelected(const QList<int> &selection) { ::RedownloadSelected(m_session.list(), selection); }
void ListCommands::RedownloadFailed() { ::RedownloadFailed(m_session.list()); }
void ListCommands::RedownloadWebPages() { ::RedownloadWebPages(m_session.list()); }
void ListCommands::RedownloadFailedAndWebPages() { ::RedownloadFailedAndWebPages(m_session.list()); }

void ListCommands::RedownloadSmallerThan()
{
    bool ok = false;
    const QString answer = Msg::input(QStringLiteral("请输入数字："), QString(), &ok).trimmed();
    double bytes = 0;
    if (!ok || answer.isEmpty() || !numberOf(answer, bytes))
        return;
    ::RedownloadSmallerThan(m_session.list(), bytes);
}

bool ListCommands::refusedWhileActive() const
{
    if (!DownloadsActive())
        return false;
    Msg::info(kStopFirst);
    return true;
}

void ListCommands::clearWhere(const std::function<bool(const DownloadItem &)> &pred)
{
    if (refusedWhileActive())
        return;
    DownloadList &list = m_session.list();
    list.beginBatch();
    list.removeIf(pred);
    list.endBatch();
}

void ListCommands::ClearSelected(const QList<int> &selection)
{
    const std::vector<char> selected = selectionFlags(m_session.list(), selection);
    clearWhere([&](const DownloadItem &item) { return selected[item.row()] != 0; });
}

void ListCommands::ClearFailed()
{
    clearWhere([](const DownloadItem &item) { return item.state == Failed; });
}

void ListCommands::ClearFinished()
{
    clearWhere([](const DownloadItem &item) { return item.state == Finished; });
}

void ListCommands::EmptyList()
{
    if (refusedWhileActive())
        return;
    if (!Msg::question(QStringLiteral("您确定要清空列表的所有信息吗？")))
        return;
    m_session.list().clear();
}

void ListCommands::DeleteWebPageFiles()
{
    DownloadList &list = m_session.list();
    eachRow(list, [&](const ItemRef &item) {
        if (typeIs(*item, {"htm", "html", "xml"}) && ended(*item)) {
            list.setProgress(item, QString(), QString(), QString());
            DeleteItemFile(item);
            item->fileWritten = false;
        }
    });
}

void ListCommands::DeleteFailedFiles()
{
    DownloadList &list = m_session.list();
    eachRow(list, [&](const ItemRef &item) {
        if (item->state == Failed) {
            list.setProgress(item, QString(), QString(), QString());
            DeleteItemFile(item);
            item->fileWritten = false;
        }
    });
}

void ListCommands::CancelSelected(const QList<int> &selection)
{
    QCoreApplication::processEvents();
    if (m_session.DownloadBusy) {
        Msg::error(QStringLiteral("停止下载后方可设置！"));
        return;
    }
    DownloadList &list = m_session.list();
    const std::vector<char> selected = selectionFlags(list, selection);
    eachRow(list, [&](const ItemRef &item) {
        if (selected[item->row()] && item->state == Waiting)
            list.setState(item, Failed);
    });
}

void ListCommands::ShuffleList()
{
    if (refusedWhileActive())
        return;
    DownloadList &list = m_session.list();
    if (list.count() > 0)
        list.reorder(ShufflePermutation(list.count(), m_draw));
    Msg::info(QStringLiteral("随机排序完成！"));
}

void ListCommands::OpenOrRequeue(int row)
{
    DownloadList &list = m_session.list();
    const ItemRef item = list.at(row);
    if (!item)
        return;
    if (item->state == Finished) {
        const QString path = ItemFilePath(*item);
        if (FileExists(path))
            OpenFileWithShell(path);
        else
            Msg::error(QStringLiteral("文件不存在！"));
    } else if (item->state == Failed) {
        DeleteItemFile(item);
        item->fileWritten = false;
        list.setState(item, Waiting);
        list.setProgress(item, QString(), QString(), QString());
    }
}
