#include "queue/ui/ffiledownload.h"

#include "app/clock.h"
#include "app/ui/foption.h"
#include "app/ui/layout.h"
#include "app/messages.h"
#include "app/settings.h"
#include "app/utilities.h"
#include "app/ui/windowhelpers.h"
#include "queue/ui/folderhistory.h"
#include "queue/ui/noticeplayer.h"
#include "queue/ui/stateicons.h"
#include "queue/listcommands.h"
#include "queue/scheduler.h"
#include "transfer/transferadapters.h"
#include "transfer/ui/browserfetch.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

template <typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

// Twips of the window's layout rules, in pixels.
constexpr int px(int twips) { return twips / TwipsPerPixel; }

// The download list's row height in pixels, which its stripes follow.
constexpr int ListRowHeight = 17;

// The registered download window (see instance()).
QPointer<fFileDownload> g_instance;

const QStringList RedownloadChoices = {
    QStringLiteral("出错项"),
    QStringLiteral("文件类型为HTM和HTML项"),
    QStringLiteral("出错项和文件类型为HTM和HTML项"),
};

} // namespace

fFileDownload::fFileDownload(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("fFileDownload"));
    InstallStateIcons();
    InstallNoticePlayer();
    // Rows behind a browser check are fetched again through the engine.
    UseBrowserEngineForChecks();
    m_session.setHooks(&m_noticeHooks);
    m_scheduler = new Scheduler(m_session, this);
    m_transfers = new SchedulerTransfers(*m_scheduler, this);
    m_commands = std::make_unique<ListCommands>(m_session, *m_scheduler);

    buildControls();
    buildMenus();
    bindScheduler();
    load();
    if (!g_instance)
        g_instance = this;
}

fFileDownload *fFileDownload::instance(bool create)
{
    if (!g_instance && create) {
        auto *window = new fFileDownload;
        window->setAttribute(Qt::WA_DeleteOnClose);
        g_instance = window;
    }
    return g_instance.data();
}

fFileDownload::~fFileDownload()
{
    if (g_instance == this)
        g_instance = nullptr;
    // The transfers go before the list they write into; none of them raises
    // an event on the way out.
    m_scheduler->stopSupervisor();
    m_scheduler->timerDown().stop();
    delete m_transfers;
    m_transfers = nullptr;
    m_commands.reset();
    delete m_scheduler;
    m_scheduler = nullptr;
    ListView3->setModel(nullptr);
}

InetTransfer &fFileDownload::inet() { return m_transfers->inet; }
MultiThreadDownload &fFileDownload::multi() { return m_transfers->transferSlots; }

