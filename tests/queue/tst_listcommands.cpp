#include "app/utilities.h"
#include "queue/listcommands.h"
#include "support/testfiles.h"
#include "support/faketransfers.h"
#include "support/messagerecorder.h"
#include "support/testhome.h"

#include <QFile>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>

namespace {
struct Row {
    const char *type;
    ItemState state;
};

// A list with one row of each kind the commands tell apart, each with a file
// on disk and some progress.
//   0 failed pdf   1 finished pdf   2 finished htm   3 finished XML
//   4 failed xml   5 waiting htm    6 downloading pdf
const Row kRows[] = {{"pdf", Failed},   {"pdf", Finished}, {"htm", Finished}, {"XML", Finished},
                     {"xml", Failed},   {"htm", Waiting},  {"pdf", Downloading}};

void fill(SchedulerRig &rig, const QString &folder)
{
    for (int i = 0; i < int(std::size(kRows)); ++i) {
        const QString key = QString("http://h/%1a|http://h/%1b").arg(i);
        rig.list().add(key, QString("r%1").arg(i), kRows[i].type, folder);
        rig.list().setState(rig.row(i), kRows[i].state);
        rig.list().setProgress(rig.row(i), "10", "10", "100%");
        writeFile(ItemFilePath(*rig.row(i)));
        rig.row(i)->fileWritten = true; // as a transfer of the list leaves it
    }
}

QStringList names(SchedulerRig &rig)
{
    QStringList out;
    for (int i = 0; i < rig.list().count(); ++i)
        out << rig.row(i)->name;
    return out;
}

// The shuffle as the list control would do it, row by row.
std::vector<int> naiveShuffle(int count, const std::function<int(int)> &draw)
{
    std::vector<int> rows(count);
    for (int i = 0; i < count; ++i)
        rows[i] = i;
    int moved = 0, rounds = 0;
    for (;;) {
        const int n = count - moved;
        if (n < 1 || ++rounds > 10000)
            break;
        const int r = draw(n);
        const int row = rows[r];
        rows.erase(rows.begin() + r);
        rows.push_back(row);
        ++moved;
    }
    return rows;
}
} // namespace

class TestListCommands : public QObject {
    Q_OBJECT
private slots:
    void redownloadResetsTheRowAndRotatesItsUrls()
    {
        TempHome home;
        SchedulerRig rig;
        ListCommands commands(rig.session, rig.scheduler);
        const QString folder = home.folder("save");
        rig.list().add("u1|u2|u3", "page", "html", folder);
        rig.list().setState(rig.row(0), Failed);
        rig.list().setProgress(rig.row(0), "300", "120", "40%");
        writeFile(folder + "/page.html");
        writeFile(folder + "/page.xxx");
        rig.row(0)->fileWritten = true;
        commands.RedownloadFailed();
        const ItemRef row = rig.row(0);
        QCOMPARE(row->state, Waiting);
        QCOMPARE(row->type, QString("xxx"));
        QCOMPARE(row->size + row->received + row->percent, QString());
        QCOMPARE(row->key, QString("u3|u1|u2"));
        QVERIFY(!QFile::exists(folder + "/page.html"));
        QVERIFY(!QFile::exists(folder + "/page.xxx"));
    }

    // Files the list never wrote stay: the user's file under the name a
    // failed row never got to change, one skipped as existing, and anything
    // a row without a folder would name relative to the current folder.
    void filesTheListDidNotWriteAreKept()
    {
        TempHome home;
        SchedulerRig rig;
        ListCommands commands(rig.session, rig.scheduler);
        const QString folder = home.folder("save") + "/";
        rig.list().add("http://h/report", "report", "pdf", folder);
        rig.list().add("http://h/page", "page", "htm", folder);
        rig.list().add("http://h/x", "x", "pdf", "");
        rig.list().setState(rig.row(0), Failed);
        rig.list().setState(rig.row(1), Finished);
        rig.list().setProgress(rig.row(1), "4", "4", StatusWord::ExistsSkipped);
        rig.list().setState(rig.row(2), Failed);
        rig.row(2)->fileWritten = true;
        writeFile(folder + "report.pdf", "mine");
        writeFile(folder + "page.htm", "mine");
        const QString cwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(home.folder("cwd")));
        writeFile("x.pdf", "mine");

