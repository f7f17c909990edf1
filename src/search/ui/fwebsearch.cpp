#include "search/ui/fwebsearch.h"

#include "app/messages.h"
#include "app/settings.h"
#include "app/ui/foption.h"
#include "app/ui/layout.h"
#include "app/ui/windowhelpers.h"
#include "queue/ui/ffiledownload.h"
#include "queue/ui/fselefilesavepath.h"
#include "search/analysis.h"
#include "search/harvestlist.h"
#include "search/pagingrun.h"
#include "search/ui/browserpane.h"
#include "search/ui/browserview.h"
#include "search/ui/harvestpanel.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QUrl g_homeUrl(QStringLiteral("https://pmc.ncbi.nlm.nih.gov/"));

template <typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

int px(int twips) { return qRound(twips / double(TwipsPerPixel)); }

// Our own site's host names: its pages need no status bar.
const QStringList OwnDomains{QStringLiteral("velmora.org"), QStringLiteral("velmora.net")};

const QString RunningStyleName = QStringLiteral("running");

} // namespace

QUrl fWebSearch::homeUrl() { return g_homeUrl; }
void fWebSearch::setHomeUrl(const QUrl &url) { g_homeUrl = url; }
QString fWebSearch::designedCaption() { return QStringLiteral("NCBI数据检索分析"); }

bool fWebSearch::isOwnSite(const QUrl &url)
{
    const QString text = url.toString();
    for (const QString &domain : OwnDomains)
        if (text.contains(domain, Qt::CaseInsensitive))
            return true;
    return false;
}

fWebSearch::fWebSearch(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fWebSearch"));
    m_browser = new BrowserPane(this);
    buildPanes();
    buildListControls();
    m_paging = new PagingRun(m_browser, &list(), this);
    m_analysis = new Analysis(&list(), this);
    buildMenus();
    bindBrowser();
    bindAnalysis();
    load();
}

fWebSearch::~fWebSearch() = default;

HarvestList &fWebSearch::list() const { return harvestPanel->list(); }
bool fWebSearch::PageLoading() const { return m_paging->pageLoading(); }
bool fWebSearch::StopPaging() const { return m_paging->stopPaging(); }
bool fWebSearch::StopAnalysis() const { return m_analysis->stopAnalysis(); }

void fWebSearch::buildPanes()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    client->installEventFilter(this);

    PicPanWeb = named(new QWidget(client), "PicPanWeb");
    WebBrowser1 = named(new BrowserView(m_browser, PicPanWeb), "WebBrowser1");
    PicPanWeb->installEventFilter(this);

    PicBar = named(new QWidget(client), "PicBar");
    PicBar->setCursor(Qt::SizeVerCursor);
    PicBar->setFixedHeight(px(75));
    PicBar->setAutoFillBackground(true);
    PicBar->installEventFilter(this);

    PicPanList = named(new QWidget(client), "PicPanList");
    PicPanList->installEventFilter(this);

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    StatusPanel1 = named(new QLabel(designedCaption(), StatusBar1), "StatusPanel1");
    StatusPanel2 = named(new QLabel(StatusBar1), "StatusPanel2");
    StatusBar1->addWidget(StatusPanel1);
    StatusBar1->addWidget(StatusPanel2, 1);
    setStatusBar(StatusBar1);

    setMinimumSize(px(MinWidthTwips), (MinHeightTwips + TwipsPerPixel - 1) / TwipsPerPixel);
    resize(1000, 680);
}

