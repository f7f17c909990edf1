#pragma once
// The download window: the download list, the scheduler's option panel, the
// same-name options, the status bar and the menus "列表操作(&D)" and
// "工具(&T)". It owns the session, the scheduler, both transfer modes and
// the list commands, and only binds its controls to them; the logic itself
// lives in those classes (they run without this window in `velmora get`).
// Its owner makes it with WA_DeleteOnClose: closing it unloads it, and the
// next one starts with an empty list.
#include "queue/downloadsession.h"
#include "queue/notices.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class ListCommands;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTreeView;
class Scheduler;
class SchedulerTransfers;
class InetTransfer;
class MultiThreadDownload;

class fFileDownload : public QMainWindow {
    Q_OBJECT
public:
    explicit fFileDownload(QWidget *parent = nullptr);
    ~fFileDownload() override;

    // The program's download window, or null when none is loaded. A window
    // registers itself when made, unless another one is loaded already, and
    // leaves when it is deleted or closes for good. With create, a missing
    // one is made and loaded without being shown (the hand-off's first row
    // does this); it deletes itself when closed, and whoever ends the
    // program deletes one that is still loaded.
    static fFileDownload *instance(bool create = false);

    DownloadSession &session() { return m_session; }
    DownloadList &list() { return m_session.list(); }
    Scheduler &scheduler() { return *m_scheduler; }
    ListCommands &commands() { return *m_commands; }
    InetTransfer &inet();
    MultiThreadDownload &multi();

    // The selected rows as 0-based positions, in list order.
    QList<int> selectedRows() const;
    // Prepares the enabled states of "列表操作(&D)" as a right press in the
    // list does, without showing the menu.
    void preparePopupMenu();
    QAction *menuAction(const QString &objectName) const;

    // Controls, under the names the rest of the program and the tests use.
    QTreeView *ListView3 = nullptr;
    QLabel *Label1 = nullptr; // "N条"
    QWidget *Picture3 = nullptr; // option panel
    QPushButton *Command4 = nullptr;  // "开始下载"
    QPushButton *Command31 = nullptr; // "停止下载"
    QPushButton *Command26 = nullptr; // "切换"
    QPushButton *Command1 = nullptr;  // "网页登录"
    QLabel *Label7 = nullptr;  // "下载方式：N"
    QComboBox *Combo1 = nullptr; // threads "1".."6"
    QComboBox *Combo2 = nullptr; // interval "0".."600"
    QCheckBox *Check3 = nullptr; // "自动重新下载："
    QComboBox *Combo4 = nullptr; // its three choices
    QCheckBox *Check4 = nullptr; // automatic start
    QCheckBox *Check5 = nullptr; // error stop
    QCheckBox *Check6 = nullptr; // "声音提示"
    QLabel *Shape1 = nullptr;    // indicator while the scheduler runs
    QRadioButton *Option1 = nullptr; // "跳过"
    QRadioButton *Option2 = nullptr; // "覆盖"
    QRadioButton *Option3 = nullptr; // "重命名"
    QStatusBar *StatusBar1 = nullptr;
    std::array<QLabel *, 5> Panel{}; // panels 1..4 (0 unused)
    QMenu *menuList = nullptr;  // "列表操作(&D)", menu bar and pop-up
    QMenu *menuTools = nullptr; // "工具(&T)"

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void bindScheduler();
    void load();
    void placeControls();
    void updateCountLabel();
    void showMode(int mode);
    void selectAll(bool on);
    void fitColumnWidths();
    QAction *addCommand(QMenu *menu, const QString &name, const QString &caption, std::function<void()> fn);
    QMenu *addSubmenu(QMenu *menu, const QString &name, const QString &caption);

    DownloadSession m_session;
    NoticeHooks m_noticeHooks;
    Scheduler *m_scheduler = nullptr;
    SchedulerTransfers *m_transfers = nullptr;
    std::unique_ptr<ListCommands> m_commands;
};
