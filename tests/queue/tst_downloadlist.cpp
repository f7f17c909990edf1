#include "queue/downloadlist.h"
#include "support/testfiles.h"
#include "support/testhome.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>

class TestDownloadList : public QObject {
    Q_OBJECT
private slots:
    void columnsAndHeaders()
    {
        DownloadList list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(list.columnCount(), 6);
        QStringList headers;
        for (int c = 0; c < 6; ++c)
            headers << list.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(headers, (QStringList{"名称", "类型", "文件大小", "已下载数", "百分比", "保存路径"}));
        QVERIFY(list.add("http://a/1.pdf", "one", "PDF", "/tmp/x"));
        const QModelIndex name = list.index(0, DownloadList::ColName);
        QCOMPARE(name.data().toString(), QString("one"));
        QCOMPARE(list.index(0, DownloadList::ColType).data().toString(), QString("PDF"));
        QCOMPARE(list.index(0, DownloadList::ColFolder).data().toString(), QString("/tmp/x"));
        QCOMPARE(name.data(DownloadList::StateRole).toInt(), int(Waiting));
        // The state icon beside the name is the windows' business (the download
        // window's tests check it); the engine shows none of its own.
        QVERIFY(!name.data(Qt::DecorationRole).isValid());
        // Labels are never edited in place.
        QVERIFY(!(list.flags(name) & Qt::ItemIsEditable));
        QVERIFY(list.flags(name) & Qt::ItemIsSelectable);
    }

    void addRefusesASecondItemWithTheSameKey()
    {
        DownloadList list;
        QSignalSpy counts(&list, &DownloadList::countChanged);
        QVERIFY(list.add("u1", "a", "pdf", "/f"));
        ItemRef first = list.at(0);
        list.setProgress(first, "10", "5", "50%");
        QVERIFY(!list.add("u1", "b", "htm", "/g"));
        QVERIFY(!list.add("", "c", "htm", "/g"));
        QCOMPARE(list.count(), 1);
        QCOMPARE(first->name, QString("a"));
        QCOMPARE(first->type, QString("pdf"));
        QCOMPARE(first->percent, QString("50%"));
        QCOMPARE(CountLabelText(list), QString("1条"));
        QCOMPARE(counts.count(), 1);
        QCOMPARE(list.find("u1"), first);
        QCOMPARE(list.indexOfKey("u1"), 0);
        QVERIFY(!list.find("u2"));
    }

