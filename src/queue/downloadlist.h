#pragma once
// The download list: one row per file to fetch, and the whole state of that
// download. The scheduler picks rows, the transfers write progress and outcome
// into them, the list commands filter, reset and remove them.
//
// Rows are addressed by position (0-based here; the windows and mode 2 speak of
// 1-based positions) and by key. A transfer keeps an ItemRef to its own row for
// the whole transfer; when the row is removed meanwhile the reference stays
// valid but is no longer alive(), and every write through the list is skipped.
//
// Counts per state, the not-yet-started count and the errors-and-pages count
// are kept up to date on every change, so the once-a-second queries do not
// walk the list. Key lookups go through a hash.
#include <QAbstractTableModel>
#include <QHash>
#include <QVariant>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

enum ItemState { Waiting = 1, Downloading = 2, Finished = 3, Failed = 4 };

struct DownloadItem {
    QString key;      // URL, or up to three alternatives joined by "|"
    QString name;     // file name without extension
    QString type;     // extension without the dot, or empty
    QString size;     // bytes as text, a status word, or empty
    QString received; // bytes as text, or empty
    QString percent;  // "N%", a status word, or empty
    QString folder;   // save folder
    QString referer;  // page for the Referer header, or empty
    ItemState state = Waiting;
    // A transfer of this list put the file at the row's path (its
    // reservation, its body or the renamed result). Only such a file is
    // deleted when the row is reset or its files are deleted: a file that
    // was there before (the user's own, one skipped as existing, one under
    // the name a failed transfer never got to change) is never touched.
    bool fileWritten = false;

    bool alive() const { return m_row >= 0; }
    int row() const { return m_row; } // 0-based position, -1 once removed

private:
    friend class DownloadList;
    int m_row = -1;
};

using ItemRef = std::shared_ptr<DownloadItem>;

// Status words a row can show besides numbers and "N%".
namespace StatusWord {
inline const QString Unknown = QStringLiteral("未知");
inline const QString DownloadFailed = QStringLiteral("下载失败");
inline const QString DownloadCancelled = QStringLiteral("下载取消");
inline const QString WaitingAgain = QStringLiteral("等待重新下载");
inline const QString Complete = QStringLiteral("100%");
inline const QString LargeFileSkipped = QStringLiteral("大文件，跳过");
inline const QString ExistsSkipped = QStringLiteral("已存在，跳过");
inline const QString CannotReplace = QStringLiteral("无法替换");
inline const QString Missing = QStringLiteral("不存在");
} // namespace StatusWord

class DownloadList : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColName, ColType, ColSize, ColReceived, ColPercent, ColFolder, ColumnCount };
    enum Field { Key, Name, Type, Size, Received, Percent, Folder, Referer };
    // What the name column shows beside a row for its state (the windows
    // install the state icons; without them the engine shows none).
    using StateDecoration = std::function<QVariant(ItemState)>;
    static void setStateDecoration(StateDecoration decoration);

    static constexpr int StateRole = Qt::UserRole + 1;
    static constexpr int KeyRole = Qt::UserRole + 2;

    explicit DownloadList(QObject *parent = nullptr);
    ~DownloadList() override;

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    int count() const { return int(m_items.size()); }
    ItemRef at(int row) const; // null when out of range
    ItemRef find(const QString &key) const;
    int indexOfKey(const QString &key) const { auto it = m_byKey.constFind(key); return it == m_byKey.constEnd() ? -1 : it.value()->m_row; }

    // Adds a Waiting row; refused (false, nothing changes) when the key is
    // already in the list or empty.
    bool add(const QString &key, const QString &name, const QString &type, const QString &folder);

    // Writes to a row that was removed meanwhile are skipped (false).
    bool set(const ItemRef &item, Field field, const QString &value);
    bool setState(const ItemRef &item, ItemState state);
    // size, received and percent in one change.
    bool setProgress(const ItemRef &item, const QString &size, const QString &received, const QString &percent);
    QString field(const ItemRef &item, Field field) const;

    // Removes the rows for which pred is true, keeping the order of the others.
    // Returns the number removed.
    int removeIf(const std::function<bool(const DownloadItem &)> &pred);
    void clear();
    // Puts the rows in the order given: order[i] is the old position of the row
    // that ends at position i (a permutation of 0..count-1).
    bool reorder(const std::vector<int> &order);

    // While a batch is open, row changes are collected and announced at its
    // end, once for each run of adjacent changed rows, so that commands
    // touching many rows do not redraw row by row.
    void beginBatch();
    void endBatch();

    // Counts kept current on every change.
    int stateCount(ItemState s) const { return m_stateCount[s]; }
    int untouchedCount() const { return m_untouched; }        // size, received, percent all empty
    int errorsAndPagesCount() const { return m_errorsPages; } // htm/html rows plus failed rows of other types

    // Applies fn to every row in order (read-only).
    void forEach(const std::function<void(const ItemRef &)> &fn) const;

signals:
    void countChanged(int count);

private:
    struct Contribution {
        bool untouched;
        bool errorOrPage;
    };
    static Contribution contributionOf(const DownloadItem &item);
    void account(const DownloadItem &item, int sign);
    void renumberFrom(int row);
    void rowChanged(int row, int firstColumn, int lastColumn);
    bool owns(const ItemRef &item) const;

    std::vector<ItemRef> m_items;
    QHash<QString, DownloadItem *> m_byKey;
    std::array<int, 5> m_stateCount{};
    int m_untouched = 0;
    int m_errorsPages = 0;
    int m_batchDepth = 0;
    std::vector<int> m_batchRows; // rows changed while the batch is open
};

// The part of a key before the first "|" (the whole key when it has none).
QString 选择url(const QString &key);
// Rotates the alternatives of a key: a|b -> b|a, a|b|c -> c|a|b; else unchanged.
QString 对调url(const QString &key);

// The row's file: folder + name + "." + type in lower case, or folder + name
// when type is empty. A "/" is put between folder and name when the folder lacks one.
QString ItemFilePath(const DownloadItem &item);

// Decides whether a candidate row is to be fetched. With skipExisting (the
// same-name option "跳过") and the row's file on disk, the row ends Finished
// with "已存在，跳过" and the file's length, and the answer is false.
bool 确定是需要下载(DownloadList &list, const ItemRef &item, bool skipExisting);

int 统计未下载项数目(const DownloadList &list);
bool 检测是否下载列表完毕(const DownloadList &list);
int CountErrorsAndPages(const DownloadList &list);
// The status-bar count text, e.g. "总数:10 正在下载:1 等待:5 已完成:3 失败:1".
QString StatusCountsText(const DownloadList &list);
// Empties the list (the window calls it when it loads).
void ResetDownloadList(DownloadList &list);
// The count label: the number of rows followed by "条".
QString CountLabelText(const DownloadList &list);
