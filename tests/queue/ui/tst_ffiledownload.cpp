// The download window driven through its controls: what it shows when it
// opens, how its controls reach the scheduler, the menu, the pop-up
// preparation, the closing question and the settings it stores, and one row
// fetched end to end in each mode.
#include "app/ui/foption.h"
#include "app/paths.h"
#include "app/settings.h"
#include "queue/ui/ffiledownload.h"
#include "queue/ui/folderhistory.h"
#include "queue/listcommands.h"
#include "queue/scheduler.h"
#include "support/httptestserver.h"
#include "support/messagerecorder.h"
#include "support/uitestmain.h"
#include "support/widgettests.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTreeView>

#include <memory>

namespace K = SettingKeys;

namespace {

void click(QWidget *window, const char *button)
{
    QTest::mouseClick(control<QPushButton>(window, button), Qt::LeftButton);
}

// The entries of a menu as "objectName:caption", "-" for a separator and
// submenus as "name:caption[entry,entry]".
QStringList entries(const QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions()) {
        if (a->isSeparator()) {
            out << QStringLiteral("-");
            continue;
        }
        QString text = a->objectName() + QLatin1Char(':') + a->text();
        if (a->menu())
            text += QLatin1Char('[') + entries(a->menu()).join(QLatin1Char(',')) + QLatin1Char(']');
        out << text;
    }
    return out;
}

} // namespace

class TestFileDownload : public QObject {
    Q_OBJECT
    std::unique_ptr<TempHome> home;

private slots:
    void init()
    {
        home = std::make_unique<TempHome>();
        Program() = ProgramValues();
    }
    void cleanup() { home.reset(); }

    void opensWithTheDefaults()
    {
        fFileDownload w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("文件下载-Velmora"));
        QCOMPARE(control<QLabel>(&w, "Label7")->text(), QStringLiteral("下载方式：2"));
        QComboBox *threads = control<QComboBox>(&w, "Combo1");
        QVERIFY(threads->isEnabled());
        QCOMPARE(threads->currentText(), QStringLiteral("3"));
        QCOMPARE(w.scheduler().threadCount(), 3);
        QComboBox *interval = control<QComboBox>(&w, "Combo2");
        QCOMPARE(interval->count(), 601);
        QCOMPARE(interval->itemText(600), QStringLiteral("600"));
        QCOMPARE(interval->currentText(), QStringLiteral("0"));
        QComboBox *choices = control<QComboBox>(&w, "Combo4");
        QCOMPARE(choices->count(), 3);
        QCOMPARE(choices->currentIndex(), 0);
        QVERIFY(control<QRadioButton>(&w, "Option3")->isChecked());
        QCOMPARE(control<QRadioButton>(&w, "Option3")->text(), QStringLiteral("重命名"));
        QCOMPARE(w.session().sameName, DuplicateNamePolicy::Rename);
        for (const char *box : {"Check3", "Check4", "Check5", "Check6"})
            QVERIFY2(!control<QCheckBox>(&w, box)->isChecked(), box);
        QVERIFY(!control<QLabel>(&w, "Shape1")->isVisible());
        QCOMPARE(control<QLabel>(&w, "Label1")->text(), QStringLiteral("0条"));
        QCOMPARE(w.ListView3->toolTip(), QStringLiteral("双击鼠标：下载当前项或者打开文件"));
        QCOMPARE(w.ListView3->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(!w.menuAction(QStringLiteral("menu自动定位到下载项"))->isChecked());
        QVERIFY(w.scheduler().timer1().isActive());
        QVERIFY(!w.scheduler().isRunning());
        for (int i = 1; i <= 4; ++i)
            QCOMPARE(w.Panel[i]->parent(), w.findChild<QStatusBar *>(QStringLiteral("StatusBar1")));
    }

