#include "app/paths.h"
#include "app/registry.h"
#include "app/versiontext.h"
#include "support/testhome.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>

namespace R = RegistryRoot;

namespace {
const QString kLM = QStringLiteral("HKEY_LOCAL_MACHINE");

QByteArray storeBytes()
{
    QFile f(Paths::registryFile());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestRegistry : public QObject {
    Q_OBJECT
private slots:
    void rootNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint32>("root");
        QTest::newRow("classes") << "HKEY_CLASSES_ROOT" << R::ClassesRoot;
        QTest::newRow("user") << "HKEY_CURRENT_USER" << R::CurrentUser;
        QTest::newRow("machine") << "HKEY_LOCAL_MACHINE" << R::LocalMachine;
        QTest::newRow("users") << "HKEY_USERS" << R::Users;
        QTest::newRow("performance") << "HKEY_PERFORMANCE_DATA" << R::PerformanceData;
        QTest::newRow("config") << "HKEY_CURRENT_CONFIG" << R::CurrentConfig;
        QTest::newRow("dyn") << "HKEY_DYN_DATA" << R::DynData;
        QTest::newRow("case matters") << "HKEY_Local_Machine" << R::None;
        QTest::newRow("short form") << "HKLM" << R::None;
        QTest::newRow("trailing space") << "HKEY_USERS " << R::None;
        QTest::newRow("empty") << "" << R::None;
    }
    void rootNames()
    {
        QFETCH(QString, name);
        QFETCH(quint32, root);
        QCOMPARE(RootKeyFromName(name), root);
        QCOMPARE(R::LocalMachine, 0x80000002u);
    }

    void splitPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<quint32>("root");
        QTest::addColumn<QString>("subKey");
        QTest::newRow("key") << "HKEY_LOCAL_MACHINE\\SOFTWARE\\A b\\C" << R::LocalMachine << "SOFTWARE\\A b\\C";
        QTest::newRow("root alone") << "HKEY_CURRENT_USER" << R::CurrentUser << "";
        QTest::newRow("root and separator") << "HKEY_CURRENT_USER\\" << R::None << "";
        QTest::newRow("trailing separator") << "HKEY_LOCAL_MACHINE\\SOFTWARE\\" << R::None << "";
        QTest::newRow("unknown root") << "HKEY_NOWHERE\\SOFTWARE" << R::None << "SOFTWARE";
        QTest::newRow("lower-case prefix") << "hkey_users\\X" << R::None << "";
        QTest::newRow("no root") << "SOFTWARE\\Microsoft" << R::None << "";
        QTest::newRow("forward slashes") << "HKEY_USERS/X" << R::None << "";
        QTest::newRow("empty") << "" << R::None << "";
    }
    void splitPaths()
    {
        QFETCH(QString, path);
        QFETCH(quint32, root);
        QFETCH(QString, subKey);
        const RegistryPath split = SplitRegistryPath(path);
        QCOMPARE(split.root, root);
        QCOMPARE(split.subKey, subKey);
    }