void fWebSearch::buildListControls()
{
    m_listControls = new QWidget(PicPanList);
    auto *row = new QHBoxLayout(m_listControls);
    row->setContentsMargins(0, 2, 0, 2);
    Command9 = named(new QPushButton(QStringLiteral("加入本页到列表"), m_listControls), "Command9");
    Command4 = named(new QPushButton(PagingRun::idleCaption(), m_listControls), "Command4");
    Check1 = named(new QCheckBox(QStringLiteral("仅下载PDF文件"), m_listControls), "Check1");
    Check1->setChecked(true);
    Combo1 = named(new QComboBox(m_listControls), "Combo1");
    Check2 = named(new QCheckBox(QStringLiteral("禁止浏览器弹出脚本提示"), m_listControls), "Check2");
    Check2->setChecked(true);
    Command2 = named(new QPushButton(QStringLiteral("分析下载"), m_listControls), "Command2");
    Label3 = named(new QLabel(QStringLiteral("（建议采用下载方式2）"), m_listControls), "Label3");
    row->addWidget(Command9);
    row->addWidget(Command4);
    row->addWidget(Check1);
    row->addWidget(new QLabel(QStringLiteral("限速延时："), m_listControls));
    row->addWidget(Combo1);
    row->addWidget(new QLabel(QStringLiteral("秒"), m_listControls));
    row->addStretch(1);
    row->addWidget(Check2);
    row->addWidget(Command2);
    row->addWidget(Label3);

    harvestPanel = new HarvestPanel(PicPanList);
    ListView1 = harvestPanel->ListView1;
    Label1 = harvestPanel->Label1;
    Command7 = harvestPanel->Command7;
    for (QLabel *label : harvestPanel->findChildren<QLabel *>())
        if (label->text() == QStringLiteral("待下载列表："))
            Label2 = named(label, "Label2");

    // Over the list while an analysis runs, centred in the pane.
    PicPanPrograss = named(new QFrame(PicPanList), "PicPanPrograss");
    PicPanPrograss->setFrameShape(QFrame::Box);
    PicPanPrograss->setAutoFillBackground(true);
    auto *progress = new QHBoxLayout(PicPanPrograss);
    Label11 = named(new QLabel(Analysis::waitingText(), PicPanPrograss), "Label11");
    Label11->setMinimumWidth(Label11->fontMetrics().horizontalAdvance(Analysis::progressText(1000000)) + 8);
    Command5 = named(new QPushButton(QStringLiteral("停止"), PicPanPrograss), "Command5");
    progress->addWidget(Label11, 1);
    progress->addWidget(Command5);
    PicPanPrograss->adjustSize();
    PicPanPrograss->hide();
}

QAction *fWebSearch::addCommand(QMenu *menu, const QString &name, const QString &caption, std::function<void()> fn)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    if (fn)
        connect(action, &QAction::triggered, this, [fn = std::move(fn)] { fn(); });
    return action;
}

void fWebSearch::buildMenus()
{
    auto makeMenu = [this](const char *name, const QString &caption) {
        QMenu *menu = new QMenu(caption, this);
        menu->setObjectName(QString::fromUtf8(name));
        menu->menuAction()->setObjectName(QString::fromUtf8(name));
        menuBar()->addMenu(menu);
        return menu;
    };

    // The analysis commands are reached through Command2 only.
    menu加入 = makeMenu("menu加入", QStringLiteral("分析下载"));
    using Scope = Analysis::Scope;
    addCommand(menu加入, QStringLiteral("menu分析未分析项"), QStringLiteral("分析未分析项"),
               [this] { m_analysis->run(Scope::Unanalysed); });
    addCommand(menu加入, QStringLiteral("menu加入分析失败项"), QStringLiteral("分析失败项"),
               [this] { m_analysis->run(Scope::Failed); });
    addCommand(menu加入, QStringLiteral("menu选中加入"), QStringLiteral("分析选中项"),
               [this] { m_analysis->run(Scope::Selected); });
    addCommand(menu加入, QStringLiteral("menu全部加入"), QStringLiteral("分析全部"),
               [this] { m_analysis->run(Scope::All); });
    menu加入->menuAction()->setVisible(false);

    menu浏览 = makeMenu("menu浏览", QStringLiteral("浏览(&B)"));
    addCommand(menu浏览, QStringLiteral("menu打开NCBI查询首页"), QStringLiteral("打开NCBI查询首页"),
               [this] { 打开NCBI查询首页(); });
    addCommand(menu浏览, QStringLiteral("menu打开指定网址"), QStringLiteral("打开指定网址..."), [this] { 打开指定网址(); });
    menu浏览->addSeparator();
    addCommand(menu浏览, QStringLiteral("menu后退"), QStringLiteral("后退"), [this] { 后退(); });
    addCommand(menu浏览, QStringLiteral("menu前进"), QStringLiteral("前进"), [this] { 前进(); });
    menu浏览->addSeparator();
    addCommand(menu浏览, QStringLiteral("menu关闭本窗口"), QStringLiteral("关闭本窗口"), [this] { close(); });

    menu清除 = harvestPanel->menu清除;
    menuBar()->addMenu(menu清除);

    menu工具 = makeMenu("menu工具", QStringLiteral("工具(&T)"));
    addCommand(menu工具, QStringLiteral("menu设置"), QStringLiteral("设置"), [this] {
        fOption dialog(this);
        dialog.exec();
    });
    addCommand(menu工具, QStringLiteral("menu打开下载窗口"), QStringLiteral("打开下载窗口"), [] {
        fFileDownload *window = fFileDownload::instance(true);
        window->show();
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
    });
    menu工具->addSeparator();
    // The cache viewer has no window yet.
    addCommand(menu工具, QStringLiteral("menu查看IE浏览器缓存"), QStringLiteral("查看IE浏览器缓存"), {});
    addCommand(menu工具, QStringLiteral("menu清空IE浏览器缓存"), QStringLiteral("清空IE浏览器缓存"), {});

    menu帮助 = makeMenu("menu帮助", QStringLiteral("帮助(&H)"));
    addCommand(menu帮助, QStringLiteral("menu关于"), QStringLiteral("关于(&A)"), {});
}

