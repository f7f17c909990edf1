#include "app/ui/windowhelpers.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QTreeView>
#include <QWidget>

namespace {

QHeaderView *reportHeader(QAbstractItemView *list)
{
    if (auto *tree = qobject_cast<QTreeView *>(list))
        return tree->header();
    if (auto *table = qobject_cast<QTableView *>(list))
        return table->horizontalHeader();
    return nullptr; // icon and list views have no columns to size
}

} // namespace

bool IsFormLoaded(const QString &name)
{
    if (name.isEmpty())
        return false; // would otherwise match any unnamed window
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *w : windows)
        if (w->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void AutoSizeListColumn(QAbstractItemView *list, int column, int mode)
{
    QHeaderView *header = reportHeader(list);
    if (!header || column <= 0 || column > header->count())
        return;
    const int index = column - 1;
    int width;
    if (mode == -2)
        width = qMax(list->sizeHintForColumn(index), header->sectionSizeHint(index));
    else if (mode == -1)
        width = list->sizeHintForColumn(index);
    else if (mode >= 0)
        width = mode;
    else
        return;
    header->resizeSection(index, qMax(0, width));
}

void AutoSizeListColumns(QAbstractItemView *list, int mode)
{
    const QHeaderView *header = reportHeader(list);
    if (!header)
        return;
    const int count = header->count();
    for (int column = 1; column <= count; ++column)
        AutoSizeListColumn(list, column, mode);
}

