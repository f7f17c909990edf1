#include "queue/savefolderhistory.h"
#include "support/testfiles.h"
#include "support/testhome.h"

namespace {

// n distinct folders "/f1" .. "/fn", one CR LF line each.
QByteArray folderLines(int first, int last)
{
    QByteArray bytes;
    for (int i = first; i <= last; ++i)
        bytes += "/f" + QByteArray::number(i) + "\r\n";
    return bytes;
}

QStringList folders(int first, int last)
{
    QStringList list;
    for (int i = first; i <= last; ++i)
        list << QStringLiteral("/f%1").arg(i);
    return list;
}

} // namespace

class TestSaveFolderHistory : public QObject {
    Q_OBJECT
private slots:
    void load_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("repeats in other case and blank lines dropped")
            << QByteArray("/pdf/\r\n   \r\n/PDF/\r\n/x/\r\n") << QStringList{"/pdf/", "/x/"};
        QTest::newRow("outer spaces trimmed, tabs kept") << QByteArray("  /a b  \r\n\t/c\r\n")
                                                         << QStringList{"/a b", "\t/c"};
        QTest::newRow("CR, LF and a last line without end") << QByteArray("/a\r/b\n/c\r\n\r\n/d")
                                                           << QStringList{"/a", "/b", "/c", "/d"};
        QTest::newRow("GBK") << QByteArray("/\xce\xc4\xcf\xd7/\xc2\xdb\xce\xc4\r\n")
                             << QStringList{QStringLiteral("/文献/论文")};
        QTest::newRow("empty history") << QByteArray("\r\n") << QStringList();
        QTest::newRow("first 100 of 150") << folderLines(1, 150) << folders(1, 100);
        // The repeat of line 1 counts toward the 100, so "/f100" is not read.
        QTest::newRow("a repeat counts toward the 100") << QByteArray("/f1\r\n") + folderLines(1, 100)
                                                        << folders(1, 99);
        QTest::newRow("blank lines do not count") << QByteArray("\r\n  \r\n").repeated(60) + folderLines(1, 100)
                                                  << folders(1, 100);
    }
    void load()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, expected);
        TempHome home;
        const QString path = home.path() + "/SaveList.dat";
        writeFile(path, file);
        bool found = false;
        QCOMPARE(LoadFolderHistoryLines(path, &found), expected);
        QVERIFY(found);
    }

    void missingFileIsNotAHistory()
    {
        TempHome home;
        bool found = true;
        QVERIFY(LoadFolderHistoryLines(home.path() + "/SaveList.dat", &found).isEmpty());
        QVERIFY(!found);
        // A folder of that name is no history file either.
        QVERIFY(QDir(home.path()).mkdir("SaveList.dat"));
        found = true;
        LoadFolderHistoryLines(home.path() + "/SaveList.dat", &found);
        QVERIFY(!found);
        QCOMPARE(SaveListFilePath(), home.path() + "/data/SaveList.dat");
    }

    void save_data()
    {
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("reloaded");
        QTest::newRow("empty") << QStringList() << QByteArray("\r\n") << QStringList();
        QTest::newRow("GBK, CR LF, list order") << QStringList{QStringLiteral("/文献/论文"), "/a"}
                                                << QByteArray("/\xce\xc4\xcf\xd7/\xc2\xdb\xce\xc4\r\n/a\r\n")
                                                << QStringList{QStringLiteral("/文献/论文"), "/a"};
        // Below the limit the list is written as it stands, repeats too.
        QTest::newRow("repeat kept below the limit") << QStringList{"/a", "/b", "/a"}
                                                     << QByteArray("/a\r\n/b\r\n/a\r\n") << QStringList{"/a", "/b"};
        // A folder appended to a full history must survive the next load:
        // the oldest entry makes room for it.
        QTest::newRow("new folder on a full history") << folders(1, 100) + QStringList{"/new"}
                                                      << folderLines(2, 100) + "/new\r\n"
                                                      << folders(2, 100) + QStringList{"/new"};
        // Re-choosing a listed folder costs no other entry.
        QTest::newRow("repeat on a full history") << folders(1, 100) + QStringList{"/F5"} << folderLines(1, 100)
                                                  << folders(1, 100);
        // "?" in place of a character GBK lacks would name another folder.
        QTest::newRow("entry GBK cannot hold") << QStringList{QStringLiteral("/한국"), "/a"} << QByteArray("/a\r\n")
                                               << QStringList{"/a"};
    }
    void save()
    {
        QFETCH(QStringList, list);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, reloaded);
        TempHome home;
        const QString path = home.path() + "/SaveList.dat";
        writeFile(path, "old contents that are longer than the new ones\r\n");
        QVERIFY(SaveFolderHistoryLines(list, path));
        QCOMPARE(readFile(path), file);
        QCOMPARE(LoadFolderHistoryLines(path), reloaded);
    }

    void reloadedHistoryIsWrittenBackAsRead()
    {
        TempHome home;
        const QString path = home.path() + "/SaveList.dat";
        writeFile(path, "  /a  \r\n" + folderLines(1, 149));
        QVERIFY(SaveFolderHistoryLines(LoadFolderHistoryLines(path), path));
        QCOMPARE(readFile(path), "/a\r\n" + folderLines(1, 99));
    }

    void fileThatCannotBeWritten()
    {
        TempHome home;
        // The parent is a file: nothing can be created below it.
        writeFile(home.path() + "/plain");
        QVERIFY(!SaveFolderHistoryLines({"/a"}, home.path() + "/plain/SaveList.dat"));
        // A folder in the file's place stays a folder.
        const QString path = home.path() + "/SaveList.dat";
        QVERIFY(QDir(home.path()).mkdir("SaveList.dat"));
        QVERIFY(!SaveFolderHistoryLines({"/a"}, path));
        QVERIFY(QFileInfo(path).isDir());
    }

    void folderPicker_data()
    {
        QTest::addColumn<QString>("start");     // HOME is the test's home folder
        QTest::addColumn<QString>("initial");
        QTest::addColumn<QString>("cancelled"); // the answer when the user cancels
        QTest::newRow("blank") << "  " << "/" << "  /";
        QTest::newRow("with trailing /") << "HOME/a/b/" << "HOME/a/" << "HOME/a/b/";
        QTest::newRow("without trailing /") << "HOME/a/b" << "HOME/a/" << "HOME/a/b/";
        QTest::newRow("missing parent") << "/no/such/place/x" << "/" << "/no/such/place/x/";
        QTest::newRow("root") << "/" << "/" << "/";
    }
    void folderPicker()
    {
        QFETCH(QString, start);
        QFETCH(QString, initial);
        QFETCH(QString, cancelled);
        TempHome home;
        QVERIFY(QDir().mkpath(home.path() + "/a/b"));
        start.replace("HOME", home.path());
        QCOMPARE(BrowseInitialFolder(start), initial.replace("HOME", home.path()));
        QCOMPARE(BrowseResult(QString(), start), cancelled.replace("HOME", home.path()));
        QCOMPARE(BrowseResult("/chosen", start), QString("/chosen/"));
    }
};

VELMORA_TEST_MAIN(TestSaveFolderHistory)
#include "tst_savefolderhistory.moc"
