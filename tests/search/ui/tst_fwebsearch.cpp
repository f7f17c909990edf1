// The search window through its controls: loading and closing with the
// delay setting, the menus, the address box and its https rule, back and
// forward, the status bar, the size and splitter rules, the paging button,
// and the analysis commands with their progress panel, stop and close.
#include "app/messages.h"
#include "app/settings.h"
#include "queue/downloadlist.h"
#include "queue/ui/ffiledownload.h"
#include "queue/ui/fselefilesavepath.h"
#include "search/analysis.h"
#include "search/harvestlist.h"
#include "search/pagingrun.h"
#include "search/ui/browserpane.h"
#include "search/ui/browserview.h"
#include "search/ui/fwebsearch.h"
#include "support/httptestserver.h"
#include "support/messagerecorder.h"
#include "support/resultpages.h"
#include "support/uitestmain.h"
#include "support/widgettests.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <memory>

namespace K = SettingKeys;

namespace {

ScriptedResponse html(const QByteArray &body) { return ScriptedResponse::ok(body, "text/html; charset=utf-8"); }

// Chooses the folder and title naming in the save-location dialog, then OK.
void chooseFolder(const QString &folder)
{
    whenModal<fSeleFileSavePath>([folder](fSeleFileSavePath *d) {
        d->Combo1->setEditText(folder);
        d->Option2->setChecked(true);
        d->Command2->click();
    });
}

// Picks the command from Command2's pop-up as a user's click does: the
// menu closes, then the command runs.
void pickFromPopup(const QString &action)
{
    QTimer::singleShot(0, qApp, [action] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu) {
            qWarning("no pop-up menu");
            return;
        }
        QAction *chosen = menu->findChild<QAction *>(action);
        menu->hide();
        if (chosen)
            chosen->trigger();
    });
}

void fill(HarvestList &list, int rows, const QString &base = QStringLiteral("http://127.0.0.1:9/"))
{
    for (int i = 1; i <= rows; ++i)
        list.加入LV1(QStringLiteral("Paper %1").arg(i), base + QStringLiteral("p%1.pdf").arg(i), QStringLiteral("PDF"));
}

QStringList statuses(const HarvestList &list)
{
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.at(i).status;
    return out;
}

} // namespace

class TestWebSearch : public QObject {
    Q_OBJECT
    HttpTestServer server;
    std::unique_ptr<TempHome> home;

private slots:
    void initTestCase()
    {
        QVERIFY(server.listen());
        server.route("/home", html("<html><head><title>Home</title></head><body>home</body></html>"));
        server.route("/a", html("<html><body>a</body></html>"));
        server.route("/b", html("<html><body>b</body></html>"));
        // Never the real site: every window opens the local page.
        fWebSearch::setHomeUrl(QUrl(server.urlString("/home")));
    }
    void init()
    {
        home = std::make_unique<TempHome>();
        Program() = ProgramValues();
    }
    void cleanup()
    {
        delete fFileDownload::instance();
        home.reset();
    }

    void loadsWithTheStoredDelay_data()
    {
        QTest::addColumn<QString>("stored"); // null: nothing stored
        QTest::addColumn<int>("index");
        QTest::newRow("nothing stored") << QString() << 1;
        QTest::newRow("stored 5") << "5" << 5;
        QTest::newRow("last entry") << "119" << 119;
        QTest::newRow("not a number") << "abc" << 1;
        QTest::newRow("beyond the list") << "120" << 1;
        QTest::newRow("negative") << "-1" << 1;
    }
    void loadsWithTheStoredDelay()
    {
        QFETCH(QString, stored);
        QFETCH(int, index);
        if (!stored.isNull())
            SaveSetting(K::WebSearch, K::WebSearchDelay, stored);
        fWebSearch w;
        QCOMPARE(w.Combo1->count(), 120);
        QCOMPARE(w.Combo1->itemText(0), QStringLiteral("1"));
        QCOMPARE(w.Combo1->itemText(119), QStringLiteral("120"));
        QCOMPARE(w.Combo1->currentIndex(), index);
        QCOMPARE(w.paging().delaySeconds(), index + 1);
    }

    void opensHomeAndClosesWithItsFlags()
    {
        SaveSetting(K::WebSearch, K::WebSearchDelay, "4");
        fWebSearch w;
        QSignalSpy complete(&w.browser(), &BrowserPane::DocumentComplete);
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("NCBI数据检索分析-Velmora"));
        QVERIFY(w.Check1->isChecked());
        QVERIFY(w.Check2->isChecked());
        QVERIFY(w.browser().Silent());
        QVERIFY(w.PicPanPrograss->isHidden());
        QVERIFY(!w.PageLoading() && !w.StopPaging() && !w.StopAnalysis());
        QCOMPARE(w.findChild<BrowserView *>("WebBrowser1"), w.WebBrowser1);
        QCOMPARE(w.WebBrowser1->parentWidget(), w.PicPanWeb);
        QCOMPARE(w.Label2->text(), QStringLiteral("待下载列表："));
        QCOMPARE(w.Label1->text(), QStringLiteral("0"));
        QVERIFY(complete.wait(20000));
        QCOMPARE(w.browser().url(), QUrl(server.urlString("/home")));

