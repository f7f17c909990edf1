#include "app/settings.h"
#include "queue/savefolderhistory.h"
#include "queue/savelocation.h"
#include "support/messagerecorder.h"
#include "support/testfiles.h"
#include "support/testhome.h"

class TestSaveLocation : public QObject {
    Q_OBJECT
private slots:
    void init() { Program() = ProgramValues(); }

    void firstUseAndOk()
    {
        TempHome home;
        MessageRecorder messages;
        const SaveLocationStart start = openSaveLocation({"/designer"});
        QCOMPARE(start.folderText, Paths::defaultSaveFolder());
        QVERIFY(!start.useOriginalFileName);
        QCOMPARE(start.history, QStringList{"/designer"}); // no history file yet

        // A nested folder without trailing "/" and with outer spaces.
        const QString folder = home.path() + "/papers/new";
        QStringList history = start.history;
        QVERIFY(acceptSaveLocation("  " + folder + "  ", true, history));
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(Program().SaveFolder, folder + "/");
        QVERIFY(Program().UseOriginalFileName);
        QVERIFY(!Program().SaveDialogCancelled);
        QCOMPARE(GetSetting(SettingKeys::Settings, SettingKeys::SaveFolder), folder + "/");
        QCOMPARE(history, (QStringList{"/designer", folder}));
        QCOMPARE(readFile(SaveListFilePath()), ("/designer\r\n" + folder + "\r\n").toUtf8());
        QVERIFY(messages.messages.isEmpty());

        // Reopened: the stored folder and the run's naming choice. OK with
        // the same folder appends it again; the file keeps both lines.
        const SaveLocationStart again = openSaveLocation();
        QCOMPARE(again.folderText, folder + "/");
        QVERIFY(again.useOriginalFileName);
        QCOMPARE(again.history, (QStringList{"/designer", folder}));
        history = again.history;
        QVERIFY(acceptSaveLocation(again.folderText, false, history));
        QCOMPARE(readFile(SaveListFilePath()), ("/designer\r\n" + folder + "\r\n" + folder + "\r\n").toUtf8());
        QCOMPARE(LoadFolderHistoryLines(SaveListFilePath()), (QStringList{"/designer", folder}));
    }

    void refusedFolders_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("messages");
        const QString nameWrong = QStringLiteral("文件夹名称有误！不能创建文件夹！");
        const QString folderWrong = QStringLiteral("文件夹设置错误！");
        QTest::newRow("blank") << "   " << QStringList{folderWrong};
        QTest::newRow("relative") << "papers" << QStringList{folderWrong};
        QTest::newRow("only illegal characters") << "/???" << QStringList{nameWrong, folderWrong};
        QTest::newRow("illegal name inside") << "HOME/a/*?*/c" << QStringList{nameWrong, folderWrong};
        QTest::newRow("climbing") << "HOME/a/../b" << QStringList{nameWrong, folderWrong};
    }
    void refusedFolders()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, messages);
        TempHome home;
        MessageRecorder recorder;
        SaveSetting(SettingKeys::Settings, SettingKeys::SaveFolder, "/kept/");
        Program().SaveFolder = "/kept/";
        Program().SaveDialogCancelled = true;
        QStringList history{"/x"};
        QVERIFY(!acceptSaveLocation(text.replace("HOME", home.path()), true, history));
        QCOMPARE(recorder.texts(), messages);
        QCOMPARE(Program().SaveFolder, QString("/kept/"));
        QVERIFY(Program().SaveDialogCancelled);
        QCOMPARE(GetSetting(SettingKeys::Settings, SettingKeys::SaveFolder), QString("/kept/"));
        QCOMPARE(history, QStringList{"/x"});
        QVERIFY(!QFileInfo::exists(SaveListFilePath()));
        QVERIFY(!QFileInfo::exists(home.path() + "/a/c"));
    }

    void cancelChangesOnlyTheFlag()
    {
        TempHome home;
        openSaveLocation();
        const QString before = Program().SaveFolder;
        cancelSaveLocation();
        QVERIFY(Program().SaveDialogCancelled);
        QCOMPARE(Program().SaveFolder, before);
        QVERIFY(!QFileInfo::exists(SaveListFilePath()));
    }
};

VELMORA_TEST_MAIN(TestSaveLocation)
#include "tst_savelocation.moc"
