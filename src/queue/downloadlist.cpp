#include "queue/downloadlist.h"

#include "app/utilities.h"

#include <QFileInfo>

#include <algorithm>

namespace {

DownloadList::StateDecoration g_stateDecoration;

bool isPageType(const QString &type)
{
    return type.compare(QLatin1String("htm"), Qt::CaseInsensitive) == 0
        || type.compare(QLatin1String("html"), Qt::CaseInsensitive) == 0;
}

QString *fieldPtr(DownloadItem &item, DownloadList::Field f)
{
    switch (f) {
    case DownloadList::Key: return &item.key;
    case DownloadList::Name: return &item.name;
    case DownloadList::Type: return &item.type;
    case DownloadList::Size: return &item.size;
    case DownloadList::Received: return &item.received;
    case DownloadList::Percent: return &item.percent;
    case DownloadList::Folder: return &item.folder;
    case DownloadList::Referer: return &item.referer;
    }
    return nullptr;
}

int columnOf(DownloadList::Field f)
{
    switch (f) {
    case DownloadList::Name: return DownloadList::ColName;
    case DownloadList::Type: return DownloadList::ColType;
    case DownloadList::Size: return DownloadList::ColSize;
    case DownloadList::Received: return DownloadList::ColReceived;
    case DownloadList::Percent: return DownloadList::ColPercent;
    case DownloadList::Folder: return DownloadList::ColFolder;
    default: return -1; // key and referer have no column
    }
}

} // namespace

DownloadList::DownloadList(QObject *parent) : QAbstractTableModel(parent) {}
DownloadList::~DownloadList()
{
    for (const ItemRef &item : m_items)
        item->m_row = -1;
}

int DownloadList::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : count(); }
int DownloadList::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant DownloadList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const DownloadItem &item = *m_items[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case ColName: return item.name;
        case ColType: return item.type;
        case ColSize: return item.size;
        case ColReceived: return item.received;
        case ColPercent: return item.percent;
        case ColFolder: return item.folder;
        }
        break;
    case Qt::DecorationRole:
        if (index.column() == ColName)
            return g_stateDecoration ? g_stateDecoration(item.state) : QVariant();
        break;
    case StateRole: return int(item.state);
    case KeyRole: return item.key;
    }
    return {};
}

