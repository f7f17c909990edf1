#include "app/clock.h"
#include "app/settings.h"
#include "queue/downloadsession.h"
#include "support/testfiles.h"
#include "support/httptestserver.h"
#include "support/testhome.h"
#include "transfer/downloader.h"
#include "transfer/multithreaddownload.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

namespace {
const QByteArray Reservation("\x01\x00", 2);

struct ClockGuard {
    ManualClock clock{5000};
    ClockGuard() { Clock::setInstance(&clock); }
    ~ClockGuard() { Clock::setInstance(nullptr); }
};

struct SizeLimit {
    double saved = Program().MaxFileSizeMB;
    explicit SizeLimit(double mb) { Program().MaxFileSizeMB = mb; }
    ~SizeLimit() { Program().MaxFileSizeMB = saved; }
};

struct RecordingHooks : TransferHooks {
    QList<int> notices;
    QList<bool> logins;
    void playNotice(int sound) override { notices << sound; }
    void loginNow(bool showMessages) override { logins << showMessages; }
};

ScriptedResponse inPieces(const QByteArray &body, int pieces, int delayMs, bool withLength,
                          const QByteArray &type = "application/octet-stream")
{
    ScriptedResponse r = ScriptedResponse::ok({}, type, false);
    const qsizetype step = (body.size() + pieces - 1) / pieces;
    for (qsizetype at = 0; at < body.size(); at += step)
        r.pieces.append({body.mid(at, step), delayMs, 0});
    if (withLength)
        r.header("Content-Length", QByteArray::number(body.size()));
    return r;
}

// A session whose rows all save into one folder.
struct Fixture {
    TempHome home;
    QString folder = home.folder("save");
    DownloadSession session;
    RecordingHooks hooks;
    HttpTestServer server;
    Fixture()
    {
        session.setHooks(&hooks);
        session.soundNotices = true;
        session.autoLogin = true;
        server.listen();
    }
    ItemRef add(const QByteArray &path, const QString &name, const QString &type)
    {
        session.list().add(server.urlString(path), name, type, folder + "/");
        return session.list().at(session.list().count() - 1);
    }
    QString fileOf(const ItemRef &row) const { return ItemFilePath(*row); }
};

QStringList progressOf(const ItemRef &row) { return {row->size, row->received, row->percent}; }
} // namespace

