#pragma once
#include <QAbstractTableModel>
#include <QHash>
#include <QList>

class HarvestList : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Row { QString url; QString title; QString type; QString status; };
    explicit HarvestList(QObject *parent = nullptr);
    int count() const;
    const Row &at(int row) const;
    bool containsUrl(const QString &url) const;
    void 加入LV1(const QString &title, const QString &url, const QString &typeWord);
    void setStatus(int row, const QString &status);
    QByteArray exportBytes() const;
    bool writeExport(const QString &path, QString *errorText = nullptr) const;
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QList<Row> m_rows;
    QHash<QString, int> m_index;
};
