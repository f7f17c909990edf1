#include "app/ui/windowhelpers.h"
#include "support/uitestmain.h"

#include <QHeaderView>
#include <QListWidget>
#include <QTableWidget>
#include <QTreeWidget>

namespace {
// The view's own measure of a column's entries (public only on the base class).
int contentsWidth(QAbstractItemView *view, int column)
{
    return view->sizeHintForColumn(column);
}
} // namespace

class TestWindowHelpers : public QObject {
    Q_OBJECT
private slots:
    void isFormLoaded()
    {
        auto *w = new QWidget;
        w->setObjectName(QStringLiteral("fFileDownload"));
        auto *unnamed = new QWidget; // never found by an empty name
        QVERIFY(w->isHidden());
        for (const char *name : {"FFILEDOWNLOAD", "ffileDownLoad", "FfileDownLoad", "fFileDownload"})
            QVERIFY2(IsFormLoaded(QString::fromLatin1(name)), name);
        QVERIFY(!IsFormLoaded(QStringLiteral("fFileDown")));
        QVERIFY(!IsFormLoaded(QString()));
        delete w;
        delete unnamed;
        QVERIFY(!IsFormLoaded(QStringLiteral("fFileDownload")));
    }

    void autoSizeColumns()
    {
        // A long header over short entries and a short header over a long
        // entry tell "wider of both" from "contents only".
        QTableWidget table(1, 2);
        table.setHorizontalHeaderLabels({QStringLiteral("A rather long header caption"), QStringLiteral("B")});
        table.setItem(0, 0, new QTableWidgetItem(QStringLiteral("x")));
        table.setItem(0, 1, new QTableWidgetItem(QStringLiteral("a very much longer entry in the list")));
        QHeaderView *header = table.horizontalHeader();
        const int headerHint = header->sectionSizeHint(0);
        const int longEntry = contentsWidth(&table, 1);

        AutoSizeListColumns(&table, -2);
        QCOMPARE(table.columnWidth(0), headerHint);
        QCOMPARE(table.columnWidth(1), qMax(longEntry, header->sectionSizeHint(1)));
        AutoSizeListColumn(&table, 1, -1);
        const int contentsOnly = qMax(contentsWidth(&table, 0), header->minimumSectionSize());
        QCOMPARE(table.columnWidth(0), contentsOnly);
        QVERIFY(table.columnWidth(0) < headerHint);
        AutoSizeListColumn(&table, 2, 123);
        QCOMPARE(table.columnWidth(1), 123);
        for (int column : {0, 3}) {
            AutoSizeListColumn(&table, column, 77);
            QCOMPARE(table.columnWidth(0), contentsOnly);
            QCOMPARE(table.columnWidth(1), 123);
        }

        QTreeWidget tree;
        tree.setHeaderLabels({QStringLiteral("T"), QStringLiteral("U")});
        tree.addTopLevelItem(new QTreeWidgetItem({QStringLiteral("a long entry of the tree list"), QStringLiteral("u")}));
        tree.setColumnWidth(0, 10);
        AutoSizeListColumns(&tree, -2);
        QCOMPARE(tree.columnWidth(0), contentsWidth(&tree, 0));
        QVERIFY(tree.columnWidth(0) > 10);
    }

    void autoSizeLeavesOtherViewsAlone()
    {
        QListWidget list;
        list.addItem(QStringLiteral("a long entry of the list"));
        list.setViewMode(QListView::IconMode);
        list.setGridSize(QSize(40, 40));
        AutoSizeListColumns(&list, -2);
        AutoSizeListColumn(&list, 1, 200);
        QCOMPARE(list.gridSize(), QSize(40, 40));
        AutoSizeListColumns(nullptr, -2);
    }
};

VELMORA_UI_TEST_MAIN(TestWindowHelpers)
#include "tst_windowhelpers.moc"
