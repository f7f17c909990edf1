#include "app/paths.h"
#include "queue/notices.h"
#include "queue/scheduler.h"
#include "support/testfiles.h"
#include "support/faketransfers.h"
#include "support/messagerecorder.h"
#include "support/testhome.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

class TestScheduler : public QObject {
    Q_OBJECT
private slots:
    void intervalGatesTheNextStart_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("interval");
        QTest::addColumn<double>("elapsed");
        QTest::addColumn<bool>("starts");
        QTest::newRow("mode 1, 5 s, at 5 s") << 1 << 5 << 5.0 << false;
        QTest::newRow("mode 1, 5 s, after 5 s") << 1 << 5 << 5.25 << true;
        QTest::newRow("mode 2, 5 s, at 5 s") << 2 << 5 << 5.0 << false;
        QTest::newRow("mode 2, 5 s, after 5 s") << 2 << 5 << 5.25 << true;
        QTest::newRow("mode 1, 0 s, same instant") << 1 << 0 << 0.0 << false;
        QTest::newRow("mode 2, 0 s, next tick") << 2 << 0 << 1.0 << true;
    }
    void intervalGatesTheNextStart()
    {
        QFETCH(int, mode);
        QFETCH(int, interval);
        QFETCH(double, elapsed);
        QFETCH(bool, starts);
        TempHome home;
        SchedulerRig rig(mode);
        rig.addRows(2, home.folder("save"));
        rig.scheduler.setInterval(interval);
        rig.scheduler.start();
        rig.session.LastFinishTime = rig.clock.now();
        rig.clock.advance(elapsed);
        rig.scheduler.timerDownTick();
        const int started = int(rig.m1.started.size() + rig.m2.starts.size());
        QCOMPARE(started > 0, starts);
        QCOMPARE(rig.row(0)->state, starts ? Downloading : Waiting);
    }

    void modeTwoSavesTheTypeWordInLowerCase()
    {
        TempHome home;
        SchedulerRig rig(2);
        const QString folder = home.folder("save");
        rig.addRows(1, folder, "PDF");
        rig.clock.advance(6);
        rig.scheduler.timerDownTick();
        QCOMPARE(rig.m2.starts.size(), 1);
        QCOMPARE(rig.m2.starts[0].target, folder + "/n1.pdf");
        QCOMPARE(rig.row(0)->type, QString("PDF")); // the list shows the word as given
        QCOMPARE(ItemFilePath(*rig.row(0)), folder + "/n1.pdf");
    }

    void modeTwoStartsFreeSlotsAndWaitsAfterAnyEnd()
    {
        TempHome home;
        SchedulerRig rig(2);
        const QString folder = home.path() + "/new/sub";
        rig.addRows(2, folder);
        rig.scheduler.setThreadCount(3);
        rig.scheduler.setInterval(5);
        rig.clock.advance(6);

        // Two waiting rows, three threads: slots 1 and 2 start, 3 stays idle.
        rig.scheduler.timerDownTick();
        QCOMPARE(rig.m2.startedSlots(), (QList<int>{1, 2}));
        QCOMPARE(rig.m2.starts[0].position, 1);
        QCOMPARE(rig.m2.starts[1].position, 2);
        QCOMPARE(rig.m2.starts[0].url, QString("http://h/u1"));
        QCOMPARE(rig.m2.starts[0].target, folder + "/n1.pdf");
        QVERIFY(QDir(folder).exists());
        QCOMPARE(rig.row(0)->folder, folder + "/");
        QCOMPARE(rig.session.SlotRow[2], 2);

        // One ends; the free slots wait out the interval from that end.
        rig.addRows(3, folder);
        rig.m2.finish(1, Finished);
        rig.clock.advance(3);
        rig.scheduler.timerDownTick();
        QCOMPARE(rig.m2.starts.size(), 2);
        rig.clock.advance(3);
        rig.scheduler.timerDownTick();
        QCOMPARE(rig.m2.startedSlots(), (QList<int>{1, 2, 1, 3}));
        QCOMPARE(rig.m2.starts[2].position, 3);
        QCOMPARE(rig.m2.starts[3].position, 4);
        QCOMPARE(rig.row(4)->state, Waiting);
    }

    void modeTwoNamesTheFileUnderThePolicy()
    {
        TempHome home;
        SchedulerRig rig(2);
        const QString folder = home.folder("save");
        writeFile(folder + "/report.pdf", "old");
        rig.list().add("http://h/a|http://h/b", "re:port", "pdf", folder);
        rig.clock.advance(1);
        rig.scheduler.timerDownTick();
        QCOMPARE(rig.m2.starts.size(), 1);
        QCOMPARE(rig.m2.starts[0].url, QString("http://h/a"));
        QCOMPARE(rig.m2.starts[0].target, folder + "/report[001].pdf");
        QCOMPARE(rig.row(0)->name, QString("report[001]"));
    }

    void rowWithoutAUsableFolderFailsInsteadOfGoingToTheRoot_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("mode 1") << 1;
        QTest::newRow("mode 2") << 2;
    }
    void rowWithoutAUsableFolderFailsInsteadOfGoingToTheRoot()
    {
        QFETCH(int, mode);
        TempHome home;
        MessageRecorder messages;
        SchedulerRig rig(mode);
        rig.list().add("http://h/x", "x", "pdf", "");
        rig.addRows(1, home.folder("save"));
        rig.clock.advance(1);
        rig.scheduler.timerDownTick();
        QCOMPARE(rig.row(0)->state, Failed);
        QCOMPARE(rig.row(0)->size, QString("下载失败"));
        QCOMPARE(rig.row(1)->state, Downloading);
    }

    void existingFilesAreSkippedAndTheNextRowStarts_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("mode 1") << 1;
        QTest::newRow("mode 2") << 2;
    }
    void existingFilesAreSkippedAndTheNextRowStarts()
    {
        QFETCH(int, mode);
        TempHome home;
        SchedulerRig rig(mode);
        rig.session.sameName = DuplicateNamePolicy::Skip;
        rig.session.autoLocate = true;
        rig.scheduler.setThreadCount(1);
        const QString folder = home.folder("save");
        rig.addRows(5, folder);
        for (int i = 1; i <= 3; ++i)
            writeFile(folder + QString("/n%1.pdf").arg(i), QByteArray(i * 10, 'x'));
        QSignalSpy located(&rig.session, &DownloadSession::locateRequested);
        rig.clock.advance(1);
        rig.scheduler.timerDownTick();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(rig.row(i)->state, Finished);
            QCOMPARE(rig.row(i)->percent, QString("已存在，跳过"));
            QCOMPARE(rig.row(i)->size, QString::number((i + 1) * 10));
            QCOMPARE(rig.row(i)->received, QString::number((i + 1) * 10));
        }
        QCOMPARE(rig.row(3)->state, Downloading);
        QCOMPARE(rig.row(4)->state, Waiting);
        QCOMPARE(rig.session.SlotRow[1], 4);
        QCOMPARE(located.size(), 1);
        QCOMPARE(located[0][0].toInt(), 3);
        if (mode == 1)
            QCOMPARE(rig.m1.started, (QList<ItemRef>{rig.row(3)}));
        else
            QCOMPARE(rig.m2.starts.size(), 1);

        // The running transfer holds the next tick off.
        rig.clock.advance(1);
        rig.scheduler.timerDownTick();
        QCOMPARE(rig.row(4)->state, Waiting);
    }

    void modeOneTakesOneRowAtATime()
    {
        TempHome home;
        SchedulerRig rig(1);
        rig.addRows(2, home.folder("save"));
        rig.list().setProgress(rig.row(0), "等待重新下载", "", "");
        rig.clock.advance(1);
        rig.scheduler.timerDownTick();
        QCOMPARE(rig.m1.started.size(), 1);
        // The row starts with its progress cleared.
        QCOMPARE(rig.row(0)->size, QString());
        QVERIFY(rig.session.DownloadBusy);
        rig.m1.finish(Finished);
        rig.clock.advance(1);
        rig.scheduler.timerDownTick();
        QCOMPARE(rig.m1.started, (QList<ItemRef>{rig.row(0), rig.row(1)}));
    }

    void emptyListStopsTheScheduler()
    {
        SchedulerRig rig;
        QSignalSpy running(&rig.scheduler, &Scheduler::runningChanged);
        rig.scheduler.start();
        QVERIFY(rig.scheduler.isRunning());
        QVERIFY(rig.scheduler.timerDown().isActive());
        rig.scheduler.timerDownTick();
        QVERIFY(!rig.scheduler.isRunning());
        QCOMPARE(running.size(), 2);
    }

    void endOfListStopsWithNotice()
    {
        TempHome home;
        SchedulerRig rig;
        rig.addRows(2, home.folder("save"));
        QSignalSpy indicator(&rig.scheduler, &Scheduler::indicatorChanged);
        QSignalSpy menu(&rig.scheduler, &Scheduler::startEnabledChanged);
        rig.scheduler.start();
        rig.scheduler.timer1Tick();
        QVERIFY(rig.scheduler.indicatorVisible());
        QVERIFY(!rig.scheduler.startEnabled());
        QCOMPARE(rig.session.statusText(4), QString("总数:2 正在下载:0 等待:2 已完成:0 失败:0"));
        QVERIFY(rig.hooks.notices.isEmpty());

        rig.list().setState(rig.row(0), Finished);
        rig.list().setState(rig.row(1), Failed);
        rig.scheduler.timer1Tick();
        QVERIFY(!rig.scheduler.isRunning());
        QVERIFY(rig.scheduler.startEnabled());
        QVERIFY(!rig.scheduler.indicatorVisible());
        QCOMPARE(rig.hooks.notices, (QList<int>{102}));
        QCOMPARE(indicator.size(), 2);
        QCOMPARE(menu.size(), 2);

        // Once stopped, the next tick plays nothing more; without sound, nothing.
        rig.scheduler.timer1Tick();
        rig.session.soundNotices = false;
        rig.scheduler.start();
        rig.scheduler.timer1Tick();
        QCOMPARE(rig.hooks.notices, (QList<int>{102}));
    }

    void automaticRedownloadRounds_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QList<int>>("reset"); // rows back to Waiting
        // rows: failed pdf, finished htm, finished xml, finished pdf
        QTest::newRow("failed") << 0 << QList<int>{0};
        QTest::newRow("web pages") << 1 << QList<int>{1, 2};
        QTest::newRow("both") << 2 << QList<int>{0, 1, 2};
    }
    void automaticRedownloadRounds()
    {
        QFETCH(int, choice);
        QFETCH(QList<int>, reset);
        TempHome home;
        SchedulerRig rig;
        const QString folder = home.folder("save");
        rig.list().add("http://h/a|http://h/b", "a", "pdf", folder);
        rig.list().add("http://h/c", "c", "htm", folder);
        rig.list().add("http://h/d", "d", "XML", folder);
        rig.list().add("http://h/e", "e", "pdf", folder);
        const ItemState before[4] = {Failed, Finished, Finished, Finished};
        for (int i = 0; i < 4; ++i) {
            rig.list().setState(rig.row(i), before[i]);
            rig.list().setProgress(rig.row(i), "10", "10", "100%");
        }
        rig.scheduler.setAutoRedownload(true);
        rig.scheduler.setRedownloadChoice(choice);
        QSignalSpy rounds(&rig.scheduler, &Scheduler::redownloadRoundStarted);
        rig.scheduler.start();

        rig.scheduler.timer1Tick();
        QCOMPARE(rig.hooks.notices, (QList<int>{102}));
        QVERIFY(rig.scheduler.isRunning());
        QCOMPARE(rounds.size(), 1);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(rig.row(i)->state, reset.contains(i) ? Waiting : before[i]);
        if (reset.contains(0))
            QCOMPARE(rig.row(0)->key, QString("http://h/b|http://h/a"));

        // The next round: the rows end again (the transfer found the page
        // type again), and the same tick starts again.
        for (int i : reset) {
            if (i > 0)
                QCOMPARE(rig.row(i)->type, QString("xxx"));
            rig.list().set(rig.row(i), DownloadList::Type, "htm");
            rig.list().setState(rig.row(i), Failed);
        }
        rig.scheduler.timer1Tick();
        QVERIFY(rig.scheduler.isRunning());
        QCOMPARE(rounds.size(), 2);
    }

    void automaticRedownloadWithNothingToResetStaysStopped()
    {
        TempHome home;
        SchedulerRig rig;
        rig.addRows(1, home.folder("save"));
        rig.list().setState(rig.row(0), Finished);
        rig.scheduler.setAutoRedownload(true);
        rig.scheduler.start();
        rig.scheduler.timer1Tick();
        rig.scheduler.timer1Tick();
        rig.scheduler.timer1Tick();
        QVERIFY(!rig.scheduler.isRunning());
        QCOMPARE(rig.hooks.notices, (QList<int>{102}));
        // A row added later still starts a round.
        rig.addRows(1, home.folder("save"));
        rig.scheduler.timer1Tick();
        QVERIFY(rig.scheduler.isRunning());
    }

    void fiveErrorsOrPagesStopTheScheduler()
    {
        TempHome home;
        SchedulerRig rig;
        rig.addRows(4, home.folder("save"));
        rig.addRows(1, home.folder("save"), "HTML");
        rig.addRows(3, home.folder("save"));
        rig.scheduler.setStopOnErrors(true);
        rig.scheduler.start();
        for (int i = 0; i < 3; ++i)
            rig.list().setState(rig.row(i), Failed);
        rig.scheduler.timer1Tick(); // 3 failed + 1 page
        QVERIFY(rig.scheduler.isRunning());
        rig.list().setState(rig.row(3), Failed);
        rig.scheduler.timer1Tick();
        QVERIFY(!rig.scheduler.isRunning());
        QCOMPARE(rig.hooks.notices, (QList<int>{102}));
        // Unticked, the same list keeps running.
        rig.scheduler.setStopOnErrors(false);
        rig.scheduler.start();
        rig.scheduler.timer1Tick();
        QVERIFY(rig.scheduler.isRunning());
    }

    void automaticStartNeedsAnUntouchedRow()
    {
        TempHome home;
        SchedulerRig rig;
        rig.addRows(1, home.folder("save"));
        rig.list().setProgress(rig.row(0), "等待重新下载", "", "");
        rig.scheduler.setAutoStart(true);
        rig.scheduler.timer1Tick();
        QVERIFY(!rig.scheduler.isRunning());
        rig.addRows(1, home.folder("save"));
        rig.scheduler.timer1Tick();
        QVERIFY(rig.scheduler.isRunning());
    }

    void busyFlagFollowsTheTransfers()
    {
        TempHome home;
        {
            SchedulerRig rig(1);
            rig.session.DownloadBusy = true;
            rig.m1.executing = true;
            rig.scheduler.timer1Tick();
            QVERIFY(rig.session.DownloadBusy);
            rig.m1.executing = false;
            rig.scheduler.start();
            rig.scheduler.timer1Tick(); // empty list: stopped in step 1
            QVERIFY(!rig.session.DownloadBusy);
        }
        {
            SchedulerRig rig(2);
            rig.addRows(1, home.folder("save"));
            rig.scheduler.setThreadCount(2);
            rig.m2.inUse.insert(2);
            rig.scheduler.start();
            rig.scheduler.timer1Tick();
            QVERIFY(rig.session.DownloadBusy);
            // A slot above the thread count is not looked at.
            rig.session.DownloadBusy = false;
            rig.m2.inUse = {4};
            rig.scheduler.timer1Tick();
            QVERIFY(!rig.session.DownloadBusy);
            rig.m2.inUse = {1};
            rig.scheduler.stop();
            rig.m2.inUse = {1};
            rig.scheduler.timer1Tick();
            QVERIFY(!rig.session.DownloadBusy);
        }
    }

    void stopEndsEverything()
    {
        TempHome home;
        SchedulerRig rig;
        rig.addRows(3, home.folder("save"));
        rig.scheduler.setAutoStart(true);
        rig.scheduler.setAutoRedownload(true);
        QSignalSpy autoStart(&rig.scheduler, &Scheduler::autoStartChanged);
        QSignalSpy autoRedownload(&rig.scheduler, &Scheduler::autoRedownloadChanged);
        rig.scheduler.start();
        rig.clock.advance(1);
        rig.scheduler.setThreadCount(2);
        rig.scheduler.timerDownTick();
        rig.list().setProgress(rig.row(0), "100", "40", "40%");
        QVERIFY(rig.scheduler.DownloadsActive());

        rig.scheduler.stop();
        QVERIFY(!rig.scheduler.isRunning());
        QVERIFY(!rig.scheduler.autoStart());
        QVERIFY(!rig.scheduler.autoRedownload());
        QCOMPARE(autoStart.size(), 1);
        QCOMPARE(autoRedownload.size(), 1);
        QCOMPARE(rig.m1.cancels, 2);
        QCOMPARE(rig.m2.unloadAll, 1);
        QVERIFY(!rig.session.DownloadBusy);
        QCOMPARE(rig.row(0)->state, Failed);
        QCOMPARE(rig.row(0)->percent, QString("40%")); // last progress kept
        QCOMPARE(rig.row(1)->state, Failed);
        QCOMPARE(rig.row(2)->state, Waiting);
        QVERIFY(!rig.scheduler.DownloadsActive());
    }

    void closingAsksWhileWorkRemains()
    {
        TempHome home;
        SchedulerRig rig;
        QVERIFY(!rig.scheduler.ClosingNeedsConfirmation());
        // A waiting row asks even when nothing runs.
        rig.addRows(1, home.folder("save"));
        QVERIFY(rig.scheduler.ClosingNeedsConfirmation());
        rig.list().setState(rig.row(0), Finished);
        QVERIFY(!rig.scheduler.ClosingNeedsConfirmation());
        rig.m2.inUse.insert(6);
        QVERIFY(rig.scheduler.ClosingNeedsConfirmation());
        rig.m2.inUse.clear();
        rig.m1.executing = true;
        QVERIFY(rig.scheduler.ClosingNeedsConfirmation());
        rig.m1.executing = false;
        rig.scheduler.start();
        QVERIFY(rig.scheduler.ClosingNeedsConfirmation());
    }

    void switchingResetsTheThreadCount()
    {
        SchedulerRig rig(2);
        rig.scheduler.setThreadCount(4);
        QSignalSpy modes(&rig.scheduler, &Scheduler::modeChanged);
        rig.scheduler.switchMode();
        QCOMPARE(rig.scheduler.mode(), 1);
        QCOMPARE(Program().DownloadMode, 1);
        QCOMPARE(rig.scheduler.threadCount(), 1);
        QVERIFY(!rig.scheduler.threadCountEnabled());
        rig.scheduler.setThreadCount(5);
        rig.scheduler.switchMode();
        QCOMPARE(rig.scheduler.mode(), 2);
        QCOMPARE(rig.scheduler.threadCount(), 1);
        QVERIFY(rig.scheduler.threadCountEnabled());
        QCOMPARE(modes.size(), 2);
    }

    // Switched to mode 1 while mode-2 slots ran: once they have ended, mode 1
    // takes the next row instead of waiting for good on their busy flag.
    void switchingWhileRunningGoesOnInTheNewMode()
    {
        TempHome home;
        SchedulerRig rig(2);
        rig.addRows(3, home.folder("save"));
        rig.scheduler.setThreadCount(1);
        rig.scheduler.start();
        rig.clock.advance(1);
        rig.scheduler.timerDownTick();
        QCOMPARE(rig.m2.startedSlots(), QList<int>{1});
        rig.scheduler.switchMode();
        rig.scheduler.timer1Tick();
        QVERIFY(rig.session.DownloadBusy); // the slot still runs
        rig.m2.finish(1, Finished);
        rig.scheduler.timer1Tick();
        rig.clock.advance(1);
        rig.scheduler.timerDownTick();
        QCOMPARE(rig.m1.started.size(), 1);
        QCOMPARE(rig.m1.started.value(0), rig.row(1));
    }

    void timersAreNamedAndOneSecond()
    {
        SchedulerRig rig;
        QCOMPARE(rig.scheduler.timerDown().objectName(), QString("Timer_Down"));
        QCOMPARE(rig.scheduler.timerDown().interval(), 1000);
        QCOMPARE(rig.scheduler.timer1().objectName(), QString("Timer1"));
        QCOMPARE(rig.scheduler.timer1().interval(), 1000);
        QVERIFY(!rig.scheduler.timer1().isActive());
    }

    void noticeSoundsAreWrittenOnceAndPlayedWithoutWaiting()
    {
        TempHome home;
        QByteArray first;
        for (int n : {101, 102, 103}) {
            const QString path = NoticeSoundFile(n);
            QCOMPARE(path, Paths::dataDir() + QString("/%1.wav").arg(n));
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            QVERIFY(bytes.startsWith("RIFF"));
            QCOMPARE(bytes.mid(8, 4), QByteArray("WAVE"));
            QVERIFY(bytes != first);
            first = bytes;
        }
        // A sound already in the folder is kept as it is.
        writeFile(Paths::dataDir() + "/101.wav", "mine");
        QCOMPARE(NoticeSoundFile(101), Paths::dataDir() + "/101.wav");
        QFile mine(Paths::dataDir() + "/101.wav");
        QVERIFY(mine.open(QIODevice::ReadOnly));
        QCOMPARE(mine.readAll(), QByteArray("mine"));
        QVERIFY(NoticeSoundFile(104).isEmpty());
        // Playing returns at once, with or without an audio device.
        PlayNotice(102);
        PlayNotice(103);
        PlayNotice(7);
    }
};

VELMORA_TEST_MAIN(TestScheduler)
#include "tst_scheduler.moc"
