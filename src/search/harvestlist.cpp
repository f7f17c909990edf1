#include "search/harvestlist.h"

#include "app/messages.h"
#include "app/codecs.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

namespace {
const QStringList Headers{QStringLiteral("标题"), QStringLiteral("类型"), QStringLiteral("分析状态")};
} // namespace

HarvestList::HarvestList(QObject *parent) : QAbstractTableModel(parent) {}

int HarvestList::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : count(); }

int HarvestList::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant HarvestList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const Row &row = at(index.row());
    if (role == UrlRole)
        return row.url;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case ColTitle: return row.title;
    case ColType: return row.type;
    case ColStatus: return row.status;
    default: return {};
    }
}

QVariant HarvestList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return Headers.at(section);
}

Qt::ItemFlags HarvestList::flags(const QModelIndex &index) const
{
    // Titles are never edited in place.
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

bool HarvestList::加入LV1(const QString &title, const QString &url, const QString &typeWord)
{
    if (url.isEmpty() || m_byUrl.contains(url))
        return false;
    const QString type = typeWord == QLatin1String("article") ? QStringLiteral("htm") : typeWord;
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    m_rows.push_back({url, title, type, QString()});
    m_byUrl.insert(url, row);
    endInsertRows();
    emit countChanged(count());
    return true;
}

void HarvestList::setStatus(int row, const QString &status)
{
    if (row < 0 || row >= count() || m_rows[size_t(row)].status == status)
        return;
    m_rows[size_t(row)].status = status;
    const QModelIndex cell = index(row, ColStatus);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void HarvestList::reindex()
{
    m_byUrl.clear();
    m_byUrl.reserve(qsizetype(m_rows.size()));
    for (size_t i = 0; i < m_rows.size(); ++i)
        m_byUrl.insert(m_rows[i].url, int(i));
}

int HarvestList::removeIf(const std::function<bool(const Row &)> &pred)
{
    std::vector<Row> kept;
    kept.reserve(m_rows.size());
    for (Row &row : m_rows)
        if (!pred(row))
            kept.push_back(std::move(row));
    const int removed = count() - int(kept.size());
    if (removed == 0) {
        // Nothing matched; the moved-from rows are put back as they were.
        m_rows = std::move(kept);
        return 0;
    }
    // One reset instead of a removal per row: a filter over 10,000 rows
    // would otherwise shift the rest of the list once for every match.
    beginResetModel();
    m_rows = std::move(kept);
    reindex();
    endResetModel();
    emit countChanged(count());
    return removed;
}

void HarvestList::clear()
{
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    m_byUrl.clear();
    endResetModel();
    emit countChanged(0);
}

int HarvestList::清除选中项(const QList<int> &selectedRows)
{
    if (m_rows.empty() || selectedRows.isEmpty())
        return 0;
    std::vector<bool> selected(m_rows.size(), false);
    for (int row : selectedRows)
        if (row >= 0 && row < count())
            selected[size_t(row)] = true;
    // removeIf walks the rows in order, so the position is the row's own.
    size_t position = 0;
    return removeIf([&](const Row &) { return selected[position++]; });
}

int HarvestList::清除标题含指定字符项()
{
    if (m_rows.empty())
        return 0;
    const QString text = Msg::input(HarvestText::FilterPrompt);
    if (text.isEmpty())
        return 0;
    return removeIf([&](const Row &row) { return row.title.contains(text, Qt::CaseInsensitive); });
}

int HarvestList::清除标题不含指定字符项()
{
    if (m_rows.empty())
        return 0;
    const QString text = Msg::input(HarvestText::FilterPrompt);
    if (text.isEmpty())
        return 0;
    return removeIf([&](const Row &row) { return !row.title.contains(text, Qt::CaseInsensitive); });
}

int HarvestList::清除分析成功项()
{
    if (m_rows.empty())
        return 0;
    return removeIf([](const Row &row) { return row.status == HarvestText::Succeeded; });
}

int HarvestList::清空全部()
{
    if (!Msg::question(HarvestText::ClearAllQuestion))
        return 0;
    const int removed = count();
    clear();
    return removed;
}

QByteArray HarvestList::exportBytes() const
{
    QString text;
    for (const Row &row : m_rows)
        text += StripLineBreaks(row.title) + QStringLiteral("-【") + row.type + QStringLiteral("】") + row.status
              + QStringLiteral("\r\n");
    return ToAnsi(text);
}

bool HarvestList::writeExport(const QString &path, QString *errorText) const
{
    QSaveFile file(path);
    const QByteArray bytes = exportBytes();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (errorText)
            *errorText = file.errorString();
        return false;
    }
    return true;
}

bool HarvestList::exportTo(const QString &path) const
{
    if (m_rows.empty() || !writeExport(path))
        return false;
    Msg::info(ExportSizeMessage(QFileInfo(path).size()));
    return true;
}

QString StripLineBreaks(const QString &text)
{
    QString s = text;
    s.remove(QStringLiteral("\r\n"));
    s.remove(QLatin1Char('\r'));
    s.remove(QLatin1Char('\n'));
    s.remove(QChar(0));
    return s;
}

QString KilobytesText(qint64 bytes)
{
    // Tenths of a kilobyte, rounded half up in whole numbers so that no
    // binary fraction decides the last digit.
    const qint64 tenths = (qMax<qint64>(bytes, 0) * 10 + 512) / 1024;
    QString whole = QString::number(tenths / 10);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, QLatin1Char(','));
    return whole + QLatin1Char('.') + QString::number(tenths % 10);
}

QString ExportSizeMessage(qint64 bytes) { return HarvestText::Saved + KilobytesText(bytes) + QStringLiteral("KB"); }
