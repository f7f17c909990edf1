#pragma once
// Helpers of the windows: lookup of a loaded window, list column sizing.
#include <QString>

class QAbstractItemView;

// Case-insensitive lookup of a loaded (shown or hidden) top-level window by objectName.
bool IsFormLoaded(const QString &name);
// Report views only (QTreeView, QTableView); column is 1-based. mode -2: the
// wider of header and contents, -1: contents, 0 or more: that many pixels.
void AutoSizeListColumn(QAbstractItemView *list, int column, int mode);
void AutoSizeListColumns(QAbstractItemView *list, int mode);