class TestMultiThreadDownload : public QObject {
    Q_OBJECT
private slots:
    void severalSlotsAtOnce()
    {
        Fixture f;
        ClockGuard guard;
        const QByteArray pdf = "%PDF-1.5\n" + HttpTestServer::pattern(0, 120000);
        const QByteArray page = "<html><head><title>t</title></head><body>hello</body></html>";
        const QByteArray mystery = "%PDF-1.4\nno length given";
        f.server.route("/paper.pdf", inPieces(pdf, 4, 150, true, "application/pdf"));
        f.server.route("/page", inPieces(page, 2, 150, true, "text/html"));
        f.server.route("/mystery", inPieces(mystery, 2, 150, false));
        f.add("/unused", "first", "pdf"); // positions and slots differ on purpose
        const ItemRef paper = f.add("/paper.pdf", "paper", "pdf");
        const ItemRef pageRow = f.add("/page", "page", "htm");
        const ItemRef mysteryRow = f.add("/mystery", "mystery", "xxx");

        MultiThreadDownload m(f.session);
        QSignalSpy ended(&m, &MultiThreadDownload::slotEnded);
        QCOMPARE(m.CountTransferSlots(), 1);
        m.多线程下载(2, 2, paper->key, f.fileOf(paper));
        m.多线程下载(5, 3, pageRow->key, f.fileOf(pageRow));
        m.多线程下载(1, 4, mysteryRow->key, f.fileOf(mysteryRow));
        QVERIFY(f.session.DownloadBusy);
        QCOMPARE(m.CountTransferSlots(), 4);
        QVERIFY(m.IsSlotInUse(1) && m.IsSlotInUse(2) && m.IsSlotInUse(5) && !m.IsSlotInUse(3));
        QCOMPARE(f.session.SlotRow[5], 3);
        for (const ItemRef &r : {paper, pageRow, mysteryRow})
            QCOMPARE(r->state, Downloading);
        QCOMPARE(readFile(f.fileOf(paper)), Reservation);

        QTRY_COMPARE(f.server.requests.size(), 3);
        QCOMPARE(ended.size(), 0); // all three run together

        QTRY_COMPARE_WITH_TIMEOUT(m.CountTransferSlots(), 1, 10000);
        QCOMPARE(ended.size(), 3);
        const QString pdfSize = QString::number(pdf.size());
        QCOMPARE(progressOf(paper), (QStringList{pdfSize, pdfSize, "100%"}));
        QCOMPARE(paper->state, Finished);
        QCOMPARE(readFile(f.fileOf(paper)), pdf);

        // A page gets its base reference, a notice and the quiet login.
        QCOMPARE(pageRow->state, Finished);
        QVERIFY(readFile(f.fileOf(pageRow)).contains("<Base href='" + f.server.url("/page") + "'></head>"));
        QCOMPARE(f.hooks.notices, QList<int>{101});
        QCOMPARE(f.hooks.logins, QList<bool>{false});

        // No length: the fall-back brings the file, and its type is read
        // from its first bytes.
        const QString len = QString::number(mystery.size());
        QCOMPARE(progressOf(mysteryRow), (QStringList{len, len, "100%"}));
        QCOMPARE(mysteryRow->state, Finished);
        QCOMPARE(mysteryRow->type, QString("pdf"));
        QCOMPARE(readFile(f.folder + "/mystery.pdf"), mystery);
        QVERIFY(!QFile::exists(f.folder + "/mystery.xxx"));

        QCOMPARE(entries(f.folder), (QStringList{"mystery.pdf", "page.htm", "paper.pdf"}));
        QVERIFY(f.session.statusText(2).startsWith("完成下载:"));
        QCOMPARE(f.session.LastFinishTime, 5000.0);
        QCOMPARE(f.session.list().at(0)->state, Waiting);
    }

