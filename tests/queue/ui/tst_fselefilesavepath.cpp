// The save-location dialog through its controls: what it shows when it
// opens, OK creating the folder and growing the history, a folder that
// cannot be made keeping it open, every way of cancelling, the folder
// picker, and the modal Run helper.
#include "app/paths.h"
#include "app/settings.h"
#include "app/ui/messageboxes.h"
#include "queue/savefolderhistory.h"
#include "queue/ui/fselefilesavepath.h"
#include "support/messagerecorder.h"
#include "support/testfiles.h"
#include "support/uitestmain.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <memory>

namespace K = SettingKeys;

namespace {

QStringList items(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// Clicks the button of the modal dialog once its event loop runs.
void clickInModalDialog(const char *button)
{
    QTimer::singleShot(0, qApp, [button] {
        auto *dialog = qobject_cast<fSeleFileSavePath *>(QApplication::activeModalWidget());
        if (!dialog) {
            qWarning("no modal save-location dialog");
            return;
        }
        dialog->findChild<QPushButton *>(QString::fromUtf8(button))->click();
    });
}

} // namespace

class TestSeleFileSavePath : public QObject {
    Q_OBJECT
    std::unique_ptr<TempHome> home;

private slots:
    void init()
    {
        home = std::make_unique<TempHome>();
        Program() = ProgramValues();
    }
    void cleanup() { home.reset(); }

    void opensWithTheControlsAndStoredValues()
    {
        writeFile(SaveListFilePath(), "/data/one\r\n/data/two\r\n/data/ONE\r\n");
        fSeleFileSavePath d;
        QCOMPARE(d.windowTitle(), QStringLiteral("选择下载保存路径－Tolvenne软件"));
        QVERIFY(d.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(d.isModal());
        const QList<QPair<QWidget *, QString>> captions{
            {d.Label1, "保存到文件夹："}, {d.Command1, "..."},  {d.Label3, "保存文件名为："},
            {d.Option1, "原文件名"},      {d.Option2, "文章标题名称"}, {d.Command2, "确定"},
            {d.Command3, "取消"}};
        for (const auto &[widget, caption] : captions) {
            QVERIFY(widget);
            QCOMPARE(d.findChild<QWidget *>(widget->objectName()), widget);
            const QString text = qobject_cast<QLabel *>(widget) ? qobject_cast<QLabel *>(widget)->text()
                                                                 : qobject_cast<QAbstractButton *>(widget)->text();
            QCOMPARE(text, caption);
        }
        QVERIFY(d.Combo1->isEditable());
        QCOMPARE(items(d.Combo1), (QStringList{"/data/one", "/data/two"}));
        // First use: the default folder, naming by title.
        QCOMPARE(d.Combo1->currentText(), Paths::defaultSaveFolder());
        QVERIFY(d.Option2->isChecked());
        QVERIFY(!d.Option1->isChecked());
    }

    // OK with a folder that does not exist yet, typed without the trailing
    // "/", and "原文件名": the folder is made, the three results are set, the
    // history grows (twice for the same folder) and the next opening shows
    // the choice again.
    void okCreatesTheFolderAndAppendsTheHistory()
    {
        MessageRecorder messages;
        Program().SaveDialogCancelled = true;
        const QString folder = home->path() + "/papers/new";
        for (int round = 1; round <= 2; ++round) {
            fSeleFileSavePath d;
            d.show();
            QCOMPARE(d.Option1->isChecked(), round == 2);
            d.Combo1->setEditText(folder);
            d.Option1->click();
            d.Command2->click();
            QVERIFY(!d.isVisible());
            QCOMPARE(d.result(), int(QDialog::Accepted));
        }
        QVERIFY(messages.messages.isEmpty());
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(Program().SaveFolder, folder + "/");
        QCOMPARE(GetSetting(K::Settings, K::SaveFolder), folder + "/");
        QVERIFY(Program().UseOriginalFileName);
        QVERIFY(!Program().SaveDialogCancelled);
        QCOMPARE(readFile(SaveListFilePath()), (folder + "\r\n" + folder + "\r\n").toUtf8());

        fSeleFileSavePath again;
        QCOMPARE(again.Combo1->currentText(), folder + "/");
        QCOMPARE(items(again.Combo1), QStringList{folder}); // the repeat goes at the load
        QVERIFY(again.Option1->isChecked());
    }

    void okWithAFolderThatCannotBeMadeStaysOpen()
    {
        MessageRecorder messages;
        SaveSetting(K::Settings, K::SaveFolder, "/kept/");
        fSeleFileSavePath d;
        d.show();
        d.Combo1->setEditText(QStringLiteral("/???"));
        d.Command2->click();
        QVERIFY(d.isVisible());
        QCOMPARE(messages.texts().last(), QStringLiteral("文件夹设置错误！"));
        QCOMPARE(messages.messages.last().kind, Msg::Kind::Error);
        QCOMPARE(Program().SaveFolder, QStringLiteral("/kept/"));
        QCOMPARE(GetSetting(K::Settings, K::SaveFolder), QStringLiteral("/kept/"));
        QVERIFY(!QFileInfo::exists(SaveListFilePath()));
        QCOMPARE(d.Combo1->count(), 0);

        // Corrected, the same dialog accepts.
        const QString folder = home->path() + "/ok";
        d.Combo1->setEditText(folder);
        d.Command2->click();
        QVERIFY(!d.isVisible());
        QCOMPARE(Program().SaveFolder, folder + "/");
    }

    // Cancel, Escape and the title bar's close button all leave the folder
    // as it was and say cancelled, so the analysis never runs on a folder the
    // user turned away from.
    void everyOtherCloseCancels_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel button") << "Command3";
        QTest::newRow("escape key") << "escape";
        QTest::newRow("close button") << "close";
    }
    void everyOtherCloseCancels()
    {
        QFETCH(QString, how);
        MessageRecorder messages;
        SaveSetting(K::Settings, K::SaveFolder, "/kept/");
        Program().SaveDialogCancelled = false;
        const QString typed = home->path() + "/never";
        {
            fSeleFileSavePath d;
            d.show();
            d.Combo1->setEditText(typed);
            d.Option1->click();
            if (how == "Command3")
                d.Command3->click();
            else if (how == "escape")
                QTest::keyClick(&d, Qt::Key_Escape);
            else
                d.close();
            QVERIFY(!d.isVisible());
            QCOMPARE(d.result(), int(QDialog::Rejected));
        }
        QVERIFY(Program().SaveDialogCancelled);
        QCOMPARE(Program().SaveFolder, QStringLiteral("/kept/"));
        QCOMPARE(GetSetting(K::Settings, K::SaveFolder), QStringLiteral("/kept/"));
        QVERIFY(!Program().UseOriginalFileName);
        QVERIFY(!QFileInfo::exists(typed));
        QVERIFY(!QFileInfo::exists(SaveListFilePath()));
        QVERIFY(messages.messages.isEmpty());
    }