    void urlChoiceAndRotation_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("rotated");
        QTest::newRow("one") << "u1" << "u1" << "u1";
        QTest::newRow("two") << "u1|u2" << "u1" << "u2|u1";
        QTest::newRow("three") << "u1|u2|u3" << "u1" << "u3|u1|u2";
        QTest::newRow("four") << "u1|u2|u3|u4" << "u1" << "u1|u2|u3|u4";
        QTest::newRow("empty first") << "|u2" << "" << "u2|";
    }
    void urlChoiceAndRotation()
    {
        QFETCH(QString, key);
        QFETCH(QString, chosen);
        QFETCH(QString, rotated);
        QCOMPARE(选择url(key), chosen);
        QCOMPARE(对调url(key), rotated);
    }

    void countsFollowEveryChange()
    {
        DownloadList list;
        QCOMPARE(StatusCountsText(list), QString("总数:0 正在下载:0 等待:0 已完成:0 失败:0"));
        QVERIFY(检测是否下载列表完毕(list));
        for (int i = 0; i < 6; ++i)
            list.add(QString("u%1").arg(i), QString("n%1").arg(i), i < 2 ? "htm" : "pdf", "/f");
        QCOMPARE(统计未下载项数目(list), 6);
        QCOMPARE(CountErrorsAndPages(list), 2); // two htm rows
        list.setState(list.at(0), Finished);
        list.setState(list.at(2), Failed);
        list.setState(list.at(3), Downloading);
        list.setState(list.at(4), Finished);
        list.set(list.at(5), DownloadList::Type, "XML"); // xml is not a web page here
        list.setState(list.at(5), Failed);
        QCOMPARE(StatusCountsText(list), QString("总数:6 正在下载:1 等待:1 已完成:2 失败:2"));
        QCOMPARE(CountErrorsAndPages(list), 4); // htm x2 + failed pdf + failed xml
        QVERIFY(!检测是否下载列表完毕(list));

        // A waiting row marked "等待重新下载" and a skipped row are not "not yet started".
        list.set(list.at(1), DownloadList::Size, StatusWord::WaitingAgain);
        list.setProgress(list.at(4), "9", "9", StatusWord::ExistsSkipped);
        QCOMPARE(统计未下载项数目(list), 4);

        list.set(list.at(0), DownloadList::Type, "pdf"); // finished pdf: no longer counted
        QCOMPARE(CountErrorsAndPages(list), 3);
        list.setState(list.at(1), Finished);
        list.setState(list.at(3), Failed);
        QVERIFY(检测是否下载列表完毕(list));

        QCOMPARE(list.removeIf([](const DownloadItem &i) { return i.state == Failed; }), 3);
        QCOMPARE(StatusCountsText(list), QString("总数:3 正在下载:0 等待:0 已完成:3 失败:0"));
        QCOMPARE(CountErrorsAndPages(list), 1);
    }

    void removedRowsAreNotWrittenAndPositionsFollow()
    {
        DownloadList list;
        for (int i = 0; i < 5; ++i)
            list.add(QString("u%1").arg(i), QString("n%1").arg(i), "pdf", "/f");
        ItemRef gone = list.at(1);
        ItemRef last = list.at(4);
        list.removeIf([](const DownloadItem &i) { return i.key == "u1" || i.key == "u3"; });
        QVERIFY(!gone->alive());
        QVERIFY(!list.setState(gone, Failed));
        QVERIFY(!list.set(gone, DownloadList::Size, "1"));
        QCOMPARE(gone->state, Waiting);
        QCOMPARE(last->row(), 2);
        QCOMPARE(list.at(2), last);
        QCOMPARE(list.indexOfKey("u4"), 2);
        QVERIFY(!list.find("u1"));
        QCOMPARE(list.stateCount(Waiting), 3);
        // A removed key can be added again.
        QVERIFY(list.add("u1", "again", "pdf", "/f"));
    }

    void keyChangesKeepKeysUnique()
    {
        DownloadList list;
        list.add("a|b", "x", "pdf", "/f");
        list.add("c", "y", "pdf", "/f");
        ItemRef first = list.at(0);
        QVERIFY(list.set(first, DownloadList::Key, 对调url(first->key)));
        QCOMPARE(first->key, QString("b|a"));
        QCOMPARE(list.find("b|a"), first);
        QVERIFY(!list.find("a|b"));
        QVERIFY(!list.set(first, DownloadList::Key, "c"));
        QCOMPARE(first->key, QString("b|a"));
    }

    void reorderMovesRowsAndSelectionTogether()
    {
        DownloadList list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int i = 0; i < 4; ++i)
            list.add(QString("u%1").arg(i), QString("n%1").arg(i), "pdf", "/f");
        QPersistentModelIndex p(list.index(1, 0));
        QVERIFY(!list.reorder({0, 1, 2}));    // wrong length
        QVERIFY(!list.reorder({0, 1, 1, 3})); // not a permutation
        QVERIFY(list.reorder({3, 1, 0, 2}));
        QCOMPARE(list.at(0)->key, QString("u3"));
        QCOMPARE(list.at(3)->key, QString("u2"));
        QCOMPARE(list.indexOfKey("u0"), 2);
        QCOMPARE(p.row(), 1);
        QVERIFY(list.reorder({1, 0, 2, 3}));
        QCOMPARE(p.row(), 0);
        QCOMPARE(list.at(p.row())->key, QString("u1"));
    }

    void batchAnnouncesChangesOnce()
    {
        DownloadList list;
        for (int i = 0; i < 10; ++i)
            list.add(QString("u%1").arg(i), "n", "pdf", "/f");
        QSignalSpy changed(&list, &DownloadList::dataChanged);
        list.beginBatch();
        for (int i = 2; i < 8; ++i)
            list.setState(list.at(i), Failed);
        QCOMPARE(changed.count(), 0);
        list.endBatch();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].toModelIndex().row(), 2);
        QCOMPARE(changed[0][1].toModelIndex().row(), 7);
    }

    // Changes spread over the list are announced as their runs of adjacent
    // rows, in order, each row once; the unchanged rows between are not
    // covered, and positions past the end after a removal are dropped.
    void batchAnnouncesRunsOfChangedRows()
    {
        DownloadList list;
        for (int i = 0; i < 12; ++i)
            list.add(QString("u%1").arg(i), "n", "pdf", "/f");
        QSignalSpy changed(&list, &DownloadList::dataChanged);
        list.beginBatch();
        for (int row : {9, 1, 2, 3, 9, 6, 11})
            list.setState(list.at(row), row % 2 ? Failed : Finished);
        list.set(list.at(2), DownloadList::Name, "renamed");
        list.beginBatch(); // nested: still one announcement at the outer end
        list.setProgress(list.at(10), "1", "1", "100%");
        list.endBatch();
        QCOMPARE(changed.count(), 0);
        list.removeIf([](const DownloadItem &item) { return item.key == "u11"; });
        list.endBatch();
        QList<QPair<int, int>> runs;
        for (const QList<QVariant> &signal : changed) {
            runs << qMakePair(signal[0].toModelIndex().row(), signal[1].toModelIndex().row());
            QCOMPARE(signal[0].toModelIndex().column(), 0);
            QCOMPARE(signal[1].toModelIndex().column(), int(DownloadList::ColumnCount) - 1);
        }
        QCOMPARE(runs, (QList<QPair<int, int>>{{1, 3}, {6, 6}, {9, 10}}));
    }

    void existingFileIsSkippedOnlyWithSkipOption()
    {
        TempHome home;
        const QString folder = home.folder("save");
        writeFile(folder + "/paper.pdf", "12345");
        writeFile(folder + "/noext", "1234567");
        DownloadList list;
        list.add("u1", "paper", "pdf", folder + "/");
        list.add("u2", "noext", "", folder);
        list.add("u3", "absent", "pdf", folder + "/");

        QVERIFY(确定是需要下载(list, list.at(0), false)); // overwrite / rename: never stops here
        QCOMPARE(list.at(0)->state, Waiting);

        QVERIFY(!确定是需要下载(list, list.at(0), true));
        QCOMPARE(list.at(0)->state, Finished);
        QCOMPARE(list.at(0)->size, QString("5"));
        QCOMPARE(list.at(0)->received, QString("5"));
        QCOMPARE(list.at(0)->percent, StatusWord::ExistsSkipped);

        // An empty type names the file without the final dot.
        QVERIFY(!确定是需要下载(list, list.at(1), true));
        QCOMPARE(list.at(1)->size, QString("7"));
        QVERIFY(确定是需要下载(list, list.at(2), true));
        QCOMPARE(统计未下载项数目(list), 1);
    }
};

VELMORA_TEST_MAIN(TestDownloadList)
#include "tst_downloadlist.moc"