        // The menu bar: the analysis menu hidden in front, then the others.
        QStringList bar;
        for (QAction *a : w.menuBar()->actions())
            bar << (a->isVisible() ? a->text() : "(" + a->text() + ")");
        QCOMPARE(bar, (QStringList{"(分析下载)", "浏览(&B)", "清除(&C)", "工具(&T)", "帮助(&H)"}));
        auto captions = [](QMenu *menu) {
            QStringList out;
            for (QAction *a : menu->actions())
                out << (a->isSeparator() ? "-" : a->text());
            return out;
        };
        QCOMPARE(captions(w.menu加入), (QStringList{"分析未分析项", "分析失败项", "分析选中项", "分析全部"}));
        QCOMPARE(captions(w.menu浏览),
                 (QStringList{"打开NCBI查询首页", "打开指定网址...", "-", "后退", "前进", "-", "关闭本窗口"}));
        QCOMPARE(captions(w.menu工具),
                 (QStringList{"设置", "打开下载窗口", "-", "查看IE浏览器缓存", "清空IE浏览器缓存"}));
        QCOMPARE(captions(w.menu帮助), QStringList{"关于(&A)"});

        // Tools: the options dialog is modal; the download window opens shown.
        whenModal<QDialog>([](QDialog *d) { d->reject(); });
        w.menuAction("menu设置")->trigger();
        QVERIFY(!fFileDownload::instance());
        w.menuAction("menu打开下载窗口")->trigger();
        QVERIFY(fFileDownload::instance() && fFileDownload::instance()->isVisible());

        QSignalSpy closed(&w, &fWebSearch::closed);
        w.Combo1->setCurrentIndex(9);
        w.Check2->setChecked(false);
        w.menuAction("menu关闭本窗口")->trigger();
        QCOMPARE(closed.size(), 1);
        QVERIFY(!w.isVisible());
        QVERIFY(w.StopPaging() && w.StopAnalysis());
        QCOMPARE(GetSetting(K::WebSearch, K::WebSearchDelay), QStringLiteral("9"));
        QVERIFY(fFileDownload::instance()->isVisible()); // closing leaves the download window open