    void browsePutsThePickedFolderIntoTheBox()
    {
        fSeleFileSavePath d;
        d.Combo1->setEditText(QStringLiteral("/start/here"));
        QStringList asked;
        d.chooseFolder = [&asked](const QString &start) {
            asked << start;
            return QStringLiteral("/picked/folder/");
        };
        d.Command1->click();
        QCOMPARE(asked, QStringList{"/start/here"});
        QCOMPARE(d.Combo1->currentText(), QStringLiteral("/picked/folder/"));
    }

    // With the real message boxes: the refusal's boxes belong to the dialog,
    // which stays on top, so they never open hidden behind it.
    void refusalBoxesOpenOverTheDialog()
    {
        MessageBoxes::install();
        fSeleFileSavePath d;
        d.show();
        d.Combo1->setEditText(QStringLiteral("/???"));
        QList<QPair<QWidget *, QString>> boxes;
        QTimer closer;
        closer.setInterval(0);
        connect(&closer, &QTimer::timeout, this, [&boxes] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxes.append({box->parentWidget(), box->text()});
                box->done(QMessageBox::Ok);
            }
        });
        closer.start();
        d.Command2->click();
        closer.stop();
        Msg::setHandler({});
        Msg::setInputHandler({});
        QCOMPARE(boxes.size(), 2);
        for (const auto &[parent, text] : boxes)
            QCOMPARE(parent, &d);
        QCOMPARE(boxes.last().second, QStringLiteral("文件夹设置错误！"));
        QVERIFY(d.isVisible());
    }

    void runReportsHowTheDialogClosed()
    {
        MessageRecorder messages;
        const QString folder = home->folder("save");
        SaveSetting(K::Settings, K::SaveFolder, folder + "/");

        clickInModalDialog("Command2");
        QVERIFY(fSeleFileSavePath::Run(nullptr));
        QVERIFY(!Program().SaveDialogCancelled);
        QCOMPARE(Program().SaveFolder, folder + "/");

        clickInModalDialog("Command3");
        QVERIFY(!fSeleFileSavePath::Run(nullptr));
        QVERIFY(Program().SaveDialogCancelled);
        QVERIFY(messages.messages.isEmpty());
    }
};

VELMORA_UI_TEST_MAIN(TestSeleFileSavePath)
#include "tst_fselefilesavepath.moc"
