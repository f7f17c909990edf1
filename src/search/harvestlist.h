#pragma once
// The harvest list: the candidate files collected from result pages, one row
// per URL with the article title, the file type and the analysis status. The
// search window shows it (ListView1) and runs its commands; everything that
// needs no window is here.
#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

namespace HarvestText {
inline const QString Succeeded = QStringLiteral("成功");
inline const QString AnalysisFailed = QStringLiteral("分析失败");
inline const QString FilterPrompt = QStringLiteral("请指定字符：");
inline const QString ClearAllQuestion = QStringLiteral("您确定要清空辛辛苦苦搜索的列表数据吗？");
inline const QString Saved = QStringLiteral("保存文件完毕：");
} // namespace HarvestText

class HarvestList : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Row {
        QString url;    // the key
        QString title;  // as read; may hold line breaks
        QString type;   // "htm" or "PDF"
        QString status; // "", "成功" or "分析失败"
    };
    enum Column { ColTitle, ColType, ColStatus, ColumnCount };
    static constexpr int UrlRole = Qt::UserRole + 1;

    explicit HarvestList(QObject *parent = nullptr);

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    int count() const { return int(m_rows.size()); }
    const Row &at(int row) const { return m_rows.at(size_t(row)); } // 0-based
    bool containsUrl(const QString &url) const { return m_byUrl.contains(url); }
    int indexOfUrl(const QString &url) const { return m_byUrl.value(url, -1); }

    // Adds a row unless its URL is listed already (then nothing changes, not
    // even the title or the type) or empty. The type word "article" becomes
    // "htm"; any other word is kept. True when a row was added.
    bool 加入LV1(const QString &title, const QString &url, const QString &typeWord);
    void setStatus(int row, const QString &status);

    // Removes the rows for which pred is true in one change, keeping the
    // order of the others. Returns the number removed.
    int removeIf(const std::function<bool(const Row &)> &pred);
    void clear();

    // The commands of the menu "清除(&C)". Each returns the number of rows
    // removed; an empty list is left alone without asking anything.
    int 清除选中项(const QList<int> &selectedRows);
    // Ask for a text ("请指定字符："); an empty or cancelled answer removes
    // nothing. Titles are compared without regard to letter case.
    int 清除标题含指定字符项();
    int 清除标题不含指定字符项();
    int 清除分析成功项();
    // Asks first; removes everything on Yes.
    int 清空全部();

    // The count label: the number of rows.
    QString countLabelText() const { return QString::number(count()); }

    // The text export, GBK: per row the title, "-【", the type, "】", the
    // status and CR LF. A line break inside a title would split its row over
    // two lines, so titles are written without them.
    QByteArray exportBytes() const;
    // Writes exportBytes() to path, replacing the file only once the new one
    // is complete. False with a reason on failure.
    bool writeExport(const QString &path, QString *errorText = nullptr) const;
    // The export command after the file was chosen: writes, then shows the
    // size message. Failures end the command without a message (false).
    bool exportTo(const QString &path) const;

signals:
    void countChanged(int count);

private:
    void reindex();

    std::vector<Row> m_rows;
    QHash<QString, int> m_byUrl;
};

// Removes every CR LF pair, then every CR, LF and NUL.
QString StripLineBreaks(const QString &text);
// Size in kilobytes with the pattern "#,##0.0": 1536 bytes give "1.5".
QString KilobytesText(qint64 bytes);
// "保存文件完毕：" + KilobytesText(bytes) + "KB".
QString ExportSizeMessage(qint64 bytes);
