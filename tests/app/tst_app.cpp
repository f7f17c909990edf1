#include "app/clock.h"
#include "app/messages.h"
#include "app/paths.h"
#include "support/messagerecorder.h"
#include "support/runprogram.h"
#include "support/testhome.h"

class TestApp : public QObject {
    Q_OBJECT
private slots:
    void versionOption()
    {
        ProgramSetup setup;
        setup.limitMs = 20000;
        const ProgramRun run = RunProgram({QStringLiteral("--version")}, setup);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.trimmed(), QByteArray("1.8.1225"));
    }
    void unknownSubcommandIsAUsageError()
    {
        ProgramSetup setup;
        setup.limitMs = 20000;
        const ProgramRun run = RunProgram({QStringLiteral("no-such-command")}, setup);
        QCOMPARE(run.exitCode, 2);
    }
    void everyFolderLivesBelowVelmoraHome()
    {
        TempHome home;
        for (const QString &p : {Paths::configDir(), Paths::dataDir(), Paths::browserProfileDir(),
                                 Paths::settingsFile(), Paths::registryFile()})
            QVERIFY2(p.startsWith(home.path() + QLatin1Char('/')), qPrintable(p));
        QVERIFY(QFileInfo(Paths::dataDir()).isDir());
    }
    void manualClockReplacesTheSteadyClock()
    {
        ManualClock manual(50);
        Clock::setInstance(&manual);
        manual.advance(300);
        QCOMPARE(Now(), 350.0);
        Clock::setInstance(nullptr);
        QVERIFY(Now() < 1e6);
    }
    void messagesAreRecordedAndQuestionsAnswered()
    {
        MessageRecorder rec;
        rec.answers = {false};
        Msg::error(QStringLiteral("a"));
        QCOMPARE(Msg::question(QStringLiteral("q")), false);
        QCOMPARE(Msg::question(QStringLiteral("q")), true);
        QCOMPARE(rec.texts(), (QStringList{"a", "q", "q"}));
        QCOMPARE(rec.messages.first().kind, Msg::Kind::Error);
        rec.inputs = {QString()};
        bool ok = true;
        Msg::input(QStringLiteral("p"), {}, &ok);
        QVERIFY(!ok);
    }
};

VELMORA_TEST_MAIN(TestApp)
#include "tst_app.moc"
