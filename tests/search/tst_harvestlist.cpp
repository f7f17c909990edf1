#include "app/settings.h"
#include "queue/downloadlist.h"
#include "search/handoff.h"
#include "search/harvestlist.h"
#include "support/messagerecorder.h"
#include "support/testfiles.h"
#include "support/testhome.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

struct Seed {
    QString title;
    QString status;
};
Q_DECLARE_METATYPE(Seed)

namespace {

// Rows u0, u1, ... with the given titles and statuses.
void fill(HarvestList &list, const QList<Seed> &seeds)
{
    for (int i = 0; i < seeds.size(); ++i) {
        list.加入LV1(seeds[i].title, QStringLiteral("http://h/u%1").arg(i), QStringLiteral("PDF"));
        list.setStatus(i, seeds[i].status);
    }
}

QStringList titles(const HarvestList &list)
{
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.at(i).title;
    return out;
}

QStringList titles(const QList<Seed> &seeds)
{
    QStringList out;
    for (const Seed &seed : seeds)
        out << seed.title;
    return out;
}

const QString Ok = QStringLiteral("成功");
const QString AnalysisFailed = QStringLiteral("分析失败");

} // namespace

class TestHarvestList : public QObject {
    Q_OBJECT
private slots:
    void addKeepsTheFirstRowOfAUrl()
    {
        HarvestList list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy counts(&list, &HarvestList::countChanged);
        QStringList headers;
        for (int c = 0; c < list.columnCount(); ++c)
            headers << list.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(headers, (QStringList{"标题", "类型", "分析状态"}));
        QCOMPARE(list.countLabelText(), QString("0"));

        QVERIFY(list.加入LV1("Title A", "http://h/a", "article"));
        QVERIFY(list.加入LV1(QStringLiteral("标题 B"), "http://h/b.pdf", "PDF"));
        QVERIFY(!list.加入LV1("Other", "http://h/a", "PDF")); // not even title or type change
        QVERIFY(!list.加入LV1("No URL", "", "PDF"));
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.at(0).title, QString("Title A"));
        QCOMPARE(list.at(0).type, QString("htm"));
        QCOMPARE(list.index(1, HarvestList::ColType).data().toString(), QString("PDF"));
        QCOMPARE(list.index(1, HarvestList::ColStatus).data().toString(), QString());
        QVERIFY(list.containsUrl("http://h/b.pdf"));
        QCOMPARE(list.indexOfUrl("http://h/b.pdf"), 1);
        QCOMPARE(counts.size(), 2);
        QCOMPARE(list.countLabelText(), QString("2"));
        QVERIFY(!(list.flags(list.index(0, 0)) & Qt::ItemIsEditable));