    // Every name the store has to escape for itself comes back as written,
    // and names that only look alike stay apart.
    void valuesRoundTripUnderTheirOwnNames()
    {
        TempHome home;
        const QString key = kLM + QStringLiteral("\\SOFTWARE\\Velmora 测试\\50%");
        const QStringList names = {QStringLiteral("velmora"),    QStringLiteral("a/b"),
                                   QStringLiteral("a\\b"),       QStringLiteral("%2F"),
                                   QStringLiteral("@"),          QString(),
                                   QStringLiteral("程序.exe"),   QStringLiteral("General"),
                                   QStringLiteral(" spaced "),  QStringLiteral("say \"hi\"\n\\0")};
        for (int i = 0; i < names.size(); ++i)
            QVERIFY2(WriteRegistryDword(key, names[i], quint32(1000 + i)), qPrintable(names[i]));
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(ReadRegistryDword(key, names[i]), QString::number(1000 + i));

        // Key "X\Y" with value "Z" is not key "X" with value "Y\Z".
        QVERIFY(WriteRegistryDword(kLM + QStringLiteral("\\X\\Y"), QStringLiteral("Z"), 1));
        QVERIFY(WriteRegistryDword(kLM + QStringLiteral("\\X"), QStringLiteral("Y\\Z"), 2));
        QCOMPARE(ReadRegistryDword(kLM + QStringLiteral("\\X\\Y"), QStringLiteral("Z")), QStringLiteral("1"));
        QCOMPARE(ReadRegistryDword(kLM + QStringLiteral("\\X"), QStringLiteral("Y\\Z")), QStringLiteral("2"));
        // Roots are separate trees; the full 32 bits come back unsigned.
        QVERIFY(WriteRegistryDword(QStringLiteral("HKEY_CURRENT_USER\\X\\Y"), QStringLiteral("Z"), 0xFFFFFFFFu));
        QCOMPARE(ReadRegistryDword(QStringLiteral("HKEY_CURRENT_USER\\X\\Y"), QStringLiteral("Z")),
                 QStringLiteral("4294967295"));
        QCOMPARE(ReadRegistryDword(kLM + QStringLiteral("\\X\\Y"), QStringLiteral("Z")), QStringLiteral("1"));
        // Names match without regard to case, as on Windows, and keep the
        // spelling they were first written with.
        QVERIFY(WriteRegistryDword(kLM + QStringLiteral("\\SOFTWARE\\VELMORA 测试\\50%"), QStringLiteral("VELMORA"), 42));
        QCOMPARE(ReadRegistryDword(kLM + QStringLiteral("\\software\\velmora 测试\\50%"), QStringLiteral("Velmora")),
                 QStringLiteral("42"));
        QVERIFY(storeBytes().contains("\\Velmora \xe6\xb5\x8b\xe8\xaf\x95\\50%]\n"));
        QVERIFY(storeBytes().contains("\n\"velmora\"=dword:0000002a\n"));
        // Values at the root itself.
        QVERIFY(WriteRegistryDword(QStringLiteral("HKEY_USERS"), QStringLiteral("v"), 7));
        QCOMPARE(ReadRegistryDword(QStringLiteral("HKEY_USERS"), QStringLiteral("v")), QStringLiteral("7"));
    }