void fFileDownload::buildControls()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);

    Picture3 = named(new QWidget(central), "Picture3");
    auto *panel = new QVBoxLayout(Picture3);
    panel->setContentsMargins(4, 4, 4, 4);

    auto *row1 = new QHBoxLayout;
    Command4 = named(new QPushButton(QStringLiteral("开始下载"), Picture3), "Command4");
    Command31 = named(new QPushButton(QStringLiteral("停止下载"), Picture3), "Command31");
    Label7 = named(new QLabel(QStringLiteral("下载方式：2"), Picture3), "Label7");
    Command26 = named(new QPushButton(QStringLiteral("切换"), Picture3), "Command26");
    Command26->setToolTip(QStringLiteral("更改下载方式"));
    Combo1 = named(new QComboBox(Picture3), "Combo1");
    for (int i = 1; i <= 6; ++i)
        Combo1->addItem(QString::number(i));
    Combo2 = named(new QComboBox(Picture3), "Combo2");
    Shape1 = named(new QLabel(Picture3), "Shape1");
    Shape1->setFixedSize(14, 14);
    Shape1->setStyleSheet(QStringLiteral("background-color: #2bb24c; border-radius: 7px;"));
    Shape1->setVisible(false);
    // Its login pane arrives with the web login; until then the button does nothing.
    Command1 = named(new QPushButton(QStringLiteral("网页登录"), Picture3), "Command1");

    row1->addWidget(Command4);
    row1->addWidget(Command31);
    row1->addWidget(Shape1);
    row1->addSpacing(8);
    row1->addWidget(Label7);
    row1->addWidget(Command26);
    row1->addSpacing(8);
    row1->addWidget(new QLabel(QStringLiteral("线程数："), Picture3));
    row1->addWidget(Combo1);
    row1->addSpacing(8);
    row1->addWidget(new QLabel(QStringLiteral("两个文件下载间隔："), Picture3));
    row1->addWidget(Combo2);
    row1->addWidget(new QLabel(QStringLiteral("秒"), Picture3));
    row1->addStretch(1);
    row1->addWidget(Command1);

    auto *row2 = new QHBoxLayout;
    Check4 = named(new QCheckBox(QStringLiteral("当有待下载项时，自动启动下载"), Picture3), "Check4");
    Check3 = named(new QCheckBox(QStringLiteral("自动重新下载："), Picture3), "Check3");
    Combo4 = named(new QComboBox(Picture3), "Combo4");
    Combo4->addItems(RedownloadChoices);
    Check5 = named(new QCheckBox(QStringLiteral("有5个以上下载出错或者网页文件，就停止下载"), Picture3), "Check5");
    Check6 = named(new QCheckBox(QStringLiteral("声音提示"), Picture3), "Check6");
    row2->addWidget(Check4);
    row2->addWidget(Check3);
    row2->addWidget(Combo4);
    row2->addWidget(Check5);
    row2->addWidget(Check6);
    row2->addStretch(1);

    auto *row3 = new QHBoxLayout;
    Option1 = named(new QRadioButton(DuplicateNamePolicyCaption(DuplicateNamePolicy::Skip), Picture3), "Option1");
    Option2 = named(new QRadioButton(DuplicateNamePolicyCaption(DuplicateNamePolicy::Overwrite), Picture3), "Option2");
    Option3 = named(new QRadioButton(DuplicateNamePolicyCaption(DuplicateNamePolicy::Rename), Picture3), "Option3");
    auto *sameName = new QButtonGroup(Picture3);
    sameName->addButton(Option1);
    sameName->addButton(Option2);
    sameName->addButton(Option3);
    row3->addWidget(new QLabel(QStringLiteral("下载列表："), Picture3));
    Label1 = named(new QLabel(QStringLiteral("0条"), Picture3), "Label1");
    row3->addWidget(Label1);
    row3->addStretch(1);
    row3->addWidget(new QLabel(QStringLiteral("同名文件："), Picture3));
    row3->addWidget(Option1);
    row3->addWidget(Option2);
    row3->addWidget(Option3);

    panel->addLayout(row1);
    panel->addLayout(row2);
    panel->addLayout(row3);

    ListView3 = named(new QTreeView(central), "ListView3");
    ListView3->setModel(&m_session.list());
    ListView3->setRootIsDecorated(false);
    ListView3->setUniformRowHeights(true); // keeps 100,000 rows cheap to lay out
    ListView3->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView3->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView3->setEditTriggers(QAbstractItemView::NoEditTriggers); // names are never edited in place
    ListView3->setAllColumnsShowFocus(true);
    ListView3->setToolTip(QStringLiteral("双击鼠标：下载当前项或者打开文件"));
    ListView3->header()->setStretchLastSection(true);
    // Titles are long: give the name most of the room to start with.
    const int widths[] = {320, 50, 90, 90, 70};
    for (int column = 0; column < 5; ++column)
        ListView3->header()->resizeSection(column, widths[column]);
    ListView3->viewport()->installEventFilter(this);

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    setStatusBar(StatusBar1);
    StatusBar1->setSizeGripEnabled(false);
    const int stretch[5] = {0, 1, 3, 2, 3};
    for (int i = 1; i <= 4; ++i) {
        Panel[i] = new QLabel(StatusBar1);
        Panel[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        StatusBar1->addWidget(Panel[i], stretch[i]);
    }

    connect(ListView3, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { m_commands->OpenOrRequeue(index.isValid() ? index.row() : -1); });
    connect(&m_session, &DownloadSession::statusTextChanged, this, [this](int panel, const QString &text) {
        if (panel >= 1 && panel <= 4)
            Panel[panel]->setText(text);
    });
    connect(&m_session, &DownloadSession::locateRequested, this, [this](int row) {
        ListView3->scrollTo(m_session.list().index(row, 0));
    });
    connect(&m_session.list(), &DownloadList::countChanged, this, &fFileDownload::updateCountLabel);

    // The same-name choice is read at the moment of each decision.
    auto policyFrom = [this](QRadioButton *button, DuplicateNamePolicy policy) {
        connect(button, &QRadioButton::toggled, this, [this, policy](bool on) {
            if (on)
                m_session.sameName = policy;
        });
    };
    policyFrom(Option1, DuplicateNamePolicy::Skip);
    policyFrom(Option2, DuplicateNamePolicy::Overwrite);
    policyFrom(Option3, DuplicateNamePolicy::Rename);
}