        // "打开NCBI查询首页" ticks Check2 again.
        w.menuAction("menu打开NCBI查询首页")->trigger();
        QVERIFY(w.Check2->isChecked() && w.browser().Silent());
    }

    // The answer of "打开指定网址...": Check2 unticked for a secure address
    // (in any case), ticked otherwise; an empty answer goes nowhere.
    void openGivenAddress_data()
    {
        QTest::addColumn<QString>("answer"); // null: cancelled
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("goesTo");
        QTest::newRow("plain") << " " + server.urlString("/a") + "  " << true << server.urlString("/a");
        QTest::newRow("secure, capitals") << "HTTPS://127.0.0.1:1/x" << false << "https://127.0.0.1:1/x";
        QTest::newRow("secure") << "https://127.0.0.1:1/y" << false << "https://127.0.0.1:1/y";
        QTest::newRow("empty") << "   " << true << QString();
        QTest::newRow("cancelled") << QString() << true << QString();
    }
    void openGivenAddress()
    {
        QFETCH(QString, answer);
        QFETCH(bool, ticked);
        QFETCH(QString, goesTo);
        fWebSearch w;
        QSignalSpy home(&w.browser(), &BrowserPane::DocumentComplete);
        QVERIFY(home.wait(20000));
        w.Check2->setChecked(!ticked);
        QStringList asked;
        Msg::setInputHandler([&](const QString &prompt, const QString &, bool *ok) {
            asked << Msg::inputTitle() << prompt;
            *ok = !answer.isNull();
            return answer;
        });
        QSignalSpy before(&w.browser(), &BrowserPane::BeforeNavigate2);
        w.menuAction("menu打开指定网址")->trigger();
        Msg::setInputHandler({});
        QCOMPARE(asked, (QStringList{"请输入...", "请输入需要打开的网址："}));
        QCOMPARE(w.Check2->isChecked(), ticked);
        QCOMPARE(w.browser().Silent(), ticked);
        if (goesTo.isEmpty()) {
            // Navigations are asked for in order: the next one comes first.
            goesTo = server.urlString("/b");
            w.browser().Navigate(QUrl(goesTo));
        }
        QVERIFY(before.wait(20000));
        QCOMPARE(before.first().first().toUrl(), QUrl(goesTo));
    }

    void backForwardAndStatusBar()
    {
        fWebSearch w;
        w.show();
        BrowserPane &pane = w.browser();
        QSignalSpy complete(&pane, &BrowserPane::DocumentComplete);
        QVERIFY(complete.wait(20000));
        w.menuAction("menu前进")->trigger(); // nothing ahead: nothing happens
        for (const char *path : {"/a", "/b"}) {
            complete.clear();
            pane.Navigate(QUrl(server.urlString(path)));
            QVERIFY(complete.wait(20000));
        }
        w.menuAction("menu后退")->trigger();
        QTRY_COMPARE(pane.url(), QUrl(server.urlString("/a")));
        w.menuAction("menu前进")->trigger();
        QTRY_COMPARE(pane.url(), QUrl(server.urlString("/b")));

        emit pane.StatusTextChange(QStringLiteral("http://x/y"));
        QCOMPARE(w.StatusPanel2->text(), QStringLiteral("http://x/y"));
        emit pane.BeforeNavigate2(QUrl("https://www.VELMORA.org/help"));
        QVERIFY(w.StatusBar1->isHidden());
        emit pane.BeforeNavigate2(QUrl(server.urlString("/a")));
        QVERIFY(w.StatusBar1->isVisible());
    }

    void sizeAndSplitterRules()
    {
        fWebSearch w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.resize(100, 100);
        QCOMPARE(w.size(), QSize(600, 334)); // 9000 x 5000 twips
        w.resize(900, 700);
        QTRY_COMPARE(w.size(), QSize(900, 700));
        QWidget *client = w.centralWidget();
        auto checkPanes = [&] {
            QCOMPARE(w.PicPanWeb->geometry().bottom() + 1, w.PicBar->y());
            QCOMPARE(w.PicPanList->y(), w.PicBar->geometry().bottom() + 1);
            QCOMPARE(w.PicPanWeb->width(), w.PicBar->width());
            QCOMPARE(w.PicPanList->width(), w.PicBar->width());
            QVERIFY(w.PicPanList->geometry().bottom() < client->height());
            QCOMPARE(w.WebBrowser1->pos(), QPoint(0, 0));
            QCOMPARE(w.WebBrowser1->width(), w.PicPanWeb->width() - 1);
        };
        checkPanes();

        auto drag = [&](int dy) {
            const QPointF in(10, 2);
            QMouseEvent press(QEvent::MouseButtonPress, in, w.PicBar->mapToGlobal(in), Qt::LeftButton, Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(w.PicBar, &press);
            const QPointF to(10, 2 + dy);
            QMouseEvent move(QEvent::MouseMove, to, w.PicBar->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(w.PicBar, &move);
            QMouseEvent release(QEvent::MouseButtonRelease, to, w.PicBar->mapToGlobal(to), Qt::LeftButton,
                                Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(w.PicBar, &release);
        };
        const int top = w.splitterTop();
        drag(-40);
        QCOMPARE(w.splitterTop(), top - 40 + 2); // the pointer's offset within the bar
        checkPanes();
        drag(client->height()); // into the bottom strip
        QCOMPARE(w.splitterTop(), client->height() * 4 / 5);
        checkPanes();
        drag(-client->height()); // above the web pane
        QCOMPARE(w.splitterTop(), client->height() * 4 / 5);

        // The progress panel sits in the middle of the list pane, over the list.
        w.PicPanPrograss->show();
        w.resize(1000, 760);
        QTRY_COMPARE(w.size(), QSize(1000, 760));
        const QPoint centre = w.PicPanPrograss->geometry().center();
        QVERIFY(qAbs(centre.x() - w.PicPanList->width() / 2) <= 1);
        QVERIFY(qAbs(centre.y() - w.PicPanList->height() / 2) <= 1);
    }

    void pagingButtonShowsItsRun()
    {
        server.route("/p1", html(ResultPages::classicPage(1, 3, "/p2", {}, server.url(""))));
        ScriptedResponse stalled;
        stalled.silent = true;
        server.route("/p2", stalled);
        fWebSearch::setHomeUrl(QUrl(server.urlString("/p1")));
        fWebSearch w;
        fWebSearch::setHomeUrl(QUrl(server.urlString("/home")));
        w.show();
        QSignalSpy complete(&w.browser(), &BrowserPane::DocumentComplete);
        QVERIFY(complete.wait(20000));

        w.Command9->click(); // this page only
        QTRY_COMPARE(w.Label1->text(), QStringLiteral("3"));
        QCOMPARE(w.list().at(0).url, server.urlString("/pmc/articles/PMC1/pdf/paper1.pdf"));

        const QColor normal = w.Command4->palette().color(QPalette::Button);
        w.Command4->click();
        QCOMPARE(w.Command4->text(), QStringLiteral("停止加入全部"));
        QCOMPARE(w.Command4->palette().color(QPalette::Button), QColor(255, 0, 0));
        QTRY_VERIFY_WITH_TIMEOUT(w.PageLoading(), 20000); // the next page never comes
        QSignalSpy finished(&w.paging(), &PagingRun::finished);
        w.Command4->click();
        QVERIFY(finished.wait(5000));
        QCOMPARE(w.Command4->text(), QStringLiteral("加入全部到列表"));
        QCOMPARE(w.Command4->palette().color(QPalette::Button), normal);
    }

    void analyseFromThePopup()
    {
        MessageRecorder messages;
        fWebSearch w;
        w.show();
        w.Command2->click(); // an empty list: a message and no menu
        QCOMPARE(messages.texts(), QStringList{"列表没有数据哦！"});
        QVERIFY(w.Command2->isEnabled());

        fill(w.list(), 4);
        w.list().加入LV1("Script link", "javascript:void(0)", "PDF");
        w.analysis().setSliceMilliseconds(0); // one row per turn, so the panel is seen
        bool panelShown = false;
        connect(&w.analysis(), &Analysis::progress, &w, [&](const QString &text) {
            if (text.startsWith("正在分析第"))
                panelShown = w.PicPanPrograss->isVisible() && w.Label11->text() == text && !w.Command2->isEnabled();
        });
        const QString folder = home->folder("papers");
        chooseFolder(folder);
        pickFromPopup("menu全部加入");
        QSignalSpy finished(&w.analysis(), &Analysis::finished);
        w.Command2->click();
        QVERIFY(finished.count() == 1 || finished.wait(10000));
        QVERIFY(panelShown);
        QVERIFY(w.PicPanPrograss->isHidden());
        QVERIFY(w.Command2->isEnabled());
        QCOMPARE(statuses(w.list()), (QStringList{"成功", "成功", "成功", "成功", "分析失败"}));
        fFileDownload *downloads = fFileDownload::instance();
        QVERIFY(downloads && downloads->isVisible());
        QCOMPARE(downloads->list().count(), 4);
        const ItemRef first = downloads->list().at(0);
        QCOMPARE(first->key, QStringLiteral("http://127.0.0.1:9/p1.pdf"));
        QCOMPARE(first->name, QStringLiteral("Paper 1"));
        QCOMPARE(first->folder, folder + "/");
        QCOMPARE(first->state, Waiting);
        QCOMPARE(messages.texts(), QStringList{"列表没有数据哦！"});
    }

    void stopAndCloseDuringARun()
    {
        fWebSearch w;
        w.show();
        fill(w.list(), 100);
        w.analysis().setSliceMilliseconds(0);
        // Command5 is pressed while the third row is handled.
        connect(&w.analysis(), &Analysis::progress, &w, [&](const QString &text) {
            if (text == Analysis::progressText(3))
                w.Command5->click();
        });
        chooseFolder(home->folder("a"));
        QSignalSpy finished(&w.analysis(), &Analysis::finished);
        w.menuAction("menu分析未分析项")->trigger();
        QVERIFY(finished.wait(10000));
        QCOMPARE(fFileDownload::instance()->list().count(), 3);
        QCOMPARE(statuses(w.list()).mid(0, 4), (QStringList{"成功", "成功", "成功", ""}));
        QVERIFY(w.PicPanPrograss->isHidden());
        QVERIFY(fFileDownload::instance()->isVisible());

        // Closing the window stops the run; the download window with the
        // rows handed over so far comes into view.
        fFileDownload::instance()->hide();
        disconnect(&w.analysis(), &Analysis::progress, &w, nullptr);
        connect(&w.analysis(), &Analysis::progress, &w, [&](const QString &text) {
            if (text == Analysis::progressText(10))
                w.close();
        });
        chooseFolder(home->folder("b"));
        w.menuAction("menu分析未分析项")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 10000);
        QVERIFY(w.StopAnalysis());
        QVERIFY(!w.analysis().isRunning());
        QVERIFY(fFileDownload::instance()->isVisible());
        QCOMPARE(fFileDownload::instance()->list().count(), 10);
        QCOMPARE(statuses(w.list()).count("成功"), 10);
    }
};

VELMORA_UI_TEST_MAIN(TestWebSearch)
#include "tst_fwebsearch.moc"