        commands.DeleteFailedFiles();
        commands.DeleteWebPageFiles();
        commands.RedownloadFailedAndWebPages();
        rig.list().setState(rig.row(0), Failed);
        commands.OpenOrRequeue(0);
        QCOMPARE(readFile(folder + "report.pdf"), QByteArray("mine"));
        QCOMPARE(readFile(folder + "page.htm"), QByteArray("mine"));
        QCOMPARE(readFile("x.pdf"), QByteArray("mine"));
        QVERIFY(QDir::setCurrent(cwd));
    }

    void redownloadCommandsPickTheirRows_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QList<int>>("reset");
        QTest::addColumn<QStringList>("types"); // of every row afterwards
        QTest::newRow("failed") << "failed" << QList<int>{0, 4}
                                << QStringList{"pdf", "pdf", "htm", "XML", "xml", "htm", "pdf"};
        QTest::newRow("web pages") << "pages" << QList<int>{2, 3, 4}
                                   << QStringList{"pdf", "pdf", "xxx", "xxx", "xxx", "htm", "pdf"};
        QTest::newRow("failed and web pages") << "both" << QList<int>{0, 2, 4}
                                              << QStringList{"pdf", "pdf", "xxx", "XML", "xml", "htm", "pdf"};
        QTest::newRow("selected, all rows") << "selected" << QList<int>{0, 1, 2, 3, 4}
                                            << QStringList{"pdf", "pdf", "xxx", "XML", "xml", "htm", "pdf"};
    }
    void redownloadCommandsPickTheirRows()
    {
        QFETCH(QString, command);
        QFETCH(QList<int>, reset);
        QFETCH(QStringList, types);
        TempHome home;
        MessageRecorder messages;
        SchedulerRig rig;
        ListCommands commands(rig.session, rig.scheduler);
        fill(rig, home.folder("save"));
        QList<ItemRef> before;
        for (int i = 0; i < rig.list().count(); ++i)
            before << rig.row(i);
        rig.scheduler.start(); // no guard: they run while downloading too
        if (command == "failed")
            commands.RedownloadFailed();
        else if (command == "pages")
            commands.RedownloadWebPages();
        else if (command == "both")
            commands.RedownloadFailedAndWebPages();
        else
            commands.RedownloadSelected({0, 1, 2, 3, 4, 5, 6, 99});
        QVERIFY(messages.messages.isEmpty());
        for (int i = 0; i < rig.list().count(); ++i) {
            const ItemRef row = rig.row(i);
            QCOMPARE(row, before[i]);
            QCOMPARE(row->type, types[i]);
            if (reset.contains(i)) {
                QCOMPARE(row->state, Waiting);
                QCOMPARE(row->percent, QString());
                QCOMPARE(row->key, QString("http://h/%1b|http://h/%1a").arg(i));
            } else {
                QCOMPARE(row->state, kRows[i].state);
                QCOMPARE(row->percent, QString("100%"));
                QVERIFY(QFile::exists(ItemFilePath(*row)));
            }
        }
    }

    void redownloadSmallerThan_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QList<int>>("reset");
        // rows: finished 4,096/4,096; finished 4,096/1,024; waiting 100/100;
        //       failed 6000/6000; finished "下载失败"
        QTest::newRow("5000") << " 5000 " << QList<int>{0};
        QTest::newRow("7000") << "7000" << QList<int>{0, 3};
        QTest::newRow("not a number") << "abc" << QList<int>{};
        QTest::newRow("cancelled") << QString() << QList<int>{};
    }
    void redownloadSmallerThan()
    {
        QFETCH(QString, answer);
        QFETCH(QList<int>, reset);
        TempHome home;
        MessageRecorder messages;
        messages.inputs << answer;
        SchedulerRig rig;
        ListCommands commands(rig.session, rig.scheduler);
        const struct {
            const char *size, *received;
            ItemState state;
        } rows[] = {{"4,096", "4,096", Finished}, {"4,096", "1,024", Finished}, {"100", "100", Waiting},
                    {"6000", "6000", Failed},     {"下载失败", "", Finished}};
        for (int i = 0; i < 5; ++i) {
            rig.list().add(QString("u%1").arg(i), "n", "pdf", home.path());
            rig.list().setState(rig.row(i), rows[i].state);
            rig.list().setProgress(rig.row(i), rows[i].size, rows[i].received, "x");
        }
        commands.RedownloadSmallerThan();
        QCOMPARE(messages.prompts, QStringList{"请输入数字："});
        QVERIFY(messages.messages.isEmpty());
        for (int i = 0; i < 5; ++i)
            QCOMPARE(rig.row(i)->percent, reset.contains(i) ? QString() : QString("x"));
    }

    void removingCommandsRefuseWhileDownloading_data()
    {
        QTest::addColumn<QString>("activity");
        QTest::newRow("scheduler running") << "timer";
        QTest::newRow("mode 1 executing") << "inet";
        QTest::newRow("slot loaded") << "slot";
    }
    void removingCommandsRefuseWhileDownloading()
    {
        QFETCH(QString, activity);
        TempHome home;
        MessageRecorder messages;
        SchedulerRig rig;
        ListCommands commands(rig.session, rig.scheduler);
        fill(rig, home.folder("save"));
        if (activity == "timer")
            rig.scheduler.start();
        else if (activity == "inet")
            rig.m1.executing = true;
        else
            rig.m2.inUse.insert(3);
        QVERIFY(commands.DownloadsActive());
        const QStringList before = names(rig);
        commands.ClearSelected({0, 1});
        commands.ClearFailed();
        commands.ClearFinished();
        commands.EmptyList();
        commands.ShuffleList();
        QCOMPARE(names(rig), before);
        QCOMPARE(messages.count("停止下载以后，才能执行此操作！"), 5);
        for (const auto &m : messages.messages)
            QCOMPARE(m.kind, Msg::Kind::Information);
    }

    void removingCommandsKeepTheOrderOfTheOthers()
    {
        TempHome home;
        MessageRecorder messages;
        SchedulerRig rig;
        ListCommands commands(rig.session, rig.scheduler);
        fill(rig, home.folder("save"));
        rig.list().setState(rig.row(6), Waiting); // nothing is downloading
        commands.ClearSelected({1, 5, -1, 42});
        QCOMPARE(names(rig), (QStringList{"r0", "r2", "r3", "r4", "r6"}));
        commands.ClearFailed();
        QCOMPARE(names(rig), (QStringList{"r2", "r3", "r6"}));
        commands.ClearFinished();
        QCOMPARE(names(rig), (QStringList{"r6"}));
        QCOMPARE(CountLabelText(rig.list()), QString("1条"));
        // Files stay on disk.
        QVERIFY(QFile::exists(home.path() + "/save/r1.pdf"));

        messages.answers << false << true;
        commands.EmptyList();
        QCOMPARE(rig.list().count(), 1);
        commands.EmptyList();
        QCOMPARE(rig.list().count(), 0);
        QCOMPARE(messages.count("您确定要清空列表的所有信息吗？"), 2);
        QCOMPARE(messages.messages[0].kind, Msg::Kind::Question);
    }

    void deletingFilesKeepsTheRows_data()
    {
        QTest::addColumn<bool>("pages");
        QTest::addColumn<QList<int>>("cleared");
        QTest::newRow("web pages") << true << QList<int>{2, 3, 4};
        QTest::newRow("failed") << false << QList<int>{0, 4};
    }
    void deletingFilesKeepsTheRows()
    {
        QFETCH(bool, pages);
        QFETCH(QList<int>, cleared);
        TempHome home;
        SchedulerRig rig;
        ListCommands commands(rig.session, rig.scheduler);
        fill(rig, home.folder("save"));
        rig.scheduler.start();
        pages ? commands.DeleteWebPageFiles() : commands.DeleteFailedFiles();
        QCOMPARE(rig.list().count(), 7);
        for (int i = 0; i < 7; ++i) {
            const ItemRef row = rig.row(i);
            QCOMPARE(row->state, kRows[i].state);
            QCOMPARE(QFile::exists(ItemFilePath(*row)), !cleared.contains(i));
            QCOMPARE(row->size, cleared.contains(i) ? QString() : QString("10"));
        }
    }

    void cancelSelectedFailsOnlyWaitingRows()
    {
        TempHome home;
        MessageRecorder messages;
        SchedulerRig rig;
        ListCommands commands(rig.session, rig.scheduler);
        fill(rig, home.folder("save"));
        rig.session.DownloadBusy = true;
        commands.CancelSelected({1, 5, 6});
        QCOMPARE(rig.row(5)->state, Waiting);
        QCOMPARE(messages.texts(), QStringList{"停止下载后方可设置！"});
        QCOMPARE(messages.messages[0].kind, Msg::Kind::Error);

        rig.session.DownloadBusy = false;
        commands.CancelSelected({1, 5, 6});
        QCOMPARE(rig.row(1)->state, Finished);
        QCOMPARE(rig.row(5)->state, Failed);
        QCOMPARE(rig.row(6)->state, Downloading);
    }

    void shufflePermutationMatchesRowByRowMoves_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("empty") << 0;
        QTest::newRow("one") << 1;
        QTest::newRow("fifty") << 50;
        QTest::newRow("over the round limit") << 10005;
    }
    void shufflePermutationMatchesRowByRowMoves()
    {
        QFETCH(int, count);
        QRandomGenerator a(count + 7), b(count + 7);
        const auto fast = ShufflePermutation(count, [&](int n) { return int(a.bounded(n)); });
        const auto slow = naiveShuffle(count, [&](int n) { return int(b.bounded(n)); });
        QVERIFY(fast == slow);
    }

    void shuffleMovesAtMostTenThousandRows()
    {
        const auto order = ShufflePermutation(10001, [](int) { return 0; });
        QCOMPARE(order.front(), 10000);
        for (int i = 1; i <= 10000; ++i)
            QCOMPARE(order[i], i - 1);
        // Always the last unmoved row: the rows leave in reverse order.
        const auto reversed = ShufflePermutation(20, [](int n) { return n - 1; });
        QVERIFY(std::is_sorted(reversed.rbegin(), reversed.rend()));
    }

    void shuffleListKeepsEveryRowWhole()
    {
        TempHome home;
        MessageRecorder messages;
        SchedulerRig rig;
        ListCommands commands(rig.session, rig.scheduler);
        commands.ShuffleList();
        QCOMPARE(messages.texts(), QStringList{"随机排序完成！"});

        fill(rig, home.folder("save"));
        rig.list().setState(rig.row(6), Failed);
        rig.list().set(rig.row(3), DownloadList::Referer, "http://ref/");
        commands.setDraw([](int) { return 0; }); // every move takes the top row
        commands.ShuffleList();
        QCOMPARE(names(rig), (QStringList{"r0", "r1", "r2", "r3", "r4", "r5", "r6"}));
        commands.setDraw([](int n) { return n > 1 ? 1 : 0; });
        commands.ShuffleList();
        QCOMPARE(names(rig), (QStringList{"r1", "r2", "r3", "r4", "r5", "r6", "r0"}));
        const ItemRef r3 = rig.list().find("http://h/3a|http://h/3b");
        QCOMPARE(r3->row(), 2);
        QCOMPARE(r3->referer, QString("http://ref/"));
        QCOMPARE(r3->type, QString("XML"));
        QCOMPARE(r3->state, Finished);
        QCOMPARE(messages.count("随机排序完成！"), 3);
    }

    void doubleClickOpensOrRequeues()
    {
        TempHome home;
        MessageRecorder messages;
        QList<QUrl> opened;
        Shell::setOpener([&](const QUrl &url) {
            opened << url;
            return true;
        });
        SchedulerRig rig;
        ListCommands commands(rig.session, rig.scheduler);
        fill(rig, home.folder("save"));

        commands.OpenOrRequeue(1); // finished, file present
        QCOMPARE(opened, (QList<QUrl>{QUrl::fromLocalFile(home.path() + "/save/r1.pdf")}));
        QFile::remove(home.path() + "/save/r2.htm");
        commands.OpenOrRequeue(2); // finished, file gone
        QCOMPARE(messages.texts(), QStringList{"文件不存在！"});
        QCOMPARE(messages.messages[0].kind, Msg::Kind::Error);

        commands.OpenOrRequeue(0); // failed
        QCOMPARE(rig.row(0)->state, Waiting);
        QCOMPARE(rig.row(0)->size + rig.row(0)->received + rig.row(0)->percent, QString());
        QCOMPARE(rig.row(0)->key, QString("http://h/0a|http://h/0b"));
        QCOMPARE(rig.row(0)->type, QString("pdf"));
        QVERIFY(!QFile::exists(home.path() + "/save/r0.pdf"));
        QVERIFY(rig.m1.started.isEmpty() && rig.m2.starts.isEmpty());

        commands.OpenOrRequeue(6); // downloading: nothing
        commands.OpenOrRequeue(-1);
        QCOMPARE(rig.row(6)->state, Downloading);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(messages.messages.size(), 1);
        Shell::setOpener({});
    }

    void popupStatesFollowTheActivity()
    {
        SchedulerRig rig;
        ListCommands commands(rig.session, rig.scheduler);
        auto states = [&] {
            const PopupMenuState s = commands.preparePopup();
            return QList<bool>{s.clearEnabled, s.emptyEnabled, s.selectAllEnabled, s.stopEnabled};
        };
        QCOMPARE(states(), (QList<bool>{true, true, true, false}));
        rig.session.DownloadBusy = true;
        QCOMPARE(states(), (QList<bool>{false, false, false, true}));
        rig.session.DownloadBusy = false;
        rig.scheduler.start();
        QCOMPARE(states(), (QList<bool>{false, false, false, true}));
    }
};

VELMORA_TEST_MAIN(TestListCommands)
#include "tst_listcommands.moc"
