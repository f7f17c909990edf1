#include "search/ui/harvestpanel.h"

#include "app/settings.h"
#include "app/ui/layout.h"
#include "queue/downloadlist.h"
#include "queue/ui/ffiledownload.h"
#include "search/handoff.h"

#include <QAction>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
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

} // namespace

HarvestPanel::HarvestPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("HarvestPanel"));
    chooseExportFile = [this] { return askExportFile(); };
    buildControls();
    buildMenu();
    updateCountLabel();
}

HarvestPanel::~HarvestPanel()
{
    // The view goes with the panel, but not before the list it shows.
    ListView1->setModel(nullptr);
}

void HarvestPanel::buildControls()
{
    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(new QLabel(QStringLiteral("待下载列表："), this));
    Label1 = named(new QLabel(this), "Label1");
    top->addWidget(Label1);
    top->addStretch(1);
    Command7 = named(new QPushButton(QStringLiteral("导出数据..."), this), "Command7");
    top->addWidget(Command7);

    ListView1 = named(new QTreeView(this), "ListView1");
    ListView1->setModel(&m_list);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true); // 10,000 rows stay cheap to lay out
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers); // titles are never edited in place
    ListView1->setAllColumnsShowFocus(true);
    ListView1->header()->setStretchLastSection(true);
    // Titles are long: most of the room goes to them until the columns are sized.
    const int widths[] = {420, 50, 80};
    for (int column = 0; column < HarvestList::ColumnCount; ++column)
        ListView1->header()->resizeSection(column, widths[column]);
    ListView1->viewport()->installEventFilter(this);
    SetListStripes(ListView1, false, RowHeight);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(ListView1, 1);

    connect(&m_list, &HarvestList::countChanged, this, [this] { updateCountLabel(); });
    connect(Command7, &QPushButton::clicked, this, [this] { exportList(); });
}

void HarvestPanel::buildMenu()
{
    menu清除 = new QMenu(QStringLiteral("清除(&C)"), this);
    menu清除->setObjectName(QStringLiteral("menu清除"));
    menu清除->menuAction()->setObjectName(QStringLiteral("menu清除"));
    HarvestList &l = m_list;
    auto add = [this](const QString &name, const QString &caption, std::function<int()> command) {
        QAction *action = menu清除->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, command = std::move(command)] { runRemoval(command); });
    };
    add(QStringLiteral("menu清除选中项"), QStringLiteral("清除选中项"), [this, &l] { return l.清除选中项(selectedRows()); });
    add(QStringLiteral("menu清除标题含指定字符项"), QStringLiteral("清除标题含指定字符项"), [&l] { return l.清除标题含指定字符项(); });
    add(QStringLiteral("menu清除标题不含指定字符项"), QStringLiteral("清除标题不含指定字符项"),
        [&l] { return l.清除标题不含指定字符项(); });
    add(QStringLiteral("menu清除分析成功项"), QStringLiteral("清除分析成功项"), [&l] { return l.清除分析成功项(); });
    menu清除->addSeparator();
    add(QStringLiteral("menu清除全部"), QStringLiteral("清空全部"), [&l] { return l.清空全部(); });
}

QAction *HarvestPanel::menuAction(const QString &objectName) const
{
    const QList<QAction *> actions = menu清除->findChildren<QAction *>(objectName);
    for (QAction *a : actions)
        if (!a->menu())
            return a;
    return actions.isEmpty() ? nullptr : actions.first();
}

void HarvestPanel::runRemoval(const std::function<int()> &command)
{
    // The list removes its rows in one change, so the view is redrawn once
    // whatever the number of rows that go.
    command();
    updateCountLabel();
}

void HarvestPanel::updateCountLabel() { Label1->setText(m_list.countLabelText()); }

QList<int> HarvestPanel::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList selected = ListView1->selectionModel()->selectedRows();
    rows.reserve(selected.size());
    for (const QModelIndex &index : selected)
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString HarvestPanel::askExportFile()
{
    QFileDialog dialog(window(), QString(), QString(), QStringLiteral("*.txt"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void HarvestPanel::exportList()
{
    if (m_list.count() == 0 || !chooseExportFile)
        return;
    const QString path = chooseExportFile();
    if (path.isEmpty())
        return;
    m_list.exportTo(path); // a failed write ends the command without a message
}

bool HarvestPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListView1->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            menu清除->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HarvestPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    SetListStripes(ListView1, false, RowHeight);
}

bool 加入下载列表(const QString &url, const QString &title, const QString &type)
{
    // The dialog's choice is taken before the window loads: loading reads
    // the stored preferences into the program-wide values.
    const QString folder = Program().SaveFolder;
    const bool byUrl = Program().UseOriginalFileName;
    fFileDownload *window = fFileDownload::instance(true);
    return 加入下载列表(window->list(), url, title, type, folder, byUrl);
}

void 显示下载窗口(bool restore)
{
    fFileDownload *window = fFileDownload::instance();
    if (!window)
        return;
    window->ListView3->viewport()->update();
    if (window->isHidden())
        window->show();
    if (restore && window->isMinimized())
        window->showNormal();
}
