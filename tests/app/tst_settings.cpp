#include "app/paths.h"
#include "app/settings.h"
#include "support/testhome.h"

#include <QFile>

namespace K = SettingKeys;

class TestSettings : public QObject {
    Q_OBJECT
private slots:
    // Runs before anything else touches the program-wide values: their first
    // use reads the store, so a window that opens before the download window
    // (the options dialog) shows and keeps the stored preferences.
    void initTestCase()
    {
        SaveSetting(K::Settings, K::DownloadMode, QStringLiteral("1"));
        SaveSetting(K::Settings, K::MaxFileSize, QStringLiteral("2.5"));
        QCOMPARE(Program().DownloadMode, 1);
        QCOMPARE(Program().MaxFileSizeMB, 2.5);
    }

    void init() { Program() = ProgramValues(); }

    // Every section and key, including the Chinese ones, and values with
    // characters the INI format treats specially, read back from the file.
    void everyKeyRoundTripsThroughTheFile()
    {
        TempHome home;
        const QList<QPair<QString, QString>> keys = {
            {K::Settings, K::DownloadMode}, {K::Settings, K::ProxyEnabled}, {K::Settings, K::ProxyAddress},
            {K::Settings, K::ProxyPort}, {K::Settings, K::MaxFileSize}, {K::Settings, K::SaveFolder},
            {K::Settings, K::LastOpenedFolder}, {K::Download, K::Threads},
            {K::PatentDownload, K::DuplicateFileName}, {K::WebSearch, K::WebSearchDelay},
            {K::FileDownload, K::Resolution}, {K::FileDownload, K::Top}, {K::FileDownload, K::Left},
            {K::FileDownload, K::Width}, {K::FileDownload, K::Height}, {K::CopyMove, K::DestinationFolder},
            {K::CopyMove, K::OpIndex}};
        const QStringList values = {QStringLiteral("/home/用户/论文 2024/"), QStringLiteral("a,b; c"),
                                    QStringLiteral(" 前后空格 "), QStringLiteral("@Variant(x)"),
                                    QStringLiteral("c:\\12345\\"), QStringLiteral("\"引号\""), QString()};
        for (int i = 0; i < keys.size(); ++i)
            SaveSetting(keys[i].first, keys[i].second, values[i % values.size()] + QString::number(i));

        QVERIFY(QFile::exists(Paths::settingsFile()));
        for (int i = 0; i < keys.size(); ++i)
            QCOMPARE(GetSetting(keys[i].first, keys[i].second, QStringLiteral("absent")),
                     values[i % values.size()] + QString::number(i));
        // Keys are distinct: no two of them share a place in the file.
        QCOMPARE(GetSetting(K::Settings, K::DownloadMode), values[0] + QStringLiteral("0"));
        QCOMPARE(GetSetting(K::Settings, QStringLiteral("未保存"), QStringLiteral("默认")), QStringLiteral("默认"));
    }

    void emptyStoreGivesEveryDefault()
    {
        TempHome home;
        Program().DownloadMode = 1;
        Program().ProxyEnabled = 1;
        Program().ProxyAddress = QStringLiteral("old");
        Program().MaxFileSizeMB = 3;
        LoadProgramValues();
        const ProgramValues &p = Program();
        QCOMPARE(p.DownloadMode, 2);
        QCOMPARE(p.ProxyEnabled, 0);
        QCOMPARE(p.ProxyAddress, QString());
        QCOMPARE(p.ProxyPort, QString());
        QCOMPARE(p.MaxFileSizeMB, 10.0);
        QCOMPARE(p.SaveFolder, Paths::defaultSaveFolder());
        QVERIFY(p.SaveFolder.endsWith(QStringLiteral("/12345")));

        int threads = -1, delay = -1, op = -1;
        QVERIFY(ReadSettingInt(K::Download, K::Threads, SettingDefaults::Threads, threads));
        QVERIFY(ReadSettingInt(K::WebSearch, K::WebSearchDelay, SettingDefaults::WebSearchDelay, delay));
        QVERIFY(ReadSettingInt(K::CopyMove, K::OpIndex, SettingDefaults::OpIndex, op));
        QCOMPARE(threads, 2);
        QCOMPARE(delay, 1);
        QCOMPARE(op, 4);
        QCOMPARE(GetSetting(K::PatentDownload, K::DuplicateFileName, SettingDefaults::DuplicateFileName),
                 QStringLiteral("重命名"));
        QCOMPARE(GetSetting(K::Settings, K::LastOpenedFolder, SettingDefaults::LastOpenedFolder()), Paths::dataDir());
        QCOMPARE(GetSetting(K::CopyMove, K::DestinationFolder, SettingDefaults::DestinationFolder()),
                 Paths::dataDir() + QLatin1Char('/'));
        QVERIFY(Paths::dataDir().startsWith(home.path()));
    }