    void opensWithTheStoredChoices_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("threadIndex");
        QTest::addColumn<QString>("sameName");
        QTest::addColumn<bool>("threadsEnabled");
        QTest::addColumn<int>("threads");
        QTest::addColumn<QString>("option");
        QTest::newRow("mode 1 ignores the stored threads") << "1" << "4" << "跳过" << false << 1 << "Option1";
        QTest::newRow("mode 2 with five threads") << "2" << "4" << "覆盖" << true << 5 << "Option2";
        QTest::newRow("unreadable thread index") << "2" << "nine" << "重命名" << true << 1 << "Option3";
        QTest::newRow("thread index outside the box") << "2" << "6" << "abc" << true << 1 << "Option3";
    }
    void opensWithTheStoredChoices()
    {
        QFETCH(QString, mode);
        QFETCH(QString, threadIndex);
        QFETCH(QString, sameName);
        SaveSetting(K::Settings, K::DownloadMode, mode);
        SaveSetting(K::Download, K::Threads, threadIndex);
        SaveSetting(K::PatentDownload, K::DuplicateFileName, sameName);
        fFileDownload w;
        QCOMPARE(control<QLabel>(&w, "Label7")->text(), QStringLiteral("下载方式：") + mode);
        QTEST(control<QComboBox>(&w, "Combo1")->isEnabled(), "threadsEnabled");
        QTEST(w.scheduler().threadCount(), "threads");
        QFETCH(QString, option);
        QVERIFY(control<QRadioButton>(&w, option.toUtf8().constData())->isChecked());
        QCOMPARE(w.session().sameName, DuplicateNamePolicyFromCaption(sameName));
    }

    void controlsDriveTheScheduler()
    {
        fFileDownload w;
        w.show();
        Scheduler &s = w.scheduler();
        control<QComboBox>(&w, "Combo2")->setCurrentIndex(5);
        QCOMPARE(s.interval(), 5);
        control<QComboBox>(&w, "Combo1")->setCurrentIndex(5);
        QCOMPARE(s.threadCount(), 6);
        control<QCheckBox>(&w, "Check4")->click();
        QVERIFY(s.autoStart());
        control<QCheckBox>(&w, "Check3")->click();
        control<QComboBox>(&w, "Combo4")->setCurrentIndex(2);
        QVERIFY(s.autoRedownload());
        QCOMPARE(s.redownloadChoice(), 2);
        control<QCheckBox>(&w, "Check5")->click();
        QVERIFY(s.stopOnErrors());
        control<QCheckBox>(&w, "Check6")->click();
        QVERIFY(w.session().soundNotices);
        control<QRadioButton>(&w, "Option1")->click();
        QCOMPARE(w.session().sameName, DuplicateNamePolicy::Skip);
        w.menuAction(QStringLiteral("menu自动定位到下载项"))->trigger();
        QVERIFY(w.session().autoLocate);

        // Switching always goes back to one thread.
        click(&w, "Command26");
        QCOMPARE(control<QLabel>(&w, "Label7")->text(), QStringLiteral("下载方式：1"));
        QVERIFY(!control<QComboBox>(&w, "Combo1")->isEnabled());
        QCOMPARE(control<QComboBox>(&w, "Combo1")->currentText(), QStringLiteral("1"));
        QCOMPARE(s.threadCount(), 1);
        click(&w, "Command26");
        QCOMPARE(control<QLabel>(&w, "Label7")->text(), QStringLiteral("下载方式：2"));
        QVERIFY(control<QComboBox>(&w, "Combo1")->isEnabled());
        QCOMPARE(s.threadCount(), 1);

        // Start shows the indicator at the next supervision; stop unticks
        // the two automatic options.
        w.list().add(QStringLiteral("http://127.0.0.1:9/a.pdf"), QStringLiteral("a"), QStringLiteral("pdf"), home->folder("save"));
        click(&w, "Command4");
        QVERIFY(s.isRunning());
        s.timer1Tick();
        QVERIFY(control<QLabel>(&w, "Shape1")->isVisible());
        click(&w, "Command31");
        QVERIFY(!s.isRunning());
        QVERIFY(!control<QCheckBox>(&w, "Check4")->isChecked());
        QVERIFY(!control<QCheckBox>(&w, "Check3")->isChecked());
        s.timer1Tick();
        QVERIFY(!control<QLabel>(&w, "Shape1")->isVisible());
    }

    // The options dialog's OK reaches an open download window: its mode
    // label, its thread box, and through them the scheduler.
    void optionsDialogUpdatesTheWindow()
    {
        fFileDownload w;
        w.show();
        QCOMPARE(w.scheduler().threadCount(), 3);
        fOption toOne(&w);
        toOne.Option1->click();
        toOne.Command1_Click();
        QCOMPARE(control<QLabel>(&w, "Label7")->text(), QStringLiteral("下载方式：1"));
        QVERIFY(!control<QComboBox>(&w, "Combo1")->isEnabled());
        QCOMPARE(w.scheduler().mode(), 1);
        fOption toTwo(&w);
        toTwo.Option2->click();
        toTwo.Command1_Click();
        QCOMPARE(control<QLabel>(&w, "Label7")->text(), QStringLiteral("下载方式：2"));
        QVERIFY(control<QComboBox>(&w, "Combo1")->isEnabled());
        QCOMPARE(w.scheduler().threadCount(), 1);
        QCOMPARE(w.scheduler().mode(), 2);
    }

    // The panel across the top, the list below it, both the client width
    // less 20 px; the list down to 9 px above the status bar.
    void resizePlacesPanelAndList()
    {
        fFileDownload w;
        w.showNormal();
        w.resize(900, 600);
        QTest::qWait(0);
        QResizeEvent resize(w.size(), w.size());
        QApplication::sendEvent(&w, &resize);
        const QWidget *area = w.centralWidget();
        const QRect panel = w.Picture3->geometry();
        const QRect list = w.ListView3->geometry();
        QCOMPARE(panel.topLeft(), QPoint(1, 1));
        QCOMPARE(panel.width(), area->width() - 20);
        QCOMPARE(list.left(), 1);
        QCOMPARE(list.top(), panel.bottom() + 1);
        QCOMPARE(list.width(), panel.width());
        QCOMPARE(list.bottom() + 1 + 9, area->height());
    }

    void autoLocateScrollsToTheStartedRow()
    {
        fFileDownload w;
        w.show();
        const QString folder = home->folder("save");
        for (int i = 0; i < 500; ++i)
            w.list().add(QStringLiteral("http://127.0.0.1:9/%1.pdf").arg(i), QString::number(i), QStringLiteral("pdf"), folder);
        QTest::qWait(0);
        const QModelIndex last = w.list().index(499, 0);
        w.session().locate(w.list().at(499)); // the mark is off: nothing moves
        QVERIFY(!w.ListView3->viewport()->rect().contains(w.ListView3->visualRect(last).center()));
        w.menuAction(QStringLiteral("menu自动定位到下载项"))->trigger();
        w.session().locate(w.list().at(499));
        QVERIFY(w.ListView3->viewport()->rect().contains(w.ListView3->visualRect(last).center()));
    }

    void menusInTheirOrder()
    {
        fFileDownload w;
        const QList<QAction *> bar = w.menuBar()->actions();
        QCOMPARE(bar.size(), 2);
        QCOMPARE(bar[0]->text(), QStringLiteral("列表操作(&D)"));
        QCOMPARE(bar[1]->text(), QStringLiteral("工具(&T)"));
        const QStringList expected = {
            "menu全选专利列表:全选", "menu全不选:全不选", "menu随机排序列表:随机排序列表(打乱)", "menu自动列宽:自动调整列宽", "-",
            "menu重新下载:重新下载[menu重新下载选中项:选中项,menu重新下载出错项:出错项,"
            "menu重新下载文件类型为HTM和HTML项:网页类型文件(HTM/HTML/xml)项,"
            "menu重新下载出错项和网页项:重新下载出错项和网页类型文件项,"
            "menu重新下载文件大小小于指定数字的项:文件大小小于指定数字的项]",
            "-",
            "menu清除:清除[menu清除选中项:选中项,menu清除全部出错项:全部出错项,menu清除完成项:完成项]",
            "menu清空:清空",
            "menu删除:删除文件[menu删除网页类型文件项:网页类型文件(HTM/HTML/xml)项,menu删除出错项:出错项]", "-",
            "menu下载全部:开始下载", "menu停止下载:停止下载", "menu取消下载选中项:取消下载选中项", "-",
            "menu打开下载文件:打开下载文件", "menu打开文件所在文件夹:打开所在文件夹", "menu用记事本打开文件:用记事本打开文件", "-",
            "menu复制名称:复制名称", "menu批量替换网址:批量替换网址",
            "menu导出名称:导出名称[menu导出全部名称:全部,menu导出未完成项名称:未完成项]", "-",
            "menu退出本下载窗口:关闭本下载窗口",
        };
        QCOMPARE(entries(w.menuList), expected);
        QCOMPARE(entries(w.menuTools), QStringList({"设置:设置", "menu自动定位到下载项:自动定位到下载项"}));
    }

    void popupFollowsTheScheduler()
    {
        fFileDownload w;
        w.show();
        auto enabled = [&w] {
            QStringList on;
            for (const char *name : {"menu清除", "menu清空", "menu全选专利列表", "menu停止下载"})
                if (w.menuAction(QString::fromUtf8(name))->isEnabled())
                    on << QString::fromUtf8(name);
            return on;
        };
        w.preparePopupMenu();
        QCOMPARE(enabled(), QStringList({"menu清除", "menu清空", "menu全选专利列表"}));
        w.scheduler().start();
        // A right press in the list prepares the menu before it opens.
        QTest::mousePress(w.ListView3->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(enabled(), QStringList({"menu停止下载"}));
        w.menuList->hide();
        w.scheduler().stop();
    }

    void listCommandsActOnTheSelection()
    {
        MessageRecorder messages;
        fFileDownload w;
        w.show();
        const QString folder = home->folder("save");
        for (int i = 0; i < 4; ++i)
            w.list().add(QStringLiteral("http://127.0.0.1:9/%1.pdf").arg(i), QString::number(i), QStringLiteral("pdf"), folder);
        QCOMPARE(control<QLabel>(&w, "Label1")->text(), QStringLiteral("4条"));
        QCOMPARE(w.ListView3->visualRect(w.list().index(0, 0)).height(), 17); // the stripes' row height
        QVERIFY(!w.list().index(0, DownloadList::ColName).data(Qt::DecorationRole).value<QIcon>().isNull());
        w.list().setState(w.list().at(1), Failed);
        w.list().setProgress(w.list().at(1), QStringLiteral("下载失败"), QString(), QString());

        // The double click puts a failed row back into the queue.
        const QRect second = w.ListView3->visualRect(w.list().index(1, 0));
        QTest::mouseClick(w.ListView3->viewport(), Qt::LeftButton, {}, second.center());
        QTest::mouseDClick(w.ListView3->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(w.list().at(1)->state, Waiting);
        QCOMPARE(w.list().at(1)->size, QString());

        // Removing is refused while the scheduler runs, allowed afterwards.
        w.ListView3->clearSelection();
        w.ListView3->selectionModel()->select(w.list().index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w.ListView3->selectionModel()->select(w.list().index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(w.selectedRows(), QList<int>({0, 2}));
        w.scheduler().start();
        w.menuAction(QStringLiteral("menu清除选中项"))->trigger();
        QCOMPARE(messages.texts(), QStringList{"停止下载以后，才能执行此操作！"});
        QCOMPARE(w.list().count(), 4);
        w.scheduler().stop();
        w.menuAction(QStringLiteral("menu清除选中项"))->trigger();
        QCOMPARE(w.list().count(), 2);
        QCOMPARE(w.list().at(0)->name, QStringLiteral("1"));
        QCOMPARE(w.list().at(1)->name, QStringLiteral("3"));
        QCOMPARE(control<QLabel>(&w, "Label1")->text(), QStringLiteral("2条"));

        w.menuAction(QStringLiteral("menu全选专利列表"))->trigger();
        QCOMPARE(w.selectedRows(), QList<int>({0, 1}));
        w.menuAction(QStringLiteral("menu全不选"))->trigger();
        QVERIFY(w.selectedRows().isEmpty());
    }

    void closingAsksWhileWorkRemains_data()
    {
        QTest::addColumn<bool>("waitingRow");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("closed");
        QTest::newRow("empty list closes at once") << false << false << false << true;
        QTest::newRow("waiting row, answered No") << true << false << true << false;
        QTest::newRow("waiting row, answered Yes") << true << true << true << true;
    }
    void closingAsksWhileWorkRemains()
    {
        QFETCH(bool, waitingRow);
        QFETCH(bool, answer);
        MessageRecorder messages;
        messages.answers = {answer};
        fFileDownload w;
        w.show();
        control<QRadioButton>(&w, "Option2")->click();
        control<QComboBox>(&w, "Combo1")->setCurrentIndex(4);
        if (waitingRow)
            w.list().add(QStringLiteral("http://127.0.0.1:9/a.pdf"), QStringLiteral("a"), QStringLiteral("pdf"), home->folder("s"));
        const bool closed = w.close();
        QTEST(closed, "closed");
        QTEST(messages.count(QStringLiteral("正在下载文件或者下载没有完成，要强制关闭窗口吗？")) == 1, "asked");
        // The same-name choice and the mode are stored even when the closing is refused.
        QCOMPARE(GetSetting(K::PatentDownload, K::DuplicateFileName), QStringLiteral("覆盖"));
        QCOMPARE(GetSetting(K::Settings, K::DownloadMode), QStringLiteral("2"));
        QCOMPARE(GetSetting(K::Download, K::Threads), closed ? QStringLiteral("4") : QString());
        QCOMPARE(w.scheduler().timer1().isActive(), !closed);
        QCOMPARE(GetSetting(K::FileDownload, K::Resolution).isEmpty(), !closed);
    }

    void dropDownFitsItsLongestEntry()
    {
        QComboBox box;
        box.move(0, 0);
        box.addItems({"a", "the longest entry", "bb", "the longest entrz"});
        const int text = QFontMetrics(box.font()).horizontalAdvance(QStringLiteral("the longest entry"));
        QCOMPARE(FittedDropDownWidth(&box), text + 7);
        for (int i = 0; i < 4; ++i)
            box.addItem(QStringLiteral("x"));
        QCOMPARE(FittedDropDownWidth(&box), text + 7); // eight entries: no scroll bar yet
        box.addItem(QStringLiteral("x"));
        QCOMPARE(FittedDropDownWidth(&box), text + 7 + box.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &box));
        FitDropDownWidth(&box);
        QCOMPARE(box.view()->minimumWidth(), FittedDropDownWidth(&box));
    }

    void fetchesARowInEitherMode_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("mode 1") << "1";
        QTest::newRow("mode 2") << "2";
    }
    void fetchesARowInEitherMode()
    {
        QFETCH(QString, mode);
        SaveSetting(K::Settings, K::DownloadMode, mode);
        HttpTestServer server;
        QVERIFY(server.listen());
        const QByteArray pdf = "%PDF-1.4\n" + HttpTestServer::pattern(0, 3000) + "\n%%EOF\n";
        server.route("/paper.pdf", ScriptedResponse::ok(pdf, "application/pdf"));
        fFileDownload w;
        w.show();
        const QString folder = home->folder("save") + QLatin1Char('/');
        w.list().add(server.urlString("/paper.pdf"), QStringLiteral("paper"), QStringLiteral("pdf"), folder);
        click(&w, "Command4");
        w.scheduler().timerDownTick();
        QTRY_COMPARE(w.list().at(0)->state, Finished);
        QCOMPARE(w.list().at(0)->percent, QStringLiteral("100%"));
        QFile file(folder + QStringLiteral("paper.pdf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), pdf);
        QCOMPARE(w.Panel[2]->text(), QStringLiteral("完成下载:paper"));
        w.scheduler().timer1Tick();
        QVERIFY(!w.scheduler().isRunning());
        QCOMPARE(w.Panel[4]->text(), QStringLiteral("总数:1 正在下载:0 等待:0 已完成:1 失败:0"));
    }
};

VELMORA_UI_TEST_MAIN(TestFileDownload)
#include "tst_ffiledownload.moc"