QAction *fWebSearch::menuAction(const QString &objectName) const
{
    for (QMenu *menu : {menu加入, menu浏览, menu清除, menu工具, menu帮助}) {
        if (menu->menuAction()->objectName() == objectName)
            return menu->menuAction();
        for (QAction *action : menu->actions())
            if (action->objectName() == objectName)
                return action;
    }
    return nullptr;
}

void fWebSearch::bindBrowser()
{
    connect(m_browser, &BrowserPane::StatusTextChange, StatusPanel2, &QLabel::setText);
    connect(m_browser, &BrowserPane::BeforeNavigate2, this,
            [this](const QUrl &url) { StatusBar1->setVisible(!isOwnSite(url)); });
    // Check2 follows the tick however it changes (a click, 打开指定网址).
    connect(Check2, &QCheckBox::toggled, this, [this](bool on) { m_browser->setSilent(on); });

    connect(Check1, &QCheckBox::toggled, this, [this](bool on) { m_paging->setPdfOnly(on); });
    connect(Combo1, &QComboBox::currentTextChanged, this,
            [this](const QString &text) { m_paging->setDelaySeconds(text.toInt()); });
    connect(Command9, &QPushButton::clicked, this, [this] {
        const QPointer<fWebSearch> self(this);
        m_paging->导入当且页面([self](int) {
            if (self)
                AutoSizeListColumns(self->ListView1, -2);
        });
    });
    connect(Command4, &QPushButton::clicked, this, [this] {
        if (m_paging->isRunning())
            m_paging->requestStop();
        else
            m_paging->start();
        AutoSizeListColumns(ListView1, -2);
    });
    connect(m_paging, &PagingRun::runningChanged, this, [this](bool running) { showPagingState(running); });
    connect(m_paging, &PagingRun::finished, this, [this] { AutoSizeListColumns(ListView1, -2); });
}

void fWebSearch::showPagingState(bool running)
{
    Command4->setText(running ? PagingRun::runningCaption() : PagingRun::idleCaption());
    if (running) {
        QPalette red = Command4->palette();
        red.setColor(QPalette::Button, QColor(255, 0, 0));
        Command4->setPalette(red);
        Command4->setAutoFillBackground(true);
    } else {
        Command4->setPalette(QPalette()); // the window's colours again
        Command4->setAutoFillBackground(false);
    }
}

void fWebSearch::bindAnalysis()
{
    m_analysis->chooseSaveLocation = [this] { return fSeleFileSavePath::Run(this); };
    m_analysis->isSelected = [this](int row) {
        return ListView1->selectionModel()->isRowSelected(row, QModelIndex());
    };
    m_analysis->handOff = [](const QString &url, const QString &title, const QString &type) {
        return 加入下载列表(url, title, type);
    };
    m_analysis->showDownloads = [] { 显示下载窗口(false); };

    connect(m_analysis, &Analysis::started, this, [this] {
        Command2->setEnabled(false);
        layoutListPane();
        PicPanPrograss->show();
        PicPanPrograss->raise();
    });
    connect(m_analysis, &Analysis::progress, Label11, &QLabel::setText);
    connect(m_analysis, &Analysis::finished, this, [this] {
        PicPanPrograss->hide();
        Command2->setEnabled(true);
    });
    connect(Command5, &QPushButton::clicked, this, [this] { m_analysis->requestStop(); });
    connect(Command2, &QPushButton::clicked, this, [this] { analyseClicked(); });
}

void fWebSearch::analyseClicked()
{
    Command2->setEnabled(false);
    if (list().count() == 0) {
        Msg::info(QStringLiteral("列表没有数据哦！"));
    } else {
        // The list always has a row to start from once it has rows, so the
        // commands are offered whether or not one was clicked first.
        if (!ListView1->currentIndex().isValid())
            ListView1->setCurrentIndex(list().index(0, 0));
        menu加入->exec(QCursor::pos());
    }
    // A command chosen from the pop-up keeps the button off until its run ends.
    Command2->setEnabled(!m_analysis->isRunning());
}

