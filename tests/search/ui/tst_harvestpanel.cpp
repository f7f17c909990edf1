// The harvest list's widgets through their controls: the count label, the
// menu "清除(&C)" with its input boxes and question, the list's pop-up, the
// export button, and the hand-off into a loaded and a not-yet-loaded
// download window.
#include "app/codecs.h"
#include "app/settings.h"
#include "app/ui/windowhelpers.h"
#include "queue/downloadlist.h"
#include "queue/savelocation.h"
#include "queue/ui/ffiledownload.h"
#include "search/ui/harvestpanel.h"
#include "support/messagerecorder.h"
#include "support/testfiles.h"
#include "support/uitestmain.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

#include <memory>

namespace {

QStringList titles(const HarvestList &list)
{
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.at(i).title;
    return out;
}

// Four rows; the second was handed over already.
void fill(HarvestList &list)
{
    list.加入LV1("Alpha ABC", "http://h/1", "article");
    list.加入LV1("beta abc", "http://h/2", "PDF");
    list.加入LV1("Gamma", "http://h/3", "PDF");
    list.加入LV1("Delta", "http://h/4", "article");
    list.setStatus(1, HarvestText::Succeeded);
}

QString nameOf(const DownloadList &list, const QString &url)
{
    const ItemRef item = list.find(url);
    return item ? item->name : QStringLiteral("<missing>");
}

} // namespace

class TestHarvestPanel : public QObject {
    Q_OBJECT
    std::unique_ptr<TempHome> home;

private slots:
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

    void listAndCountLabel()
    {
        HarvestPanel p;
        p.show();
        QCOMPARE(p.Label1->text(), QStringLiteral("0"));
        QCOMPARE(p.findChild<QLabel *>("Label1"), p.Label1);
        QCOMPARE(p.findChild<QTreeView *>("ListView1"), p.ListView1);
        QCOMPARE(p.Command7->text(), QStringLiteral("导出数据..."));
        QVERIFY(p.ListView1->uniformRowHeights());
        QCOMPARE(p.ListView1->editTriggers(), QAbstractItemView::NoEditTriggers);
        QStringList headers;
        for (int c = 0; c < p.ListView1->header()->count(); ++c)
            headers << p.ListView1->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, (QStringList{"标题", "类型", "分析状态"}));