        list.setStatus(1, Ok);
        QCOMPARE(list.index(1, HarvestList::ColStatus).data().toString(), Ok);
    }

    void removalCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QList<Seed>>("rows");
        QTest::addColumn<QStringList>("inputs");     // answers to the input box; null = cancelled
        QTest::addColumn<QList<bool>>("answers");    // answers to the question
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<QStringList>("asked");      // prompts and questions shown

        const QList<Seed> mixed{{"ABC one", ""}, {"two", Ok}, {"x Abc three", AnalysisFailed}, {"four abc", Ok}, {"five", ""}};
        const QString prompt = QStringLiteral("请指定字符：");
        const QString question = QStringLiteral("您确定要清空辛辛苦苦搜索的列表数据吗？");
        const QList<bool> none;
        const QList<int> noRows;

        QTest::newRow("title contains, any case") << "contains" << mixed << QStringList{"abc"} << none << noRows
                                                  << QStringList{"two", "five"} << QStringList{prompt};
        QTest::newRow("title lacks") << "lacks" << mixed << QStringList{"ABC"} << none << noRows
                                     << QStringList{"ABC one", "x Abc three", "four abc"} << QStringList{prompt};
        QTest::newRow("cancelled input") << "contains" << mixed << QStringList{QString()} << none << noRows
                                         << titles(mixed) << QStringList{prompt};
        QTest::newRow("empty input") << "lacks" << mixed << QStringList{""} << none << noRows << titles(mixed)
                                     << QStringList{prompt};
        QTest::newRow("empty list asks nothing") << "contains" << QList<Seed>() << QStringList{"a"} << none << noRows
                                                 << QStringList() << QStringList();
        QTest::newRow("succeeded only") << "succeeded" << mixed << QStringList() << none << noRows
                                        << QStringList{"ABC one", "x Abc three", "five"} << QStringList();
        QTest::newRow("selected, unordered, repeated, out of range")
            << "selected" << mixed << QStringList() << none << QList<int>{4, 0, 4, -1, 9}
            << QStringList{"two", "x Abc three", "four abc"} << QStringList();
        QTest::newRow("every row selected") << "selected" << mixed << QStringList() << none
                                            << QList<int>{0, 1, 2, 3, 4} << QStringList() << QStringList();
        QTest::newRow("clear all, No") << "clear" << mixed << QStringList() << QList<bool>{false} << noRows
                                       << titles(mixed) << QStringList{question};
        QTest::newRow("clear all, Yes") << "clear" << mixed << QStringList() << QList<bool>{true} << noRows
                                        << QStringList() << QStringList{question};
    }
    void removalCommands()
    {
        QFETCH(QString, command);
        QFETCH(QList<Seed>, rows);
        QFETCH(QStringList, inputs);
        QFETCH(QList<bool>, answers);
        QFETCH(QList<int>, selected);
        QFETCH(QStringList, remaining);
        QFETCH(QStringList, asked);
        MessageRecorder recorder;
        recorder.inputs = inputs;
        recorder.answers = answers;
        recorder.defaultAnswer = false;
        HarvestList list;
        QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
        fill(list, rows);

        int removed = -1;
        if (command == "contains")
            removed = list.清除标题含指定字符项();
        else if (command == "lacks")
            removed = list.清除标题不含指定字符项();
        else if (command == "succeeded")
            removed = list.清除分析成功项();
        else if (command == "selected")
            removed = list.清除选中项(selected);
        else
            removed = list.清空全部();

        QCOMPARE(titles(list), remaining);
        QCOMPARE(removed, rows.size() - remaining.size());
        QCOMPARE(recorder.prompts + recorder.texts(), asked);
        QCOMPARE(list.countLabelText(), QString::number(remaining.size()));
        // The URL index follows the rows that are left.
        for (int i = 0; i < list.count(); ++i)
            QCOMPARE(list.indexOfUrl(list.at(i).url), i);
        for (int i = 0; i < rows.size(); ++i) {
            const QString url = QStringLiteral("http://h/u%1").arg(i);
            QCOMPARE(list.containsUrl(url), remaining.contains(rows[i].title));
        }
    }

    void exportBytes()
    {
        TempHome home;
        MessageRecorder recorder;
        HarvestList list;
        QVERIFY(!list.exportTo(home.path() + "/empty.txt"));
        QVERIFY(!QFileInfo::exists(home.path() + "/empty.txt"));

        list.加入LV1(QStringLiteral("肿瘤研究"), "http://h/1", "PDF");
        list.加入LV1(QStringLiteral("基因\r\n表达"), "http://h/2", "article");
        list.setStatus(1, Ok);
        // 肿瘤研究 D6 D7 C1 F6 D1 D0 BE BF, 基因 BB F9 D2 F2, 表达 B1 ED B4 EF, 成功 B3 C9 B9 A6.
        const QByteArray expected = "\xd6\xd7\xc1\xf6\xd1\xd0\xbe\xbf-\xa1\xbePDF\xa1\xbf\r\n"
                                    "\xbb\xf9\xd2\xf2\xb1\xed\xb4\xef-\xa1\xbehtm\xa1\xbf\xb3\xc9\xb9\xa6\r\n";
        QCOMPARE(list.exportBytes(), expected);

        const QString path = home.path() + "/list.txt";
        writeFile(path, QByteArray(5000, 'x'));
        QVERIFY(list.exportTo(path));
        QCOMPARE(readFile(path), expected);
        QCOMPARE(recorder.texts(), QStringList{QStringLiteral("保存文件完毕：0.0KB")});
        QCOMPARE(recorder.messages[0].kind, Msg::Kind::Information);

        // A write that fails says nothing and claims nothing.
        recorder.clear();
        QString reason;
        QVERIFY(!list.writeExport(home.path() + "/missing/list.txt", &reason));
        QVERIFY(!reason.isEmpty());
        QVERIFY(!list.exportTo(home.path() + "/missing/list.txt"));
        QVERIFY(recorder.messages.isEmpty());
    }

    void sizeText_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("1536") << qint64(1536) << "1.5";
        QTest::newRow("zero") << qint64(0) << "0.0";
        QTest::newRow("half rounds up") << qint64(1280) << "1.3";
        QTest::newRow("just below half") << qint64(1279) << "1.2";
        QTest::newRow("thousands") << qint64(1024) * 1234 + 512 << "1,234.5";
        QTest::newRow("millions") << qint64(1024) * 1234567 << "1,234,567.0";
    }
    void sizeText()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(KilobytesText(bytes), text);
        QCOMPARE(ExportSizeMessage(bytes), QStringLiteral("保存文件完毕：") + text + "KB");
    }

    void fileNameFromUrl_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("strip");
        QTest::addColumn<QString>("name");
        QTest::newRow("pdf") << "http://h/a/file.pdf" << true << "file";
        QTest::newRow("kept extension") << "http://h/a/file.pdf" << false << "file.pdf";
        QTest::newRow("last dot") << "http://h/a/b.c.pdf" << true << "b.c";
        QTest::newRow("query stays") << "http://h/get.cgi?f=a.pdf" << true << "get.cgi?f=a";
        QTest::newRow("backslashes") << "x\\y\\ z.txt " << true << "z";
        QTest::newRow("trailing slash") << "https://host/articles/PMC123/pdf/" << true << "";
    }
    void fileNameFromUrl()
    {
        QFETCH(QString, url);
        QFETCH(bool, strip);
        QFETCH(QString, name);
        QCOMPARE(FileNameFromUrl(url, strip), name);
    }

    void handOff_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("byUrl");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file"); // below the save folder
        const QString pmc = "https://pmc.example.org/articles/PMC123/pdf/";
        const QString blank = " \r\n \n\r ";
        QTest::newRow("by title") << "http://h/a/file.pdf" << "  Gene\r\nexpression: a review? \n" << "PDF" << false
                                  << "Geneexpression a review" << "Geneexpression a review.pdf";
        QTest::newRow("by URL") << "http://h/a/file.pdf" << "Title" << "PDF" << true << "file" << "file.pdf";
        QTest::newRow("page by URL") << "http://h/a/page.html" << "Title" << "htm" << true << "page" << "page.htm";
        QTest::newRow("blank title: the URL's name") << "http://h/a/file.pdf" << blank << "PDF" << false << "file"
                                                     << "file.pdf";
        QTest::newRow("URL ending in /: the segment before the type") << pmc << "Title" << "PDF" << true << "PMC123"
                                                                      << "PMC123.pdf";
        QTest::newRow("blank title, URL ending in /") << pmc << blank << "PDF" << false << "PMC123" << "PMC123.pdf";
        QTest::newRow("last segment named like the type alone") << "http://h/pdf/" << blank << "PDF" << false
                                                                << "pdf" << "pdf.pdf";
        QTest::newRow("no path: the host") << "https://pmc.example.org/" << blank << "PDF" << false
                                           << "pmc.example.org" << "pmc.example.org.pdf";
        QTest::newRow("nothing usable") << "?*" << "???" << "PDF" << false << QStringLiteral("未命名")
                                        << QStringLiteral("未命名.pdf");
        QTest::newRow("title climbing out") << "http://h/a.pdf" << "../../etc/passwd" << "PDF" << false
                                            << "etcpasswd" << "etcpasswd.pdf";
        QTest::newRow("URL climbing out") << "http://h/x/..%2F..%2Fevil/" << "" << "PDF" << true << "evil"
                                          << "evil.pdf";
        QTest::newRow("type climbing out") << "http://h/a.pdf" << "t" << "../../x" << false << "t" << "t.x";
    }
    void handOff()
    {
        QFETCH(QString, url);
        QFETCH(QString, title);
        QFETCH(QString, type);
        QFETCH(bool, byUrl);
        QFETCH(QString, name);
        QFETCH(QString, file);
        TempHome home;
        const QString folder = home.folder("save");
        DownloadList list;
        QVERIFY(加入下载列表(list, url, title, type, folder, byUrl));
        const ItemRef item = list.at(0);
        QCOMPARE(item->key, url);
        QCOMPARE(item->name, name);
        QCOMPARE(item->folder, folder + "/");
        QCOMPARE(item->state, Waiting);
        QVERIFY(item->size.isEmpty() && item->received.isEmpty() && item->percent.isEmpty() && item->referer.isEmpty());
        // The file lands directly in the save folder, extension in lower case.
        QCOMPARE(ItemFilePath(*item), folder + "/" + file);
    }

    void handOffOfAListedUrlChangesNothing()
    {
        TempHome home;
        DownloadList list;
        QVERIFY(加入下载列表(list, "http://h/a.pdf", "First", "PDF", "/one/", false));
        list.setProgress(list.at(0), "10", "5", "50%");
        QVERIFY(!加入下载列表(list, "http://h/a.pdf", "Second", "htm", "/two/", true));
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.at(0)->name, QString("First"));
        QCOMPARE(list.at(0)->type, QString("PDF"));
        QCOMPARE(list.at(0)->folder, QString("/one/"));
        QCOMPARE(list.at(0)->percent, QString("50%"));
        QCOMPARE(CountLabelText(list), QStringLiteral("1条"));

        // The program-wide choice of the save-location dialog.
        Program().SaveFolder = "/chosen/";
        Program().UseOriginalFileName = true;
        QVERIFY(加入下载列表(list, "http://h/b/paper.pdf", "Title", "PDF"));
        QCOMPARE(list.at(1)->name, QString("paper"));
        QCOMPARE(list.at(1)->folder, QString("/chosen/"));
    }
};

VELMORA_TEST_MAIN(TestHarvestList)
#include "tst_harvestlist.moc"