void fWebSearch::load()
{
    setWindowTitle(designedCaption() + QStringLiteral("-") + Msg::AppTitle);
    for (int seconds = 1; seconds <= 120; ++seconds)
        Combo1->addItem(QString::number(seconds));
    Combo1->setCurrentIndex(SettingDefaults::WebSearchDelay);
    int stored = SettingDefaults::WebSearchDelay;
    if (ReadSettingInt(SettingKeys::WebSearch, SettingKeys::WebSearchDelay, SettingDefaults::WebSearchDelay, stored)
        && stored >= 0 && stored < Combo1->count())
        Combo1->setCurrentIndex(stored);
    m_paging->setDelaySeconds(Combo1->currentText().toInt());
    m_paging->setPdfOnly(Check1->isChecked());
    m_browser->setSilent(Check2->isChecked());
    打开NCBI查询首页();
}

void fWebSearch::打开NCBI查询首页()
{
    Check2->setChecked(true);
    const QUrl home = homeUrl();
    if (!home.isEmpty())
        m_browser->Navigate(home);
}

void fWebSearch::打开指定网址()
{
    const QString answer =
        Msg::inputTitled(QStringLiteral("请输入..."), QStringLiteral("请输入需要打开的网址：")).trimmed();
    // Secure pages are shown with their prompts: some ask before a download.
    Check2->setChecked(answer.left(8).toLower() != QLatin1String("https://"));
    if (!answer.isEmpty())
        m_browser->Navigate(answer);
}

void fWebSearch::后退() { m_browser->GoBack(); }
void fWebSearch::前进() { m_browser->GoForward(); }

int fWebSearch::splitterTop() const { return PicBar->y(); }

void fWebSearch::layoutWindow()
{
    if (isMinimized())
        return;
    QWidget *client = centralWidget();
    const int width = client->width();
    const int height = client->height();
    const int webTop = px(30);
    if (!m_barPlaced) {
        m_barPlaced = true;
        m_barTop = height * 3 / 5;
    }
    // A bar dragged into the bottom strip, or above the web pane, goes back
    // to four fifths of the height.
    if (m_barTop > height - px(1200))
        m_barTop = height * 4 / 5;
    if (m_barTop < webTop)
        m_barTop = height * 4 / 5;
    const int left = px(20);
    const int paneWidth = qMax(0, width - px(300));
    PicBar->setGeometry(left, m_barTop, paneWidth, PicBar->height());
    PicPanWeb->setGeometry(left, webTop, paneWidth, qMax(0, m_barTop - webTop));
    const int listTop = m_barTop + PicBar->height();
    PicPanList->setGeometry(left, listTop, paneWidth, qMax(0, height - listTop - px(30)));
    SetListStripes(ListView1, false, HarvestPanel::RowHeight);
}

void fWebSearch::layoutWebPane()
{
    WebBrowser1->setGeometry(0, 0, qMax(0, PicPanWeb->width() - px(20)), qMax(0, PicPanWeb->height() - px(20)));
}

void fWebSearch::layoutListPane()
{
    const int controlsHeight = m_listControls->sizeHint().height();
    m_listControls->setGeometry(0, 0, PicPanList->width(), controlsHeight);
    const QPoint at(0, controlsHeight);
    harvestPanel->setGeometry(at.x(), at.y(), qMax(0, PicPanList->width() - at.x() - px(50)),
                              qMax(0, PicPanList->height() - at.y() - px(50)));
    PicPanPrograss->adjustSize();
    PicPanPrograss->move((PicPanList->width() - PicPanPrograss->width()) / 2,
                         (PicPanList->height() - PicPanPrograss->height()) / 2);
}

bool fWebSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        layoutWindow();
    } else if (watched == PicPanWeb && event->type() == QEvent::Resize) {
        layoutWebPane();
    } else if (watched == PicPanList && event->type() == QEvent::Resize) {
        layoutListPane();
    } else if (watched == PicBar) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            PicBar->raise();
            m_dragging = mouse->button() == Qt::LeftButton;
            return true;
        case QEvent::MouseMove:
            if (m_dragging && (mouse->buttons() & Qt::LeftButton)) {
                // The pointer's offset within the bar moves the bar.
                m_barTop += qRound(mouse->position().y());
                PicBar->move(PicBar->x(), m_barTop);
            }
            return true;
        case QEvent::MouseButtonRelease:
            if (m_dragging) {
                m_dragging = false;
                layoutWindow();
                layoutWebPane();
                layoutListPane();
            }
            return true;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void fWebSearch::closeEvent(QCloseEvent *event)
{
    // A paging run or an analysis still going ends at its next check.
    m_paging->requestStop();
    const bool analysing = m_analysis->isRunning();
    m_analysis->requestStop();
    SaveSetting(SettingKeys::WebSearch, SettingKeys::WebSearchDelay, QString::number(Combo1->currentIndex()));
    // The run goes with the window: the rows it handed over are in the
    // download window, loaded hidden until now, which must not stay out of
    // sight with the last visible window gone.
    if (analysing)
        显示下载窗口(false);
    event->accept();
    emit closed();
}
