#include "app/ui/layout.h"

#include "app/settings.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QListView>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTreeView>
#include <QWidget>

#include <algorithm>

namespace {

QString sectionOf(const QWidget *window, const QString &section)
{
    return section.isEmpty() ? window->objectName() : section;
}

int toPixels(int twips)
{
    return qRound(double(twips) / TwipsPerPixel);
}

QString twipsText(int pixels)
{
    return QString::number(qint64(pixels) * TwipsPerPixel);
}

// Gives every row the same height; otherwise draws exactly as the standard
// delegate does.
class FixedRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    int rowHeight = 0;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(rowHeight);
        return size;
    }
};

void setRowHeight(QAbstractItemView *list, int height)
{
    if (auto *table = qobject_cast<QTableView *>(list)) {
        QHeaderView *rows = table->verticalHeader();
        rows->setMinimumSectionSize(std::min(height, rows->minimumSectionSize()));
        rows->setDefaultSectionSize(height);
        rows->setSectionResizeMode(QHeaderView::Fixed);
        return;
    }
    // Trees and plain lists take their row height from the delegate. A
    // delegate of the window's own is left alone: it decides its heights.
    auto *fixed = dynamic_cast<FixedRowDelegate *>(list->itemDelegate());
    if (!fixed) {
        QAbstractItemDelegate *current = list->itemDelegate();
        if (current && current->metaObject() != &QStyledItemDelegate::staticMetaObject)
            return;
        fixed = new FixedRowDelegate(list);
        list->setItemDelegate(fixed);
    }
    fixed->rowHeight = height;
    if (auto *tree = qobject_cast<QTreeView *>(list))
        tree->setUniformRowHeights(true);
    else if (auto *plain = qobject_cast<QListView *>(list))
        plain->setUniformItemSizes(true);
    list->doItemsLayout();
}

} // namespace

QString ScreenResolutionText()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QString();
    const QSize size = screen->size();
    return QStringLiteral("%1*%2").arg(size.width()).arg(size.height());
}

void SaveFormLayout(QWidget *window, const QString &section)
{
    namespace K = SettingKeys;
    if (!window)
        return;
    const QString s = sectionOf(window, section);
    if (window->isMaximized()) {
        SaveSetting(s, K::Resolution, QStringLiteral("0*0"));
        return;
    }
    SaveSetting(s, K::Resolution, ScreenResolutionText());
    SaveSetting(s, K::Top, twipsText(window->y()));
    SaveSetting(s, K::Left, twipsText(window->x()));
    SaveSetting(s, K::Width, twipsText(window->width()));
    SaveSetting(s, K::Height, twipsText(window->height()));
}

void LoadFormLayout(QWidget *window, const QString &section)
{
    namespace K = SettingKeys;
    namespace D = SettingDefaults;
    if (!window)
        return;
    const QString s = sectionOf(window, section);

    // Another screen, no stored layout ("000") or closed maximised ("0*0").
    if (GetSetting(s, K::Resolution, D::Resolution) != ScreenResolutionText()) {
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        return;
    }

    // Back to the normal state first, so that leaving the maximised state
    // cannot put back an older geometry over the one restored here.
    window->setWindowState(window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));

    // Each value on its own: one that cannot be read is skipped.
    int value = 0;
    if (ReadSettingInt(s, K::Top, D::Top, value))
        window->move(window->x(), toPixels(std::max(value, 0)));
    if (ReadSettingInt(s, K::Left, D::Left, value))
        window->move(toPixels(std::max(value, 0)), window->y());
    if (ReadSettingInt(s, K::Width, D::Width, value))
        window->resize(toPixels(std::max(value, 4000)), window->height());
    if (ReadSettingInt(s, K::Height, D::Height, value))
        window->resize(window->width(), toPixels(std::max(value, 3000)));
}

void SetListStripes(QAbstractItemView *list, bool extraSpacing, int rowHeightPx)
{
    if (!list)
        return;
    int height = 1 + QFontMetrics(list->font()).height();
    if (extraSpacing)
        height += 4;
    if (rowHeightPx > 0)
        height = rowHeightPx;

    // Even rows (the first is row 0) are drawn in Base, odd rows in AlternateBase.
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, QColor(231, 248, 237));
    palette.setColor(QPalette::AlternateBase, QColor(255, 255, 255));
    list->setPalette(palette);
    list->setAlternatingRowColors(true);
    setRowHeight(list, height);
}
