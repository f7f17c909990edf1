#include "app/ui/foption.h"
#include "app/paths.h"
#include "app/settings.h"
#include "support/messagerecorder.h"
#include "support/uitestmain.h"
#include "support/widgettests.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace K = SettingKeys;

namespace {
// The dialog as a user meets it: shown, every control found by its name.
struct Dialog {
    fOption dlg;
    Dialog() { dlg.show(); }
    template <typename T>
    T *get(const char *name)
    {
        return control<T>(&dlg, name);
    }
    void type(const char *name, const QString &text)
    {
        QLineEdit *edit = get<QLineEdit>(name);
        edit->clear();
        // Key events carry Latin-1 only; other text is typed as an input method would.
        bool latin1 = true;
        for (QChar c : text)
            latin1 = latin1 && c.unicode() < 0x80;
        if (latin1)
            QTest::keyClicks(edit, text);
        else
            edit->insert(text);
    }
    void ok() { QTest::mouseClick(get<QPushButton>("Command1"), Qt::LeftButton); }
    void close() { QTest::mouseClick(get<QPushButton>("Command2"), Qt::LeftButton); }
};

QStringList storedKeys()
{
    QSettings s(Paths::settingsFile(), QSettings::IniFormat);
    return s.allKeys();
}
} // namespace

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        Program() = ProgramValues();
        Program().SaveFolder = QStringLiteral("/kept");
    }

    void opensWithTheProgramValues()
    {
        Program().DownloadMode = 1;
        Program().ProxyEnabled = 1;
        Program().ProxyAddress = QStringLiteral("proxy.example.com");
        Program().ProxyPort = QStringLiteral("3128");
        Program().MaxFileSizeMB = 2.5;
        Dialog d;
        QCOMPARE(d.dlg.objectName(), QStringLiteral("fOption"));
        QCOMPARE(d.dlg.windowTitle(), QStringLiteral("设置-Velmora"));
        QVERIFY(d.get<QRadioButton>("Option1")->isChecked());
        QVERIFY(!d.get<QRadioButton>("Option2")->isChecked());
        QVERIFY(d.get<QCheckBox>("Check1")->isChecked());
        QCOMPARE(d.get<QLineEdit>("Text6")->text(), QStringLiteral("proxy.example.com"));
        QCOMPARE(d.get<QLineEdit>("Text8")->text(), QStringLiteral("3128"));
        QCOMPARE(d.get<QLineEdit>("Text1")->text(), QStringLiteral("2.5"));
        QCOMPARE(d.get<QPushButton>("Command1")->text(), QStringLiteral("确定"));
        QCOMPARE(d.get<QPushButton>("Command2")->text(), QStringLiteral("关闭"));
    }

    void modeOptionFollowsTheMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("option2");
        QTest::newRow("1") << 1 << false;
        QTest::newRow("2") << 2 << true;
        QTest::newRow("other keeps option one") << 0 << false;
    }
    void modeOptionFollowsTheMode()
    {
        QFETCH(int, mode);
        QFETCH(bool, option2);
        Program().DownloadMode = mode;
        Dialog d;
        QCOMPARE(d.get<QRadioButton>("Option2")->isChecked(), option2);
        QCOMPARE(d.get<QRadioButton>("Option1")->isChecked(), !option2);
    }

    void okStoresEveryValueAndCloses()
    {
        TempHome home;
        MessageRecorder rec;
        Dialog d;
        d.get<QRadioButton>("Option1")->click();
        d.get<QCheckBox>("Check1")->click();
        d.type("Text6", QStringLiteral("  代理.example.com "));
        d.type("Text8", QStringLiteral(" 8080 "));
        d.type("Text1", QStringLiteral("2.5"));
        d.ok();

        QVERIFY(rec.messages.isEmpty());
        QVERIFY(!d.dlg.isVisible());
        QCOMPARE(d.dlg.result(), int(QDialog::Accepted));
        QCOMPARE(GetSetting(K::Settings, K::DownloadMode), QStringLiteral("1"));
        QCOMPARE(GetSetting(K::Settings, K::ProxyEnabled), QStringLiteral("1"));
        QCOMPARE(GetSetting(K::Settings, K::ProxyAddress), QStringLiteral("代理.example.com"));
        QCOMPARE(GetSetting(K::Settings, K::ProxyPort), QStringLiteral("8080"));
        QCOMPARE(GetSetting(K::Settings, K::MaxFileSize), QStringLiteral("2.5"));
        const ProgramValues &p = Program();
        QCOMPARE(p.DownloadMode, 1);
        QCOMPARE(p.ProxyEnabled, 1);
        QCOMPARE(p.ProxyAddress, QStringLiteral("代理.example.com"));
        QCOMPARE(p.ProxyPort, QStringLiteral("8080"));
        QCOMPARE(p.MaxFileSizeMB, 2.5);

        // And the next opening shows what was stored.
        LoadProgramValues();
        Dialog again;
        QVERIFY(again.get<QRadioButton>("Option1")->isChecked());
        QCOMPARE(again.get<QLineEdit>("Text1")->text(), QStringLiteral("2.5"));
    }

    // The proxy check only warns: the values are stored and the dialog closes.
    void proxyWarning_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("warned");
        QTest::newRow("ticked, empty address") << true << "" << "3128" << true;
        QTest::newRow("ticked, blank address") << true << "   " << "3128" << true;
        QTest::newRow("ticked, port 80a") << true << "10.0.0.1" << "80a" << true;
        QTest::newRow("ticked, empty port") << true << "10.0.0.1" << "" << true;
        QTest::newRow("ticked, port out of range") << true << "10.0.0.1" << "70000" << true;
        QTest::newRow("ticked, good") << true << "10.0.0.1" << "80" << false;
        QTest::newRow("not ticked, port 80a") << false << "" << "80a" << false;
    }
    void proxyWarning()
    {
        QFETCH(bool, ticked);
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(bool, warned);
        TempHome home;
        MessageRecorder rec;
        Dialog d;
        d.get<QCheckBox>("Check1")->setChecked(ticked);
        d.type("Text6", address);
        d.type("Text8", port);
        d.ok();
        QCOMPARE(rec.texts(), warned ? QStringList{fOption::ProxyWarning} : QStringList());
        if (warned)
            QCOMPARE(rec.messages.first().kind, Msg::Kind::Error);
        QVERIFY(!d.dlg.isVisible());
        QCOMPARE(GetSetting(K::Settings, K::ProxyEnabled), ticked ? QStringLiteral("1") : QStringLiteral("0"));
        QCOMPARE(GetSetting(K::Settings, K::ProxyAddress, QStringLiteral("absent")), address.trimmed());
        QCOMPARE(GetSetting(K::Settings, K::ProxyPort, QStringLiteral("absent")), port.trimmed());
        QCOMPARE(GetSetting(K::Settings, K::MaxFileSize), QStringLiteral("10"));
    }

    void sizeThatIsNotAPositiveNumberIsRefused_data()
    {
        QTest::addColumn<QString>("size");
        QTest::newRow("empty") << "";
        QTest::newRow("text") << "abc";
        QTest::newRow("unit") << "10MB";
        QTest::newRow("zero") << "0";
        QTest::newRow("negative") << "-1";
    }
    void sizeThatIsNotAPositiveNumberIsRefused()
    {
        QFETCH(QString, size);
        TempHome home;
        MessageRecorder rec;
        Program().DownloadMode = 2;
        Dialog d;
        d.get<QRadioButton>("Option1")->click();
        d.get<QCheckBox>("Check1")->setChecked(true);
        d.type("Text1", size);
        d.ok();
        QCOMPARE(rec.texts(), QStringList{fOption::SizeRefusal});
        QCOMPARE(rec.messages.first().kind, Msg::Kind::Error);
        QVERIFY(d.dlg.isVisible());
        QCOMPARE(storedKeys(), QStringList());
        QCOMPARE(Program().DownloadMode, 2);
        QCOMPARE(Program().ProxyEnabled, 0);
        QCOMPARE(Program().MaxFileSizeMB, 10.0);

        // Corrected, the same dialog then stores and closes.
        d.type("Text1", QStringLiteral("3"));
        d.ok();
        QVERIFY(!d.dlg.isVisible());
        QCOMPARE(GetSetting(K::Settings, K::MaxFileSize), QStringLiteral("3"));
        QCOMPARE(GetSetting(K::Settings, K::DownloadMode), QStringLiteral("1"));
    }

    void closeChangesNothing()
    {
        TempHome home;
        Dialog d;
        d.get<QRadioButton>("Option1")->click();
        d.get<QCheckBox>("Check1")->setChecked(true);
        d.type("Text6", QStringLiteral("host"));
        d.type("Text1", QStringLiteral("1"));
        d.close();
        QVERIFY(!d.dlg.isVisible());
        QCOMPARE(d.dlg.result(), int(QDialog::Rejected));
        QCOMPARE(storedKeys(), QStringList());
        QCOMPARE(Program().DownloadMode, 2);
        QCOMPARE(Program().ProxyAddress, QString());
        QCOMPARE(Program().MaxFileSizeMB, 10.0);
    }

    // A loaded download window, even hidden, shows the new mode at once.
    void okUpdatesALoadedDownloadWindow_data()
    {
        QTest::addColumn<QString>("windowName");
        QTest::addColumn<int>("mode");
        QTest::newRow("mode 1") << "fFileDownload" << 1;
        QTest::newRow("mode 2") << "fFileDownload" << 2;
        QTest::newRow("name in other case") << "FFILEDOWNLOAD" << 2;
    }
    void okUpdatesALoadedDownloadWindow()
    {
        QFETCH(QString, windowName);
        QFETCH(int, mode);
        TempHome home;
        QWidget window;
        window.setObjectName(windowName);
        auto *label = new QLabel(QStringLiteral("下载方式：0"), &window);
        label->setObjectName(QStringLiteral("Label7"));
        auto *threads = new QComboBox(&window);
        threads->setObjectName(QStringLiteral("Combo1"));
        threads->addItems({"1", "2", "3", "4", "5", "6"});
        threads->setCurrentIndex(4);
        threads->setEnabled(mode == 1);

        Dialog d;
        d.get<QRadioButton>(mode == 1 ? "Option1" : "Option2")->click();
        d.ok();
        QCOMPARE(label->text(), QStringLiteral("下载方式：%1").arg(mode));
        QCOMPARE(threads->isEnabled(), mode == 2);
        QCOMPARE(threads->currentText(), mode == 2 ? QStringLiteral("1") : QStringLiteral("5"));
        QCOMPARE(GetSetting(K::Settings, K::DownloadMode), QString::number(mode));
    }

    void okWithoutADownloadWindowStillStores()
    {
        TempHome home;
        QWidget other;
        other.setObjectName(QStringLiteral("fWebSearch"));
        auto *label = new QLabel(QStringLiteral("unchanged"), &other);
        label->setObjectName(QStringLiteral("Label7"));
        Dialog d;
        d.get<QRadioButton>("Option2")->click();
        d.ok();
        QCOMPARE(label->text(), QStringLiteral("unchanged"));
        QCOMPARE(GetSetting(K::Settings, K::DownloadMode), QStringLiteral("2"));
    }
};

VELMORA_UI_TEST_MAIN(TestOptions)
#include "tst_options.moc"
