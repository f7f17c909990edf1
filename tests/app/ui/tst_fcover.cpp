// The start window and the flow between it, the search window and the
// download window. The search window is a stand-in (a plain window of the
// same name) made by the factory the program installs; the download window
// is the real one.
#include "app/registry.h"
#include "app/settings.h"
#include "app/ui/fcover.h"
#include "app/ui/windowflow.h"
#include "app/versiontext.h"
#include "queue/ui/ffiledownload.h"
#include "support/messagerecorder.h"
#include "support/runprogram.h"
#include "support/uitestmain.h"

#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTimer>

#include <memory>

namespace {

// Counts the search windows made and the update checks started.
struct Installed {
    int searchWindows = 0;
    int updateChecks = 0;
    QPointer<QWidget> lastSearch;
};

bool visible(const QWidget *w) { return w && w->isVisible(); }

} // namespace

class TestCover : public QObject {
    Q_OBJECT
    Installed m_installed;

private slots:
    void init()
    {
        m_installed = Installed();
        fCover::Hooks hooks;
        hooks.searchWindow = [this] {
            auto *w = new QWidget;
            w->setObjectName(QStringLiteral("fWebSearch"));
            ++m_installed.searchWindows;
            m_installed.lastSearch = w;
            return w;
        };
        hooks.updateCheck = [this](fCover &) { ++m_installed.updateChecks; };
        fCover::setHooks(hooks);
    }

    void cleanup()
    {
        WindowFlow::deleteWorkWindows();
        QVERIFY(!fFileDownload::instance());
    }