QAction *fFileDownload::addCommand(QMenu *menu, const QString &name, const QString &caption, std::function<void()> fn)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    if (fn)
        connect(action, &QAction::triggered, this, [fn = std::move(fn)] { fn(); });
    return action;
}

QMenu *fFileDownload::addSubmenu(QMenu *menu, const QString &name, const QString &caption)
{
    QMenu *sub = menu->addMenu(caption);
    sub->setObjectName(name);
    sub->menuAction()->setObjectName(name);
    return sub;
}

void fFileDownload::buildMenus()
{
    ListCommands &c = *m_commands;
    menuList = new QMenu(QStringLiteral("列表操作(&D)"), this);
    menuList->setObjectName(QStringLiteral("menu列表操作"));
    QMenu *m = menuList;

    addCommand(m, QStringLiteral("menu全选专利列表"), QStringLiteral("全选"), [this] { selectAll(true); });
    addCommand(m, QStringLiteral("menu全不选"), QStringLiteral("全不选"), [this] { selectAll(false); });
    addCommand(m, QStringLiteral("menu随机排序列表"), QStringLiteral("随机排序列表(打乱)"), [&c] { c.ShuffleList(); });
    addCommand(m, QStringLiteral("menu自动列宽"), QStringLiteral("自动调整列宽"), [this] { fitColumnWidths(); });
    m->addSeparator();

    QMenu *again = addSubmenu(m, QStringLiteral("menu重新下载"), QStringLiteral("重新下载"));
    addCommand(again, QStringLiteral("menu重新下载选中项"), QStringLiteral("选中项"),
               [this, &c] { c.RedownloadSelected(selectedRows()); });
    addCommand(again, QStringLiteral("menu重新下载出错项"), QStringLiteral("出错项"), [&c] { c.RedownloadFailed(); });
    addCommand(again, QStringLiteral("menu重新下载文件类型为HTM和HTML项"), QStringLiteral("网页类型文件(HTM/HTML/xml)项"),
               [&c] { c.RedownloadWebPages(); });
    addCommand(again, QStringLiteral("menu重新下载出错项和网页项"), QStringLiteral("重新下载出错项和网页类型文件项"),
               [&c] { c.RedownloadFailedAndWebPages(); });
    addCommand(again, QStringLiteral("menu重新下载文件大小小于指定数字的项"), QStringLiteral("文件大小小于指定数字的项"),
               [&c] { c.RedownloadSmallerThan(); });
    m->addSeparator();

    QMenu *clear = addSubmenu(m, QStringLiteral("menu清除"), QStringLiteral("清除"));
    addCommand(clear, QStringLiteral("menu清除选中项"), QStringLiteral("选中项"), [this, &c] { c.ClearSelected(selectedRows()); });
    addCommand(clear, QStringLiteral("menu清除全部出错项"), QStringLiteral("全部出错项"), [&c] { c.ClearFailed(); });
    addCommand(clear, QStringLiteral("menu清除完成项"), QStringLiteral("完成项"), [&c] { c.ClearFinished(); });
    addCommand(m, QStringLiteral("menu清空"), QStringLiteral("清空"), [&c] { c.EmptyList(); });
    QMenu *del = addSubmenu(m, QStringLiteral("menu删除"), QStringLiteral("删除文件"));
    addCommand(del, QStringLiteral("menu删除网页类型文件项"), QStringLiteral("网页类型文件(HTM/HTML/xml)项"),
               [&c] { c.DeleteWebPageFiles(); });
    addCommand(del, QStringLiteral("menu删除出错项"), QStringLiteral("出错项"), [&c] { c.DeleteFailedFiles(); });
    m->addSeparator();

    addCommand(m, QStringLiteral("menu下载全部"), QStringLiteral("开始下载"), [this] { m_scheduler->start(); });
    addCommand(m, QStringLiteral("menu停止下载"), QStringLiteral("停止下载"), [this] { m_scheduler->stop(); });
    addCommand(m, QStringLiteral("menu取消下载选中项"), QStringLiteral("取消下载选中项"),
               [this, &c] { c.CancelSelected(selectedRows()); });
    m->addSeparator();

    // Opening, copying, exporting and the bulk URL replace come with their
    // own commands; the entries stand in their places meanwhile.
    addCommand(m, QStringLiteral("menu打开下载文件"), QStringLiteral("打开下载文件"), {});
    addCommand(m, QStringLiteral("menu打开文件所在文件夹"), QStringLiteral("打开所在文件夹"), {});
    addCommand(m, QStringLiteral("menu用记事本打开文件"), QStringLiteral("用记事本打开文件"), {});
    m->addSeparator();
    addCommand(m, QStringLiteral("menu复制名称"), QStringLiteral("复制名称"), {});
    addCommand(m, QStringLiteral("menu批量替换网址"), QStringLiteral("批量替换网址"), {});
    QMenu *exportNames = addSubmenu(m, QStringLiteral("menu导出名称"), QStringLiteral("导出名称"));
    addCommand(exportNames, QStringLiteral("menu导出全部名称"), QStringLiteral("全部"), {});
    addCommand(exportNames, QStringLiteral("menu导出未完成项名称"), QStringLiteral("未完成项"), {});
    m->addSeparator();
    addCommand(m, QStringLiteral("menu退出本下载窗口"), QStringLiteral("关闭本下载窗口"), [this] { close(); });

    menuBar()->addMenu(menuList);

    menuTools = new QMenu(QStringLiteral("工具(&T)"), this);
    menuTools->setObjectName(QStringLiteral("menu工具"));
    menuTools->menuAction()->setObjectName(QStringLiteral("menu工具"));
    addCommand(menuTools, QStringLiteral("设置"), QStringLiteral("设置"), [this] {
        fOption dialog(this);
        dialog.exec();
    });
    QAction *locate = addCommand(menuTools, QStringLiteral("menu自动定位到下载项"), QStringLiteral("自动定位到下载项"), {});
    locate->setCheckable(true);
    locate->setChecked(false);
    connect(locate, &QAction::toggled, this, [this](bool on) { m_session.autoLocate = on; });
    menuBar()->addMenu(menuTools);
}