    // Every way a slot can fail leaves its row Failed, never Finished.
    void failures_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("progress"); // size, received, percent afterwards
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<int>>("notices");
        QTest::newRow("completion short of its total")
            << "short" << QStringList{"100", "40", "40%"} << QByteArray("<missing>") << QList<int>{};
        QTest::newRow("nothing came") << "empty" << QStringList{"", "", ""} << QByteArray("<missing>") << QList<int>{};
        QTest::newRow("stall of 300 s") << "stall" << QStringList{"", "", ""} << QByteArray("<missing>") << QList<int>{};
        QTest::newRow("body cannot be written")
            << "unwritable" << QStringList{"", "", ""} << QByteArray("<missing>") << QList<int>{};
    }
    void failures()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, progress);
        QFETCH(QByteArray, file);
        QFETCH(QList<int>, notices);
        Fixture f;
        ClockGuard guard;
        ScriptedResponse r = inPieces(QByteArray(40, 'a'), 2, 50, false);
        if (how == "short")
            r.lieAboutLength(100);
        else if (how == "empty")
            r = ScriptedResponse::ok({});
        else if (how == "stall")
            r.silent = true;
        f.server.route("/f", r);
        const ItemRef row = f.add("/f", "f", "bin");
        QString target = f.fileOf(row);
        if (how == "unwritable")
            target = f.folder + "/no such folder/f.bin";

        MultiThreadDownload m(f.session);
        QSignalSpy ended(&m, &MultiThreadDownload::slotEnded);
        m.多线程下载(3, 1, row->key, target);
        if (how == "stall") {
            QTRY_COMPARE(f.server.requests.size(), 1);
            guard.clock.advance(300);
            m.slot(3)->Timer1Tick();
        }
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
        QCOMPARE(ended.at(0).at(0).toInt(), 3);
        QCOMPARE(row->state, Failed);
        QCOMPARE(progressOf(row), progress);
        QCOMPARE(readFile(target), file);
        QVERIFY(!row->fileWritten);
        QCOMPARE(f.hooks.notices, notices);
        QCOMPARE(m.CountTransferSlots(), 1);
        QCOMPARE(f.session.LastFinishTime, guard.clock.now());
    }

    void sizeLimitSkipsTheFile()
    {
        Fixture f;
        ClockGuard guard;
        SizeLimit limit(0.01); // 10485 bytes
        f.server.route("/big", inPieces(HttpTestServer::pattern(0, 50000), 10, 100, true));
        const ItemRef row = f.add("/big", "big", "pdf");

        MultiThreadDownload m(f.session);
        QSignalSpy ended(&m, &MultiThreadDownload::slotEnded);
        m.多线程下载(1, 1, row->key, f.fileOf(row));
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
        QCOMPARE(row->state, Finished);
        QCOMPARE(row->percent, QString("大文件，跳过"));
        QCOMPARE(row->size, QString("50000"));
        QVERIFY(!m.IsSlotInUse(1));
        QCOMPARE(f.session.LastFinishTime, 5000.0);

        const QStringList after = progressOf(row);
        QTest::qWait(400); // the rest of the body must change nothing
        QCOMPARE(progressOf(row), after);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(entries(f.folder), QStringList());
        QVERIFY(!row->fileWritten);
    }

    void unloadingAllSlotsEndsThemSilently()
    {
        Fixture f;
        MultiThreadDownload m(f.session);
        QSignalSpy ended(&m, &MultiThreadDownload::slotEnded);
        QList<ItemRef> rows;
        for (int i = 1; i <= 3; ++i) {
            const QByteArray path = "/slow" + QByteArray::number(i);
            f.server.route(path, inPieces(HttpTestServer::pattern(0, 3000), 10, 100, true));
            rows << f.add(path, "slow" + QString::number(i), "pdf");
            m.多线程下载(i, i, rows.last()->key, f.fileOf(rows.last()));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!rows[0]->received.isEmpty() && !rows[1]->received.isEmpty()
                                     && !rows[2]->received.isEmpty(), 10000);
        m.UnloadAllSlots();
        QCOMPARE(m.CountTransferSlots(), 1);
        QList<QStringList> before;
        for (const ItemRef &r : rows)
            before << progressOf(r);

        QTest::qWait(1200); // longer than the rest of the bodies take
        QCOMPARE(ended.size(), 0);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(rows[i]->state, Downloading); // the stop command marks them Failed
            QCOMPARE(progressOf(rows[i]), before[i]);
            QVERIFY(!rows[i]->fileWritten);
        }
        // Stopped rows leave nothing that a later run would take for a file.
        QCOMPARE(entries(f.folder), QStringList());
    }

    void slotWhoseRowIsGoneIsStillFreed()
    {
        Fixture f;
        f.server.route("/x", inPieces("%PDF-1.4 abc", 2, 100, true));
        const ItemRef row = f.add("/x", "x", "pdf");
        MultiThreadDownload m(f.session);
        QSignalSpy ended(&m, &MultiThreadDownload::slotEnded);
        m.多线程下载(1, 1, row->key, f.fileOf(row));
        f.session.list().clear();
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 10000);
        QCOMPARE(m.CountTransferSlots(), 1);
    }

    void sizesBeyond32Bits()
    {
        Fixture f;
        SizeLimit limit(100000);
        const ItemRef row = f.add("/huge", "huge", "iso");
        f.session.SlotRow[4] = 1;
        f.session.SlotRow[0] = 1;
        MultiThreadDownload m(f.session);
        const qint64 total = qint64(3) << 30;
        m.onDownloadProgress(4, total / 2, total);
        QCOMPARE(progressOf(row), (QStringList{"3221225472", "1610612736", "50%"}));
        m.onDownloadComplete(4, total, total);
        QCOMPARE(row->percent, QString("100%"));
        QCOMPARE(row->state, Finished);
        m.onDownloadProgress(0, 1, 2); // the template never transfers
        QCOMPARE(row->percent, QString("100%"));
    }
};

VELMORA_TEST_MAIN(TestMultiThreadDownload)
#include "tst_multithreaddownload.moc"