        fill(p.list());
        QVERIFY(!p.list().加入LV1("other title", "http://h/3", "article")); // listed already
        QCOMPARE(p.Label1->text(), QStringLiteral("4"));
        QCOMPARE(p.list().at(2).title, QStringLiteral("Gamma"));
        QCOMPARE(p.ListView1->model()->index(0, 1).data().toString(), QStringLiteral("htm"));
        QCOMPARE(p.ListView1->model()->index(1, 2).data().toString(), QStringLiteral("成功"));
    }

    // Each command of the menu on the four rows of fill(): the rows left,
    // the count label, and what was asked.
    void removalCommands_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QStringList>("inputs"); // a null entry cancels the box
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QStringList>("asked");

        const QString prompt = QStringLiteral("请指定字符：");
        const QString question = QStringLiteral("您确定要清空辛辛苦苦搜索的列表数据吗？");
        const QStringList all{"Alpha ABC", "beta abc", "Gamma", "Delta"};
        QTest::newRow("selected rows") << "menu清除选中项" << QList<int>{0, 2} << QStringList() << true
                                       << QStringList{"beta abc", "Delta"} << QStringList();
        QTest::newRow("every row selected") << "menu清除选中项" << QList<int>{0, 1, 2, 3} << QStringList() << true
                                            << QStringList() << QStringList();
        QTest::newRow("nothing selected") << "menu清除选中项" << QList<int>{} << QStringList() << true << all
                                          << QStringList();
        QTest::newRow("title contains, any case") << "menu清除标题含指定字符项" << QList<int>{} << QStringList{"aBc"}
                                                  << true << QStringList{"Gamma", "Delta"} << QStringList{prompt};
        QTest::newRow("title does not contain") << "menu清除标题不含指定字符项" << QList<int>{} << QStringList{"ABC"}
                                                << true << QStringList{"Alpha ABC", "beta abc"} << QStringList{prompt};
        QTest::newRow("filter cancelled") << "menu清除标题不含指定字符项" << QList<int>{} << QStringList{QString()}
                                          << true << all << QStringList{prompt};
        QTest::newRow("filter empty") << "menu清除标题含指定字符项" << QList<int>{} << QStringList{""} << true << all
                                      << QStringList{prompt};
        QTest::newRow("succeeded rows") << "menu清除分析成功项" << QList<int>{} << QStringList() << true
                                        << QStringList{"Alpha ABC", "Gamma", "Delta"} << QStringList();
        QTest::newRow("clear all, yes") << "menu清除全部" << QList<int>{} << QStringList() << true << QStringList()
                                        << QStringList{question};
        QTest::newRow("clear all, no") << "menu清除全部" << QList<int>{} << QStringList() << false << all
                                       << QStringList{question};
    }
    void removalCommands()
    {
        QFETCH(QString, action);
        QFETCH(QList<int>, selected);
        QFETCH(QStringList, inputs);
        QFETCH(bool, answer);
        QFETCH(QStringList, left);
        QFETCH(QStringList, asked);
        MessageRecorder recorder;
        recorder.inputs = inputs;
        recorder.answers = {answer};
        HarvestPanel p;
        p.show();
        fill(p.list());
        for (int row : selected)
            p.ListView1->selectionModel()->select(p.list().index(row, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QAction *command = p.menuAction(action);
        QVERIFY(command);
        QCOMPARE(command->parent(), p.menu清除);
        command->trigger();
        QCOMPARE(titles(p.list()), left);
        QCOMPARE(p.Label1->text(), QString::number(left.size()));
        QCOMPARE(recorder.prompts + recorder.texts(), asked);
        QVERIFY(p.ListView1->isVisible());
        for (int i = 0; i < p.list().count(); ++i) // the index follows the rows that are left
            QCOMPARE(p.list().indexOfUrl(p.list().at(i).url), i);
    }

    void menuOnAnEmptyListAsksNothing()
    {
        MessageRecorder recorder;
        recorder.inputs = {"a", "a"};
        HarvestPanel p;
        for (const char *name : {"menu清除选中项", "menu清除标题含指定字符项", "menu清除标题不含指定字符项", "menu清除分析成功项"})
            p.menuAction(QString::fromUtf8(name))->trigger();
        QVERIFY(recorder.prompts.isEmpty());
        QVERIFY(recorder.messages.isEmpty());
        QCOMPARE(p.Label1->text(), QStringLiteral("0"));
    }

    void menuHasTheFiveCommandsAndIsTheListsPopup()
    {
        HarvestPanel p;
        p.show();
        QCOMPARE(p.menu清除->title(), QStringLiteral("清除(&C)"));
        QStringList captions;
        for (QAction *a : p.menu清除->actions())
            if (!a->isSeparator())
                captions << a->objectName() + ":" + a->text();
        QCOMPARE(captions, (QStringList{"menu清除选中项:清除选中项", "menu清除标题含指定字符项:清除标题含指定字符项",
                                        "menu清除标题不含指定字符项:清除标题不含指定字符项",
                                        "menu清除分析成功项:清除分析成功项", "menu清除全部:清空全部"}));

        fill(p.list());
        p.ListView1->selectionModel()->select(p.list().index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::mousePress(p.ListView1->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        QTRY_VERIFY(p.menu清除->isVisible());
        // The right press opens the menu without changing the selection it acts on.
        QCOMPARE(p.selectedRows(), QList<int>{3});
        p.menu清除->hide();
        QTest::mousePress(p.ListView1->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!p.menu清除->isVisible());
    }

    void exportWritesTheListAndReportsTheSize()
    {
        MessageRecorder recorder;
        HarvestPanel p;
        p.list().加入LV1(QStringLiteral("肿瘤免疫\r\n研究"), "http://h/a.pdf", "PDF");
        p.list().加入LV1(QStringLiteral("细胞"), "http://h/a", "article");
        p.list().setStatus(1, HarvestText::Succeeded);
        const QString path = home->path() + "/列表.txt";
        writeFile(path, QByteArray(5000, 'x')); // replaced
        int asked = 0;
        p.chooseExportFile = [&] {
            ++asked;
            return path;
        };
        p.Command7->click();
        QCOMPARE(asked, 1);
        // Titles without their line breaks, GBK, CR LF after every line.
        const QByteArray expected = QByteArray("\xD6\xD7\xC1\xF6\xC3\xE2\xD2\xDF\xD1\xD0\xBE\xBF"
                                               "-\xA1\xBEPDF\xA1\xBF\r\n"
                                               "\xCF\xB8\xB0\xFB"
                                               "-\xA1\xBEhtm\xA1\xBF\xB3\xC9\xB9\xA6\r\n");
        QCOMPARE(readFile(path), expected);
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("保存文件完毕：0.0KB")});
        QCOMPARE(recorder.messages.first().kind, Msg::Kind::Information);
    }

    void exportGuardsAndFailures()
    {
        MessageRecorder recorder;
        HarvestPanel p;
        QString answer;
        int asked = 0;
        p.chooseExportFile = [&] {
            ++asked;
            return answer;
        };
        p.Command7->click(); // empty list: no dialog
        QCOMPARE(asked, 0);

        p.list().加入LV1("t", "http://h/t", "PDF");
        p.Command7->click(); // dialog cancelled
        QCOMPARE(asked, 1);
        answer = home->path() + "/missing/folder/x.txt"; // cannot be written
        p.Command7->click();
        QCOMPARE(asked, 2);
        QVERIFY(!QFileInfo::exists(answer));
        QVERIFY(recorder.messages.isEmpty());
    }

    // The first hand-off loads the download window without showing it; rows
    // are named by title or by the URL's own name, in the chosen folder; a
    // URL listed already changes nothing; 显示下载窗口 brings the window up.
    void handOffLoadsTheDownloadWindowHidden()
    {
        QVERIFY(!fFileDownload::instance());
        显示下载窗口(true); // nothing loaded: nothing happens
        QVERIFY(!fFileDownload::instance());
        QVERIFY(!IsFormLoaded("fFileDownload"));

        // The save-location dialog's OK, as the analysis runs it first.
        const QString folder = home->path() + "/save/";
        QStringList history;
        QVERIFY(acceptSaveLocation(folder, false, history));
        QVERIFY(加入下载列表("http://h/articles/PMC1/", QStringLiteral("  肿瘤\r\n免疫 \n"), "htm"));
        fFileDownload *w = fFileDownload::instance();
        QVERIFY(w);
        QVERIFY(IsFormLoaded("fFileDownload"));
        QVERIFY(!w->isVisible());
        QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));

        Program().UseOriginalFileName = true;
        QVERIFY(加入下载列表("http://h/files/file.pdf", "Some title", "PDF"));
        QVERIFY(加入下载列表("http://h/articles/PMC9/pdf/", "Some title", "PDF")); // nothing after the last "/"
        QVERIFY(!加入下载列表("http://h/files/file.pdf", "Other", "htm"));
        QCOMPARE(fFileDownload::instance(), w);

        const DownloadList &list = w->list();
        QCOMPARE(list.count(), 3);
        QCOMPARE(nameOf(list, "http://h/articles/PMC1/"), QStringLiteral("肿瘤免疫"));
        QCOMPARE(nameOf(list, "http://h/files/file.pdf"), QStringLiteral("file"));
        QCOMPARE(nameOf(list, "http://h/articles/PMC9/pdf/"), QStringLiteral("PMC9"));
        const ItemRef pdf = list.find("http://h/files/file.pdf");
        QCOMPARE(pdf->type, QStringLiteral("PDF"));
        QCOMPARE(pdf->folder, folder);
        QCOMPARE(pdf->state, Waiting);
        QVERIFY(pdf->size.isEmpty() && pdf->percent.isEmpty() && pdf->referer.isEmpty());
        QCOMPARE(w->Label1->text(), QStringLiteral("3条"));
        QVERIFY(!w->isVisible());

        w->showMinimized();
        w->hide();
        显示下载窗口(true);
        QVERIFY(w->isVisible());
        QVERIFY(!w->isMinimized());
    }

    // A window the user opened takes the rows; once it is closed the next
    // hand-off loads a fresh one with an empty list.
    void handOffIntoALoadedWindow()
    {
        MessageRecorder recorder;
        QStringList history;
        QVERIFY(acceptSaveLocation(home->path() + "/save", false, history));
        auto *opened = new fFileDownload;
        opened->setAttribute(Qt::WA_DeleteOnClose);
        opened->show();
        QCOMPARE(fFileDownload::instance(), opened);
        QVERIFY(加入下载列表("http://h/1.pdf", "One", "PDF"));
        QCOMPARE(opened->list().count(), 1);
        QCOMPARE(nameOf(opened->list(), "http://h/1.pdf"), QStringLiteral("One"));
        显示下载窗口(false);
        QVERIFY(opened->isVisible());

        const QPointer<fFileDownload> alive(opened);
        QVERIFY(opened->close());
        QVERIFY(!fFileDownload::instance());
        QVERIFY(加入下载列表("http://h/2.pdf", "Two", "PDF"));
        fFileDownload *fresh = fFileDownload::instance();
        QVERIFY(fresh && fresh != opened);
        QCOMPARE(fresh->list().count(), 1);
        QVERIFY(!fresh->isVisible());
        QTRY_VERIFY(!alive); // the closed one goes on its own
    }
};

VELMORA_UI_TEST_MAIN(TestHarvestPanel)
#include "tst_harvestpanel.moc"