QAction *fFileDownload::menuAction(const QString &objectName) const
{
    const QList<QAction *> actions = findChildren<QAction *>(objectName);
    return actions.isEmpty() ? nullptr : actions.first();
}

void fFileDownload::bindScheduler()
{
    Scheduler &s = *m_scheduler;
    connect(Command4, &QPushButton::clicked, &s, &Scheduler::start);
    connect(Command31, &QPushButton::clicked, &s, &Scheduler::stop);
    connect(Command26, &QPushButton::clicked, &s, &Scheduler::switchMode);

    connect(Combo1, &QComboBox::currentIndexChanged, &s, [&s](int index) {
        if (index >= 0)
            s.setThreadCount(index + 1);
    });
    connect(&s, &Scheduler::threadCountChanged, Combo1, [this](int n) { Combo1->setCurrentIndex(n - 1); });
    connect(&s, &Scheduler::modeChanged, this, &fFileDownload::showMode);

    connect(Combo2, &QComboBox::currentIndexChanged, &s, [&s](int index) {
        if (index >= 0)
            s.setInterval(index);
    });
    connect(Check4, &QCheckBox::toggled, &s, &Scheduler::setAutoStart);
    connect(&s, &Scheduler::autoStartChanged, Check4, &QCheckBox::setChecked);
    connect(Check3, &QCheckBox::toggled, &s, &Scheduler::setAutoRedownload);
    connect(&s, &Scheduler::autoRedownloadChanged, Check3, &QCheckBox::setChecked);
    connect(Combo4, &QComboBox::currentIndexChanged, &s, [&s](int index) {
        if (index >= 0)
            s.setRedownloadChoice(index);
    });
    connect(Check5, &QCheckBox::toggled, &s, &Scheduler::setStopOnErrors);
    connect(Check6, &QCheckBox::toggled, &s, &Scheduler::setSoundNotices);

    connect(&s, &Scheduler::indicatorChanged, Shape1, &QWidget::setVisible);
    connect(&s, &Scheduler::startEnabledChanged, this, [this](bool on) {
        if (QAction *a = menuAction(QStringLiteral("menu下载全部")))
            a->setEnabled(on);
    });
}

void fFileDownload::showMode(int mode)
{
    Label7->setText(QStringLiteral("下载方式：%1").arg(mode));
    Combo1->setEnabled(mode == 2);
}