    void versionCaption_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("caption");
        QTest::newRow("program") << QStringLiteral(VELMORA_VERSION) << QStringLiteral("版本:1.8.1225");
        QTest::newRow("three parts") << QStringLiteral("3.2.17") << QStringLiteral("版本:3.2.17");
        QTest::newRow("leading zeros") << QStringLiteral("3.02.007") << QStringLiteral("版本:3.2.7");
        QTest::newRow("missing revision") << QStringLiteral("3.2") << QStringLiteral("版本:3.2.0");
    }
    void versionCaption()
    {
        QFETCH(QString, version);
        QFETCH(QString, caption);
        QCOMPARE(fCover::versionCaption(version), caption);
    }

    // Loading sets the program-wide values, shows the window sized by its
    // picture and starts the update check once, 100 ms later.
    void load()
    {
        SaveSetting(SettingKeys::Settings, SettingKeys::MaxFileSize, QStringLiteral("25"));
        fCover cover;
        QVERIFY(cover.Label4->isVisibleTo(&cover));
        QVERIFY(!cover.Timer1->isActive());
        cover.load();

        QVERIFY(cover.isVisible());
        QCOMPARE(cover.windowTitle(), QStringLiteral("Velmora"));
        QCOMPARE(cover.Label3->text(), QStringLiteral("版本:1.8.1225"));
        QCOMPARE(cover.Label1->text(), QStringLiteral("最新版本："));
        QCOMPARE(cover.Command1->text(), QStringLiteral("文献检索下载"));
        QCOMPARE(cover.Command3->text(), QStringLiteral("退出软件"));
        QVERIFY(cover.Label2->text().startsWith(QStringLiteral("(该软件仅用于科研人员辅助少量下载")));
        QVERIFY(!cover.Label4->isVisible());

        QVERIFY(WindowsVersionText().endsWith(QStringLiteral("位]")));
        QCOMPARE(ReadRegistryDword(BrowserEmulationKey, BrowserEmulationValueName()), QStringLiteral("10001"));
        QCOMPARE(Program().MaxFileSizeMB, 25.0);

        // Picture at the corner; the window is the picture plus 50 by 600 twips.
        const QSize picture = cover.Image1->pixmap().deviceIndependentSize().toSize();
        QVERIFY(!picture.isEmpty());
        QCOMPARE(cover.Image1->pos(), QPoint(0, 0));
        QCOMPARE(cover.size(), picture + QSize(3, 40));
        cover.resize(900, 900);
        QCOMPARE(cover.size(), picture + QSize(3, 40));
        for (QWidget *w : {static_cast<QWidget *>(cover.Command1), static_cast<QWidget *>(cover.Command3),
                           static_cast<QWidget *>(cover.Label3), static_cast<QWidget *>(cover.Label1)})
            QVERIFY2(cover.rect().contains(w->geometry()), qPrintable(w->objectName()));

        QVERIFY(cover.Timer1->isSingleShot());
        QCOMPARE(cover.Timer1->interval(), 100);
        QTRY_COMPARE(m_installed.updateChecks, 1);
        QVERIFY(!cover.Timer1->isActive());
        QTest::qWait(150);
        QCOMPARE(m_installed.updateChecks, 1);
    }

    // The program without arguments: the start window reaches the screen,
    // and "文献检索下载" opens a window that reaches it too.
    void programStartsWithStartWindow()
    {
        QTemporaryDir home;
        ProgramSetup setup;
        setup.home = home.path();
        setup.environment.insert(QStringLiteral("VELMORA_STARTUP_PROBE"), QStringLiteral("search:0"));
        setup.limitMs = 60000;
        const ProgramRun run = RunProgram(QStringList(), setup);
        QCOMPARE(run.exitCode, 0);
        QStringList events;
        for (const QByteArray &line : run.out.split('\n'))
            if (!line.isEmpty())
                events << QString::fromLatin1(line.split(' ').value(0));
        events.removeAll(QStringLiteral("warm")); // whenever the engine is ready
        QCOMPARE(events, QStringList({QStringLiteral("cover"), QStringLiteral("click"), QStringLiteral("search")}));
    }

    // A stored size limit that is not a usable number leaves the default.
    void unusableSizeLimit_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("text") << QStringLiteral("abc");
        QTest::newRow("zero") << QStringLiteral("0");
        QTest::newRow("negative") << QStringLiteral("-5");
    }
    void unusableSizeLimit()
    {
        QFETCH(QString, stored);
        Program().MaxFileSizeMB = SettingDefaults::MaxFileSizeMB;
        SaveSetting(SettingKeys::Settings, SettingKeys::MaxFileSize, stored);
        fCover cover;
        cover.load();
        QCOMPARE(Program().MaxFileSizeMB, 10.0);
    }

    // Closing the search window alone brings the start window back; the next
    // "文献检索下载" makes a fresh search window.
    void searchWindowAlone()
    {
        fCover cover;
        cover.load();
        QTest::mouseClick(cover.Command1, Qt::LeftButton);
        QPointer<QWidget> first = m_installed.lastSearch;
        QVERIFY(visible(first));
        QVERIFY(!cover.isVisible());

        // While it is loaded, the button shows the same window.
        cover.show();
        QTest::mouseClick(cover.Command1, Qt::LeftButton);
        QCOMPARE(m_installed.searchWindows, 1);
        QVERIFY(!cover.isVisible());

        QVERIFY(first->close());
        QTRY_VERIFY(cover.isVisible());
        QVERIFY(!first); // unloaded with its harvest list

        QTest::mouseClick(cover.Command1, Qt::LeftButton);
        QCOMPARE(m_installed.searchWindows, 2);
        QVERIFY(visible(m_installed.lastSearch));
        QVERIFY(!cover.isVisible());
    }

    // With the download window loaded, the last of the two windows to close
    // brings the start window back, whichever it is.
    void withDownloadWindow_data()
    {
        QTest::addColumn<bool>("searchFirst");
        QTest::newRow("search window closed first") << true;
        QTest::newRow("download window closed first") << false;
    }
    void withDownloadWindow()
    {
        QFETCH(bool, searchFirst);
        fCover cover;
        cover.load();
        QTest::mouseClick(cover.Command1, Qt::LeftButton);
        QPointer<QWidget> search = m_installed.lastSearch;
        QPointer<QWidget> download = fFileDownload::instance(true);
        download->show();

        QPointer<QWidget> firstClosed = searchFirst ? search : download;
        QPointer<QWidget> secondClosed = searchFirst ? download : search;
        QVERIFY(firstClosed->close());
        QTRY_VERIFY(!firstClosed);
        QTest::qWait(50); // a wrongly returning start window would show by now
        QVERIFY(!cover.isVisible());
        QVERIFY(visible(secondClosed));

        QVERIFY(secondClosed->close());
        QTRY_VERIFY(cover.isVisible());
        QVERIFY(!secondClosed);
        QVERIFY(!WindowFlow::loadedWindow(WindowFlow::DownloadWindowName));
    }

    // A download window that a hand-off loaded without showing is shown when
    // the search window closes, rather than left running with nothing on
    // screen; closing it then brings the start window back.
    void hiddenDownloadWindowComesForward()
    {
        fCover cover;
        cover.load();
        QTest::mouseClick(cover.Command1, Qt::LeftButton);
        QPointer<fFileDownload> download = fFileDownload::instance(true);
        QVERIFY(download->isHidden());

        QVERIFY(m_installed.lastSearch->close());
        QTRY_VERIFY(visible(download));
        QVERIFY(!cover.isVisible());
        QVERIFY(download->close());
        QTRY_VERIFY(cover.isVisible());
    }

    // "退出软件" ends the program. A loaded download window is closed the
    // usual way first: with rows still waiting it asks, and "No" keeps the
    // program and the window.
    void exitProgram_data()
    {
        QTest::addColumn<bool>("downloadWindow");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("status");
        QTest::newRow("nothing else loaded") << false << true << 0;
        QTest::newRow("download window, Yes") << true << true << 0;
        QTest::newRow("download window, No") << true << false << 7;
    }
    void exitProgram()
    {
        QFETCH(bool, downloadWindow);
        QFETCH(bool, answer);
        QFETCH(int, status);
        MessageRecorder messages;
        messages.defaultAnswer = answer;
        auto cover = std::make_unique<fCover>();
        cover->load();
        QPointer<fFileDownload> download;
        if (downloadWindow) {
            download = fFileDownload::instance(true);
            QVERIFY(download->list().add(QStringLiteral("http://127.0.0.1:9/a.pdf"), QStringLiteral("a"),
                                         QStringLiteral("pdf"), QDir::tempPath()));
        }
        // The press runs inside the event loop; a program that did not end
        // leaves it with status 7 on the next turn.
        QTimer::singleShot(0, cover.get(), [&] {
            QTest::mouseClick(cover->Command3, Qt::LeftButton);
            QTimer::singleShot(0, [] { QCoreApplication::exit(7); });
        });
        QCOMPARE(QCoreApplication::exec(), status);

        QCOMPARE(messages.count(QStringLiteral("正在下载文件或者下载没有完成，要强制关闭窗口吗？")), downloadWindow ? 1 : 0);
        if (status == 0) {
            QVERIFY(!cover->isVisible());
            QTRY_VERIFY(!download);
        } else {
            QVERIFY(download);
            QVERIFY(cover->isVisible());
        }
    }
};

VELMORA_UI_TEST_MAIN(TestCover)
#include "tst_fcover.moc"
