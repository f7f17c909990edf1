#pragma once
// The harvest list's widgets, which the search window embeds: the list
// ListView1 over a HarvestList, the count label beside "待下载列表：", the
// menu "清除(&C)" (also the list's pop-up) and the export button Command7.
// The hand-off into the download window (加入下载列表, 显示下载窗口) sits
// beside it for the analysis commands.
#include "search/harvestlist.h"

#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTreeView;

class HarvestPanel : public QWidget {
    Q_OBJECT
public:
    explicit HarvestPanel(QWidget *parent = nullptr);
    ~HarvestPanel() override;

    HarvestList &list() { return m_list; }

    // The selected rows as 0-based positions, in list order.
    QList<int> selectedRows() const;
    QAction *menuAction(const QString &objectName) const;

    // The export command: asks for the file (none for an empty list),
    // writes it and shows the size message.
    void exportList();

    // Asks for the export file; an empty answer cancels. A save-file dialog
    // for "*.txt" by default; tests put a script in its place.
    std::function<QString()> chooseExportFile;

    QTreeView *ListView1 = nullptr;
    QLabel *Label1 = nullptr; // the number of rows, beside "待下载列表："
    QPushButton *Command7 = nullptr; // "导出数据..."
    // "清除(&C)": for the search window's menu bar as well.
    QMenu *menu清除 = nullptr;

    // The harvest rows' row height, which the stripes follow.
    static constexpr int RowHeight = 13;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildControls();
    void buildMenu();
    void runRemoval(const std::function<int()> &command);
    void updateCountLabel();
    QString askExportFile();

    HarvestList m_list;
};

// Hands one harvest row to the program's download window as a waiting
// download in the chosen save folder, loading that window hidden when it is
// not loaded yet. A URL already in the download list adds nothing. True
// when a row was added.
bool 加入下载列表(const QString &url, const QString &title, const QString &type);

// Brings the download window into view if it is loaded: redraws its list,
// shows it when hidden and, with restore, brings it back from minimised.
void 显示下载窗口(bool restore);