void fFileDownload::load()
{
    setWindowTitle(QStringLiteral("文件下载-%1").arg(Msg::AppTitle));
    setWindowIcon(QApplication::windowIcon());

    FitDropDownWidth(Combo4);
    Combo4->setCurrentIndex(0);

    m_session.LastFinishTime = Now();
    ResetDownloadList(m_session.list());
    updateCountLabel();

    // Mode, thread count, same-name choice, proxy and size limit from the store.
    LoadProgramValues();
    const int mode = Program().DownloadMode;
    showMode(mode);
    Combo1->setCurrentIndex(0);
    if (mode == 2) {
        bool ok = false;
        const int stored = GetSetting(SettingKeys::Download, SettingKeys::Threads,
                                      QString::number(SettingDefaults::Threads)).trimmed().toInt(&ok);
        // A position that is not a number or not in the box leaves it at "1".
        if (ok && stored >= 0 && stored < Combo1->count())
            Combo1->setCurrentIndex(stored);
    }
    m_scheduler->setThreadCount(Combo1->currentIndex() + 1);

    const DuplicateNamePolicy policy = DuplicateNamePolicyFromCaption(
        GetSetting(SettingKeys::PatentDownload, SettingKeys::DuplicateFileName, SettingDefaults::DuplicateFileName));
    (policy == DuplicateNamePolicy::Skip ? Option1 : policy == DuplicateNamePolicy::Overwrite ? Option2 : Option3)
        ->setChecked(true);
    m_session.sameName = policy;

    resize(SettingDefaults::Width / TwipsPerPixel, SettingDefaults::Height / TwipsPerPixel);
    LoadFormLayout(this, SettingKeys::FileDownload);

    Combo2->clear();
    QStringList seconds;
    seconds.reserve(601);
    for (int i = 0; i <= 600; ++i)
        seconds << QString::number(i);
    Combo2->addItems(seconds);
    Combo2->setCurrentIndex(0);

    m_scheduler->startSupervisor();
}

void fFileDownload::updateCountLabel() { Label1->setText(CountLabelText(m_session.list())); }

QList<int> fFileDownload::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList selected = ListView3->selectionModel()->selectedRows();
    rows.reserve(selected.size());
    for (const QModelIndex &index : selected)
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void fFileDownload::selectAll(bool on)
{
    if (on)
        ListView3->selectAll();
    else
        ListView3->clearSelection();
}

void fFileDownload::fitColumnWidths()
{
    AutoSizeListColumns(ListView3, -2);
    SetListStripes(ListView3, false, ListRowHeight);
}

void fFileDownload::preparePopupMenu()
{
    const PopupMenuState state = m_commands->preparePopup();
    menuAction(QStringLiteral("menu清除"))->setEnabled(state.clearEnabled);
    menuAction(QStringLiteral("menu清空"))->setEnabled(state.emptyEnabled);
    menuAction(QStringLiteral("menu全选专利列表"))->setEnabled(state.selectAllEnabled);
    menuAction(QStringLiteral("menu停止下载"))->setEnabled(state.stopEnabled);
}

bool fFileDownload::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListView3->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            preparePopupMenu();
            menuList->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void fFileDownload::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        updateCountLabel();
    QMainWindow::changeEvent(event);
}

void fFileDownload::placeControls()
{
    QWidget *area = centralWidget();
    if (!area)
        return;
    // The panel across the top with a margin, the list below it down to the
    // status bar (the client area already leaves out the title, menu and
    // status bars).
    const int left = px(20);
    const int width = qMax(0, area->width() - px(300));
    Picture3->setGeometry(left, px(20), width, Picture3->sizeHint().height());
    const int top = Picture3->geometry().bottom() + 1;
    ListView3->setGeometry(left, top, width, qMax(0, area->height() - top - px(140)));
}

void fFileDownload::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (isMinimized())
        return;
    placeControls();
    SetListStripes(ListView3, false, ListRowHeight);
}

void fFileDownload::closeEvent(QCloseEvent *event)
{
    QRadioButton *chosen = Option1->isChecked() ? Option1 : Option2->isChecked() ? Option2 : Option3;
    SaveSetting(SettingKeys::PatentDownload, SettingKeys::DuplicateFileName, chosen->text().trimmed());
    SaveSetting(SettingKeys::Settings, SettingKeys::DownloadMode, QString::number(Program().DownloadMode));

    if (m_scheduler->ClosingNeedsConfirmation() && !Msg::question(Scheduler::ClosingQuestion())) {
        event->ignore();
        return;
    }

    m_scheduler->stopSupervisor();
    m_scheduler->timerDown().stop();
    m_scheduler->stop();
    inet().Cancel();
    SaveFormLayout(this, SettingKeys::FileDownload);
    SaveSetting(SettingKeys::Download, SettingKeys::Threads, QString::number(Combo1->currentIndex()));
    // Closed for good: the next hand-off loads a fresh window rather than
    // filling one that is about to be deleted.
    if (testAttribute(Qt::WA_DeleteOnClose) && g_instance == this)
        g_instance = nullptr;
    event->accept();
}
