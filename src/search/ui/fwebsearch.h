#pragma once
// The search window: the embedded browser above, the harvest list with the
// import, paging and analysis controls below, a splitter bar between them.
// The window binds its controls to the engine's PagingRun (the import and
// "add all" run) and Analysis (the analyse-and-download commands); the
// harvest list's own widgets come from HarvestPanel.
#include <QMainWindow>
#include <QUrl>

#include <functional>

class Analysis;
class BrowserPane;
class BrowserView;
class HarvestList;
class HarvestPanel;
class PagingRun;
class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QTreeView;

class fWebSearch : public QMainWindow {
    Q_OBJECT
public:
    explicit fWebSearch(QWidget *parent = nullptr);
    ~fWebSearch() override;

    // The page "打开NCBI查询首页" opens, and with it the window when it
    // loads: PMC's home page. Tests point it at a local page; an empty URL
    // opens nothing.
    static QUrl homeUrl();
    static void setHomeUrl(const QUrl &url);
    static QString designedCaption(); // "NCBI数据检索分析"
    // Addresses of our own site, shown without the status bar.
    static bool isOwnSite(const QUrl &url);

    BrowserPane &browser() const { return *m_browser; }
    HarvestList &list() const;
    PagingRun &paging() const { return *m_paging; }
    Analysis &analysis() const { return *m_analysis; }

    bool PageLoading() const;
    bool StopPaging() const;
    bool StopAnalysis() const;

    // The browse menu's commands.
    void 打开NCBI查询首页();
    void 打开指定网址();
    void 后退();
    void 前进();
    // Command2 "分析下载": the pop-up of the four analysis commands.
    void analyseClicked();
    QAction *menuAction(const QString &objectName) const;

    // The splitter bar's top in the window's client area, in pixels, and the
    // three layout steps that follow a resize or a drag of the bar.
    int splitterTop() const;
    void layoutWindow();
    void layoutWebPane();
    void layoutListPane();

    // Minimum size, 9000 x 5000 twips.
    static constexpr int MinWidthTwips = 9000;
    static constexpr int MinHeightTwips = 5000;

    QWidget *PicPanWeb = nullptr;
    BrowserView *WebBrowser1 = nullptr;
    QWidget *PicBar = nullptr;
    QWidget *PicPanList = nullptr;
    HarvestPanel *harvestPanel = nullptr;
    QTreeView *ListView1 = nullptr; // the harvest panel's list
    QLabel *Label1 = nullptr;       // its count
    QLabel *Label2 = nullptr;       // "待下载列表："
    QLabel *Label3 = nullptr;       // "（建议采用下载方式2）"
    QPushButton *Command2 = nullptr; // "分析下载"
    QPushButton *Command4 = nullptr; // "加入全部到列表" / "停止加入全部"
    QPushButton *Command7 = nullptr; // "导出数据..."
    QPushButton *Command9 = nullptr; // "加入本页到列表"
    QCheckBox *Check1 = nullptr;     // "仅下载PDF文件"
    QCheckBox *Check2 = nullptr;     // "禁止浏览器弹出脚本提示"
    QComboBox *Combo1 = nullptr;     // seconds between pages, "1".."120"
    QFrame *PicPanPrograss = nullptr;
    QLabel *Label11 = nullptr;
    QPushButton *Command5 = nullptr; // "停止"
    QStatusBar *StatusBar1 = nullptr;
    QLabel *StatusPanel1 = nullptr; // fixed caption
    QLabel *StatusPanel2 = nullptr; // the browser's status text

    QMenu *menu加入 = nullptr; // "分析下载", hidden from the menu bar
    QMenu *menu浏览 = nullptr;
    QMenu *menu清除 = nullptr;
    QMenu *menu工具 = nullptr;
    QMenu *menu帮助 = nullptr;

signals:
    // The window has closed; it is unloaded (deleted) right after.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPanes();
    void buildListControls();
    void buildMenus();
    void bindBrowser();
    void bindAnalysis();
    void load();
    QAction *addCommand(QMenu *menu, const QString &name, const QString &caption, std::function<void()> fn);
    void showPagingState(bool running);

    BrowserPane *m_browser = nullptr;
    PagingRun *m_paging = nullptr;
    Analysis *m_analysis = nullptr;
    QWidget *m_listControls = nullptr;
    int m_barTop = 0;
    bool m_barPlaced = false; // the first layout puts the bar at three fifths
    bool m_dragging = false;
};