QVariant DownloadList::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char *const headers[ColumnCount] = {"名称", "类型", "文件大小", "已下载数", "百分比", "保存路径"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromUtf8(headers[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags DownloadList::flags(const QModelIndex &index) const
{
    // Rows are selectable but never edited in place.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void DownloadList::setStateDecoration(StateDecoration decoration) { g_stateDecoration = std::move(decoration); }

ItemRef DownloadList::at(int row) const
{
    return row >= 0 && row < count() ? m_items[row] : ItemRef();
}

ItemRef DownloadList::find(const QString &key) const
{
    auto it = m_byKey.constFind(key);
    return it == m_byKey.constEnd() ? ItemRef() : m_items[it.value()->m_row];
}

bool DownloadList::owns(const ItemRef &item) const
{
    return item && item->m_row >= 0 && item->m_row < count() && m_items[item->m_row] == item;
}

DownloadList::Contribution DownloadList::contributionOf(const DownloadItem &item)
{
    return {item.size.isEmpty() && item.received.isEmpty() && item.percent.isEmpty(),
            isPageType(item.type) || item.state == Failed};
}

void DownloadList::account(const DownloadItem &item, int sign)
{
    const Contribution c = contributionOf(item);
    if (item.state >= Waiting && item.state <= Failed)
        m_stateCount[item.state] += sign;
    m_untouched += c.untouched ? sign : 0;
    m_errorsPages += c.errorOrPage ? sign : 0;
}

bool DownloadList::add(const QString &key, const QString &name, const QString &type, const QString &folder)
{
    if (key.isEmpty() || m_byKey.contains(key))
        return false;
    auto item = std::make_shared<DownloadItem>();
    item->key = key;
    item->name = name;
    item->type = type;
    item->folder = folder;
    item->state = Waiting;
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    item->m_row = row;
    m_items.push_back(item);
    m_byKey.insert(key, item.get());
    account(*item, +1);
    endInsertRows();
    emit countChanged(count());
    return true;
}

void DownloadList::rowChanged(int row, int firstColumn, int lastColumn)
{
    if (m_batchDepth > 0) {
        if (m_batchRows.empty() || m_batchRows.back() != row)
            m_batchRows.push_back(row);
        return;
    }
    emit dataChanged(index(row, firstColumn), index(row, lastColumn));
}

bool DownloadList::set(const ItemRef &item, Field f, const QString &value)
{
    if (!owns(item))
        return false;
    QString *slot = fieldPtr(*item, f);
    if (*slot == value)
        return true;
    if (f == Key) {
        if (value.isEmpty() || m_byKey.contains(value))
            return false; // keys stay unique
        m_byKey.remove(item->key);
        m_byKey.insert(value, item.get());
    }
    account(*item, -1);
    *slot = value;
    account(*item, +1);
    const int col = columnOf(f);
    if (col >= 0)
        rowChanged(item->m_row, col, col);
    return true;
}

bool DownloadList::setState(const ItemRef &item, ItemState state)
{
    if (!owns(item))
        return false;
    if (item->state != state) {
        account(*item, -1);
        item->state = state;
        account(*item, +1);
        rowChanged(item->m_row, ColName, ColName);
    }
    return true;
}

bool DownloadList::setProgress(const ItemRef &item, const QString &size, const QString &received, const QString &percent)
{
    if (!owns(item))
        return false;
    account(*item, -1);
    item->size = size;
    item->received = received;
    item->percent = percent;
    account(*item, +1);
    rowChanged(item->m_row, ColSize, ColPercent);
    return true;
}

QString DownloadList::field(const ItemRef &item, Field f) const
{
    return item ? *fieldPtr(*item, f) : QString();
}

void DownloadList::renumberFrom(int row)
{
    for (int i = row; i < count(); ++i)
        m_items[i]->m_row = i;
}

int DownloadList::removeIf(const std::function<bool(const DownloadItem &)> &pred)
{
    // One pass: the survivors keep their order; the view is told once.
    std::vector<ItemRef> kept;
    kept.reserve(m_items.size());
    std::vector<ItemRef> gone;
    for (const ItemRef &item : m_items)
        (pred(*item) ? gone : kept).push_back(item);
    if (gone.empty())
        return 0;
    beginResetModel();
    for (const ItemRef &item : gone) {
        account(*item, -1);
        m_byKey.remove(item->key);
        item->m_row = -1;
    }
    m_items.swap(kept);
    renumberFrom(0);
    endResetModel();
    emit countChanged(count());
    return int(gone.size());
}

void DownloadList::clear()
{
    removeIf([](const DownloadItem &) { return true; });
}

bool DownloadList::reorder(const std::vector<int> &order)
{
    if (int(order.size()) != count())
        return false;
    std::vector<char> seen(order.size(), 0);
    for (int o : order) {
        if (o < 0 || o >= count() || seen[o])
            return false;
        seen[o] = 1;
    }
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<ItemRef> next;
    next.reserve(order.size());
    for (int o : order)
        next.push_back(m_items[o]);
    m_items.swap(next);
    renumberFrom(0);
    // Persistent indexes (the view's selection and current row) follow their rows.
    std::vector<int> newRowOf(order.size());
    for (int i = 0; i < int(order.size()); ++i)
        newRowOf[order[i]] = i;
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &idx : before)
        after << index(newRowOf[idx.row()], idx.column());
    changePersistentIndexList(before, after);
    emit layoutChanged();
    return true;
}

void DownloadList::beginBatch() { ++m_batchDepth; }

void DownloadList::endBatch()
{
    if (m_batchDepth == 0 || --m_batchDepth > 0)
        return;
    // One announcement per run of adjacent changed rows, not one range from
    // the first changed row to the last: a view walks every row of a range
    // to find what to repaint, and a re-download of the failed rows spread
    // over 100,000 made a shown QTreeView walk nearly all of them (about
    // 30 ms); the runs cost it only the rows that changed.
    std::vector<int> rows;
    rows.swap(m_batchRows);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const int n = count(); // positions past the end after a removal in the batch are dropped
    for (size_t i = 0; i < rows.size() && rows[i] < n;) {
        size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1 && rows[j + 1] < n)
            ++j;
        emit dataChanged(index(rows[i], 0), index(rows[j], ColumnCount - 1));
        i = j + 1;
    }
}

void DownloadList::forEach(const std::function<void(const ItemRef &)> &fn) const
{
    for (const ItemRef &item : m_items)
        fn(item);
}

QString 选择url(const QString &key)
{
    const qsizetype bar = key.indexOf(QLatin1Char('|'));
    return bar < 0 ? key : key.left(bar);
}

QString 对调url(const QString &key)
{
    const QStringList parts = key.split(QLatin1Char('|'));
    if (parts.size() == 2)
        return parts[1] + QLatin1Char('|') + parts[0];
    if (parts.size() == 3)
        return parts[2] + QLatin1Char('|') + parts[0] + QLatin1Char('|') + parts[1];
    return key;
}

QString ItemFilePath(const DownloadItem &item)
{
    QString path = item.folder;
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += item.name;
    if (!item.type.isEmpty())
        path += QLatin1Char('.') + item.type.toLower(); // the file's extension is in lower case
    return path;
}

bool 确定是需要下载(DownloadList &list, const ItemRef &item, bool skipExisting)
{
    if (!item || !item->alive() || !skipExisting)
        return true;
    // The path with a final "." when the type is empty names the same file as
    // the path without it, so the row's own file path is tested.
    const QString path = ItemFilePath(*item);
    if (!FileExists(path))
        return true;
    const QString length = QString::number(QFileInfo(path).size());
    list.setState(item, Finished);
    list.setProgress(item, length, length, StatusWord::ExistsSkipped);
    return false;
}

int 统计未下载项数目(const DownloadList &list) { return list.untouchedCount(); }

bool 检测是否下载列表完毕(const DownloadList &list)
{
    return list.stateCount(Waiting) == 0 && list.stateCount(Downloading) == 0;
}

int CountErrorsAndPages(const DownloadList &list) { return list.errorsAndPagesCount(); }

QString StatusCountsText(const DownloadList &list)
{
    return QStringLiteral("总数:%1 正在下载:%2 等待:%3 已完成:%4 失败:%5")
        .arg(list.count())
        .arg(list.stateCount(Downloading))
        .arg(list.stateCount(Waiting))
        .arg(list.stateCount(Finished))
        .arg(list.stateCount(Failed));
}

void ResetDownloadList(DownloadList &list) { list.clear(); }

QString CountLabelText(const DownloadList &list) { return QString::number(list.count()) + QStringLiteral("条"); }
