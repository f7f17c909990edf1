#include "search/harvestlist.h"

#include "transfer/codecs.h"

#include <QSaveFile>

HarvestList::HarvestList(QObject *parent) : QAbstractTableModel(parent) {}

int HarvestList::count() const { return int(m_rows.size()); }
const HarvestList::Row &HarvestList::at(int row) const { return m_rows.at(row); }
bool HarvestList::containsUrl(const QString &url) const { return m_index.contains(url); }

void HarvestList::加入LV1(const QString &title, const QString &url, const QString &typeWord)
{
    if (m_index.contains(url))
        return;
    const int row = count();
    beginInsertRows({}, row, row);
    m_rows.append({url, title, typeWord == QLatin1String("article") ? QStringLiteral("htm") : typeWord, QString()});
    m_index.insert(url, row);
    endInsertRows();
}

void HarvestList::setStatus(int row, const QString &status)
{
    if (row < 0 || row >= count())
        return;
    m_rows[row].status = status;
    emit dataChanged(index(row, 2), index(row, 2));
}

QByteArray HarvestList::exportBytes() const
{
    QByteArray out;
    for (const Row &r : m_rows)
        out += ToAnsi(r.title + QStringLiteral("-【") + r.type + QStringLiteral("】") + r.status + QStringLiteral("\r\n"));
    return out;
}

bool HarvestList::writeExport(const QString &path, QString *errorText) const
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(exportBytes()) < 0 || !f.commit()) {
        if (errorText)
            *errorText = f.errorString();
        return false;
    }
    return true;
}

void HarvestList::clear()
{
    beginResetModel();
    m_rows.clear();
    m_index.clear();
    endResetModel();
}

int HarvestList::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : count(); }
int HarvestList::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 3; }

QVariant HarvestList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    const Row &r = m_rows.at(index.row());
    switch (index.column()) {
    case 0: return r.title;
    case 1: return r.type;
    default: return r.status;
    }
}