    void storedValuesAreLoaded()
    {
        TempHome home;
        SaveSetting(K::Settings, K::DownloadMode, QStringLiteral("1"));
        SaveSetting(K::Settings, K::ProxyEnabled, QStringLiteral("1"));
        SaveSetting(K::Settings, K::ProxyAddress, QStringLiteral(" proxy.example.com "));
        SaveSetting(K::Settings, K::ProxyPort, QStringLiteral("3128"));
        SaveSetting(K::Settings, K::MaxFileSize, QStringLiteral("2.5"));
        SaveSetting(K::Settings, K::SaveFolder, QStringLiteral("/data/文献/"));
        LoadProgramValues();
        const ProgramValues &p = Program();
        QCOMPARE(p.DownloadMode, 1);
        QCOMPARE(p.ProxyEnabled, 1);
        QCOMPARE(p.ProxyAddress, QStringLiteral("proxy.example.com"));
        QCOMPARE(p.ProxyPort, QStringLiteral("3128"));
        QCOMPARE(p.MaxFileSizeMB, 2.5);
        QCOMPARE(p.SaveFolder, QStringLiteral("/data/文献/"));
    }

    // A value that cannot be used leaves the one in memory alone.
    void unusableStoredValuesKeepThePreviousValue_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::newRow("mode text") << K::DownloadMode << "abc";
        QTest::newRow("mode 3") << K::DownloadMode << "3";
        QTest::newRow("mode decimal") << K::DownloadMode << "1.5";
        QTest::newRow("proxy flag text") << K::ProxyEnabled << "yes";
        QTest::newRow("proxy flag 7") << K::ProxyEnabled << "7";
        QTest::newRow("size text") << K::MaxFileSize << "10MB";
        QTest::newRow("size empty") << K::MaxFileSize << "";
        QTest::newRow("size zero") << K::MaxFileSize << "0";
        QTest::newRow("size negative") << K::MaxFileSize << "-4";
        QTest::newRow("size infinite") << K::MaxFileSize << "inf";
    }
    void unusableStoredValuesKeepThePreviousValue()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        TempHome home;
        SaveSetting(K::Settings, K::DownloadMode, QStringLiteral("1"));
        SaveSetting(K::Settings, K::ProxyEnabled, QStringLiteral("1"));
        SaveSetting(K::Settings, K::MaxFileSize, QStringLiteral("7.5"));
        LoadProgramValues();
        SaveSetting(K::Settings, key, stored);
        LoadProgramValues();
        QCOMPARE(Program().DownloadMode, 1);
        QCOMPARE(Program().ProxyEnabled, 1);
        QCOMPARE(Program().MaxFileSizeMB, 7.5);
    }

    void numericReaders()
    {
        TempHome home;
        int n = 5;
        SaveSetting(QStringLiteral("s"), QStringLiteral("i"), QStringLiteral(" 42 "));
        QVERIFY(ReadSettingInt(QStringLiteral("s"), QStringLiteral("i"), 0, n));
        QCOMPARE(n, 42);
        SaveSetting(QStringLiteral("s"), QStringLiteral("i"), QStringLiteral("4x"));
        QVERIFY(!ReadSettingInt(QStringLiteral("s"), QStringLiteral("i"), 0, n));
        QCOMPARE(n, 42);
        double d = 1;
        QVERIFY(ReadSettingDouble(QStringLiteral("s"), QStringLiteral("absent"), 10, d));
        QCOMPARE(d, 10.0);
    }

    void decimalTextIsPlainAndReadsBack_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 10.0 << "10";
        QTest::newRow("half") << 2.5 << "2.5";
        QTest::newRow("tenth") << 0.1 << "0.1";
        QTest::newRow("small") << 0.00001 << "0.00001";
        QTest::newRow("large") << 123456789.0 << "123456789";
    }
    void decimalTextIsPlainAndReadsBack()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(DecimalText(value), text);
        QCOMPARE(text.toDouble(), value);
    }
};

VELMORA_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