    // Paths that name no key write nothing at all.
    void badPathsWriteNothing_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("trailing separator") << kLM + QStringLiteral("\\SOFTWARE\\Velmora\\");
        QTest::newRow("root and separator") << kLM + QStringLiteral("\\");
        QTest::newRow("unknown root") << QStringLiteral("HKEY_ELSEWHERE\\SOFTWARE");
        QTest::newRow("no root") << QStringLiteral("SOFTWARE\\Velmora");
        QTest::newRow("empty part") << kLM + QStringLiteral("\\SOFTWARE\\\\Velmora");
        QTest::newRow("leading separator") << kLM + QStringLiteral("\\\\SOFTWARE");
    }
    void badPathsWriteNothing()
    {
        QFETCH(QString, path);
        TempHome home;
        QVERIFY(WriteRegistryDword(kLM + QStringLiteral("\\SOFTWARE\\Velmora"), QStringLiteral("keep"), 5));
        const QByteArray before = storeBytes();
        QVERIFY(!WriteRegistryDword(path, QStringLiteral("v"), 1));
        QVERIFY(!WriteRegistryString(path, QStringLiteral("v"), QStringLiteral("t")));
        QCOMPARE(storeBytes(), before);
        QCOMPARE(ReadRegistryDword(path, QStringLiteral("v")), RegistryError);
        QCOMPARE(ReadRegistryDword(kLM + QStringLiteral("\\SOFTWARE\\Velmora"), QStringLiteral("v")), RegistryError);
    }

    void stringReads_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("read");
        QTest::newRow("plain") << "Windows 10 Pro" << "Windows 10 Pro";
        QTest::newRow("spaces trimmed") << "  6.1  " << "6.1";
        QTest::newRow("tabs are not spaces") << "\t6.1 " << "\t6.1";
        QTest::newRow("cut at NUL") << QStringLiteral("abc ") + QChar(0) + QStringLiteral("rest") << "abc";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("escapes") << "C:\\a \"b\" [c]\r\n@=x" << "C:\\a \"b\" [c]\r\n@=x";
        // 254 bytes and the NUL fill the 255-byte buffer; one more byte does not fit.
        QTest::newRow("254 bytes") << QString(254, QLatin1Char('x')) << QString(254, QLatin1Char('x'));
        QTest::newRow("255 bytes") << QString(255, QLatin1Char('x')) << "Error";
        QTest::newRow("127 GBK characters") << QString(127, QChar(0x7248)) << QString(127, QChar(0x7248));
        QTest::newRow("128 GBK characters") << QString(128, QChar(0x7248)) << "Error";
    }
    void stringReads()
    {
        QFETCH(QString, stored);
        QFETCH(QString, read);
        TempHome home;
        QVERIFY(WriteRegistryString(WindowsVersionKey, QStringLiteral("v"), stored));
        QCOMPARE(ReadRegistryString(WindowsVersionKey, QStringLiteral("v")), read);
        QCOMPARE(ReadRegistryString(WindowsVersionKey, QStringLiteral("v"), false), read);
    }

    // Anything that is not the asked-for value of the asked-for kind is "Error".
    void unreadableValuesAreErrors()
    {
        TempHome home;
        QCOMPARE(ReadRegistryString(WindowsVersionKey, QStringLiteral("ProductName")), RegistryError);
        QCOMPARE(ReadRegistryDword(WindowsVersionKey, QStringLiteral("UBR")), RegistryError);
        QVERIFY(WriteRegistryDword(WindowsVersionKey, QStringLiteral("n"), 12));
        QVERIFY(WriteRegistryString(WindowsVersionKey, QStringLiteral("t"), QStringLiteral("12")));
        QCOMPARE(ReadRegistryString(WindowsVersionKey, QStringLiteral("n")), RegistryError);
        QCOMPARE(ReadRegistryDword(WindowsVersionKey, QStringLiteral("t")), RegistryError);
        QCOMPARE(ReadRegistryDword(WindowsVersionKey, QStringLiteral("m")), RegistryError);
        QCOMPARE(ReadRegistryDword(QStringLiteral("HKEY_NOWHERE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
                                   QStringLiteral("n")),
                 RegistryError);
        // A hand-edited store with a value of no known kind.
        QFile f(Paths::registryFile());
        QVERIFY(f.open(QIODevice::Append));
        f.write("[HKEY_USERS]\nbad=12\nworse=dword:twelve\n");
        f.close();
        QCOMPARE(ReadRegistryDword(QStringLiteral("HKEY_USERS"), QStringLiteral("bad")), RegistryError);
        QCOMPARE(ReadRegistryDword(QStringLiteral("HKEY_USERS"), QStringLiteral("worse")), RegistryError);
        QCOMPARE(ReadRegistryDword(WindowsVersionKey, QStringLiteral("n")), QStringLiteral("12"));
    }

    void deleteRemovesOneValue()
    {
        TempHome home;
        const QString key = kLM + QStringLiteral("\\SOFTWARE\\Velmora");
        QVERIFY(WriteRegistryDword(key, QStringLiteral("a"), 1));
        QVERIFY(WriteRegistryDword(key, QStringLiteral("b"), 2));
        DeleteRegistryValue(R::LocalMachine, QStringLiteral("SOFTWARE\\Velmora"), QStringLiteral("a"));
        QCOMPARE(ReadRegistryDword(key, QStringLiteral("a")), RegistryError);
        QCOMPARE(ReadRegistryDword(key, QStringLiteral("b")), QStringLiteral("2"));
        // Failures are ignored.
        DeleteRegistryValue(R::LocalMachine, QStringLiteral("SOFTWARE\\Velmora"), QStringLiteral("a"));
        DeleteRegistryValue(R::None, QStringLiteral("SOFTWARE\\Velmora"), QStringLiteral("b"));
        DeleteRegistryValue(R::LocalMachine, QStringLiteral("SOFTWARE\\\\Velmora"), QStringLiteral("b"));
        QCOMPARE(ReadRegistryDword(key, QStringLiteral("b")), QStringLiteral("2"));
    }

    void browserEmulationModes_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("forced");
        QTest::addColumn<QString>("number");
        QTest::newRow("IE10 forced") << "IE10" << true << "10001";
        QTest::newRow("IE10") << "IE10" << false << "10000";
        QTest::newRow("ie10 forced") << "ie10" << true << "10001";
        QTest::newRow("IE9 forced") << "IE9" << true << "9999";
        QTest::newRow("Ie9") << "Ie9" << false << "9000";
        QTest::newRow("IE8 forced") << "IE8" << true << "8888";
        QTest::newRow("IE8") << "IE8" << false << "8000";
        QTest::newRow("IE7 forced") << "IE7" << true << "7000";
        QTest::newRow("IE7") << "ie7" << false << "7000";
        QTest::newRow("IE11") << "IE11" << true << "0";
        QTest::newRow("padded") << " IE10" << true << "0";
        QTest::newRow("empty") << "" << false << "0";
    }
    void browserEmulationModes()
    {
        QFETCH(QString, mode);
        QFETCH(bool, forced);
        QFETCH(QString, number);
        TempHome home;
        // Another program's entry beside ours is never touched.
        QVERIFY(WriteRegistryDword(BrowserEmulationKey, QStringLiteral("other.exe"), 11001));
        QVERIFY(WriteRegistryDword(BrowserEmulationKey, BrowserEmulationValueName(), 8000));
        SetBrowserEmulation(mode, forced);
        QCOMPARE(ReadRegistryDword(BrowserEmulationKey, BrowserEmulationValueName()), number);
        QCOMPARE(ReadRegistryDword(BrowserEmulationKey, QStringLiteral("other.exe")), QStringLiteral("11001"));
        QCOMPARE(BrowserEmulationMode(mode, forced), number == QLatin1String("0") ? -1 : number.toInt());
    }

    // The entry is named after the running executable, so a copy of the
    // program under another name has an entry of its own.
    void emulationEntryFollowsTheExecutableName()
    {
        TempHome home;
        QCOMPARE(BrowserEmulationValueName(), QStringLiteral("tst_registry"));
        SetBrowserEmulation(QStringLiteral("IE10"), true);
        QCOMPARE(ReadRegistryDword(BrowserEmulationKey, QStringLiteral("tst_registry")), QStringLiteral("10001"));
        QVERIFY(storeBytes().contains("FEATURE_BROWSER_EMULATION]\n\"tst_registry\"=dword:00002711\n"));
    }

    // A store that cannot be written: the write reports failure, nothing
    // crashes, the value that did not reach the file is not read back, and
    // a file that is there is left as it was.
    void unwritableStore_data()
    {
        QTest::addColumn<QString>("fixture");
        QTest::newRow("store file is a folder") << "folder";
        QTest::newRow("configuration folder cannot be made") << "blocked";
        QTest::newRow("store file has lines that do not parse") << "broken";
        QTest::newRow("store file is not UTF-8") << "gbk";
    }
    void unwritableStore()
    {
        QFETCH(QString, fixture);
        TempHome home; // puts the previous VELMORA_HOME back at the end
        if (fixture == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(Paths::registryFile()));
        } else if (fixture == QLatin1String("blocked")) {
            QFile blocker(home.path() + QStringLiteral("/file"));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            blocker.close();
            qputenv("VELMORA_HOME", (home.path() + QStringLiteral("/file/home")).toLocal8Bit());
        } else {
            QFile f(Paths::registryFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(fixture == QLatin1String("broken") ? "[HKEY_USERS]\n\"kept\"=dword:5\nnote written by hand\n"
                                                        : "[HKEY_USERS]\n\"kept\"=dword:5\n\"gbk\"=\"\xb0\xe6\"\n");
        }
        const QByteArray before = storeBytes();
        QVERIFY(!WriteRegistryDword(BrowserEmulationKey, QStringLiteral("x"), 10001));
        QVERIFY(!WriteRegistryString(WindowsVersionKey, QStringLiteral("ProductName"), QStringLiteral("W")));
        SetBrowserEmulation(QStringLiteral("IE10"), true);
        SetBrowserEmulation(QStringLiteral("unknown"), true);
        DeleteRegistryValue(R::Users, QString(), QStringLiteral("kept"));
        QCOMPARE(storeBytes(), before);
        QCOMPARE(ReadRegistryDword(BrowserEmulationKey, QStringLiteral("x")), RegistryError);
        QCOMPARE(ReadRegistryDword(BrowserEmulationKey, BrowserEmulationValueName()), RegistryError);
        QCOMPARE(ReadRegistryString(WindowsVersionKey, QStringLiteral("ProductName")), RegistryError);
        QVERIFY(ReadWindowsVersionText().startsWith(QSysInfo::prettyProductName()));
        if (fixture == QLatin1String("folder"))
            QVERIFY(QFileInfo(Paths::registryFile()).isDir());
        if (fixture == QLatin1String("broken") || fixture == QLatin1String("gbk"))
            QCOMPARE(ReadRegistryDword(QStringLiteral("HKEY_USERS"), QStringLiteral("kept")), QStringLiteral("5"));
    }

    void windowsVersionText_data()
    {
        QTest::addColumn<QStringList>("texts"); // name=value pairs
        QTest::addColumn<QString>("ubr");        // empty: no UBR value
        QTest::addColumn<QString>("expected");
        QTest::newRow("current system")
            << QStringList{"ProductName=Windows 10 Pro", "CurrentVersion=6.3", "CurrentBuildNumber=19045",
                           "ReleaseId=2009", "BuildLab=19041.vb_release.191206-1406"}
            << "3570" << "Windows 10 Pro 版本:2009 (内部版本:19045.3570)";
        QTest::newRow("no release id, no UBR, service pack")
            << QStringList{"ProductName=Windows 7 Ultimate", "CurrentVersion=6.1", "CurrentBuildNumber=7601",
                           "BuildLab=7601.win7sp1_ldr.170913-0600", "CSDVersion=Service Pack 1"}
            << "" << "Windows 7 Ultimate 版本:6.1 (内部版本:7601.win7sp1_ldr.170913-0600 : Service Pack 1)";
        QTest::newRow("no UBR, no service pack")
            << QStringList{"ProductName=Windows 8.1 Pro", "CurrentVersion=6.3", "CurrentBuildNumber=9600",
                           "BuildLab=9600.winblue_r4.141028-1500"}
            << "" << "Windows 8.1 Pro 版本:6.3 (内部版本:9600.winblue_r4.141028-1500)";
        QTest::newRow("UBR stored as text counts as missing")
            << QStringList{"ProductName=Windows 10 Home", "CurrentVersion=6.3", "CurrentBuildNumber=10240",
                           "ReleaseId=1507", "BuildLab=10240.th1.150709-1700", "UBR=16384"}
            << "" << "Windows 10 Home 版本:1507 (内部版本:10240.th1.150709-1700)";
        QTest::newRow("missing parts stay empty")
            << QStringList{"ProductName=Windows XP"} << "" << "Windows XP 版本: (内部版本:)";
    }
    void windowsVersionText()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, ubr);
        QFETCH(QString, expected);
        TempHome home;
        for (const QString &pair : texts) {
            const qsizetype eq = pair.indexOf(QLatin1Char('='));
            QVERIFY(WriteRegistryString(WindowsVersionKey, pair.left(eq), pair.mid(eq + 1)));
        }
        if (!ubr.isEmpty())
            QVERIFY(WriteRegistryDword(WindowsVersionKey, QStringLiteral("UBR"), ubr.toUInt()));
        QCOMPARE(ReadWindowsVersionText(), expected);
        QCOMPARE(MakeWindowsVersionText(), expected + QStringLiteral("[") + SystemBitness() + QStringLiteral("位]"));
    }

    // Without the Windows values the operating system describes itself, and
    // the program-wide text is made once.
    void versionTextFromTheOperatingSystem()
    {
        TempHome home;
        const QString text = ReadWindowsVersionText();
        QVERIFY2(text.startsWith(QSysInfo::prettyProductName() + QStringLiteral(" 版本:")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral(" (内部版本:")) && text.endsWith(QLatin1Char(')')), qPrintable(text));
        QVERIFY(text.contains(QSysInfo::kernelVersion()));
        QVERIFY(!text.contains(RegistryError));
        const QString bits = QSysInfo::WordSize == 64 ? QStringLiteral("64") : SystemBitness();
        QCOMPARE(SystemBitness(), bits);

        const QString programWide = WindowsVersionText();
        QCOMPARE(programWide, text + QStringLiteral("[") + bits + QStringLiteral("位]"));
        QVERIFY(WriteRegistryString(WindowsVersionKey, QStringLiteral("ProductName"), QStringLiteral("Windows 10")));
        QCOMPARE(WindowsVersionText(), programWide);
    }
};

VELMORA_TEST_MAIN(TestRegistry)
#include "tst_registry.moc"
