// Both transfer modes against a server that hands out its PDF only after the
// browser check of its page has been passed, with the real browser engine.
#include "app/settings.h"
#include "app/ui/browserprofile.h"
#include "support/challengepage.h"
#include "support/httptestserver.h"
#include "support/testfiles.h"
#include "support/uitestmain.h"
#include "transfer/browsercheckdetour.h"
#include "transfer/inettransfer.h"
#include "transfer/multithreaddownload.h"
#include "transfer/ui/browserfetch.h"

#include <QRandomGenerator>
#include <QSignalSpy>

namespace {

constexpr int kDifficulty = 8;

QByteArray pdfBytes()
{
    return "%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\n" + HttpTestServer::pattern(0, 30000) + "\n%%EOF\n";
}

} // namespace

class TestBrowserDetour : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        BrowserProfile(); // its cookies mirrored into the transfers' jar
        UseBrowserEngineForChecks();
    }

    void bothModesEndWithThePdf_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("mode 1") << 1;
        QTest::newRow("mode 2") << 2;
    }
    void bothModesEndWithThePdf()
    {
        QFETCH(int, mode);
        Program() = ProgramValues{};
        TempHome home;
        const QString folder = home.folder("save");
        HttpTestServer server;
        QVERIFY(server.listen());
        // A challenge of its own: cookies of 127.0.0.1 are shared by every port.
        const QByteArray challenge = QByteArray::number(QRandomGenerator::global()->generate64(), 16);
        int pdfs = 0;
        server.routeHandler("/articles/PMC7/pdf/", [&](const RecordedRequest &request) {
            if (ProofOfWorkPasses(request.headerValue("Cookie"), challenge, kDifficulty)) {
                ++pdfs;
                return ScriptedResponse::ok(pdfBytes(), "application/pdf");
            }
            return ScriptedResponse::ok(ChallengePage(challenge, kDifficulty), "text/html; charset=utf-8");
        });

        DownloadSession session;
        session.list().add(server.urlString("/articles/PMC7/pdf/"), "paper", "PDF", folder + "/");
        const ItemRef row = session.list().at(0);
        session.list().setState(row, Downloading);
        InetTransfer inet(session);
        MultiThreadDownload mode2(session);
        if (mode == 1) {
            inet.Inet下载当前文件(row);
        } else {
            QString newName;
            mode2.多线程下载(1, 1, row->key, 重命名保存路径(row->folder, row->name, row->type, session.sameName, newName));
        }
        QTRY_VERIFY_WITH_TIMEOUT(row->state != Downloading, 60000);
        QCOMPARE(row->state, Finished);
        QCOMPARE(row->type.toLower(), QString("pdf"));
        QCOMPARE(entries(folder), QStringList{"paper.pdf"});
        QCOMPARE(readFile(folder + "/paper.pdf"), pdfBytes());
        QCOMPARE(pdfs, 1);
        QVERIFY(!BrowserCheckDetour::instance().isBusy());

        // The cookie the engine earned lets the next row of the site through
        // without the detour.
        session.list().add(server.urlString("/articles/PMC7/pdf/?again"), "again", "PDF", folder + "/");
        server.routeHandler("/articles/PMC7/pdf/?again", [&](const RecordedRequest &request) {
            return ProofOfWorkPasses(request.headerValue("Cookie"), challenge, kDifficulty)
                       ? ScriptedResponse::ok(pdfBytes(), "application/pdf")
                       : ScriptedResponse::status("HTTP/1.1 500 No Cookie", "no cookie");
        });
        const ItemRef again = session.list().at(1);
        session.list().setState(again, Downloading);
        if (mode == 1) {
            inet.Inet下载当前文件(again);
        } else {
            QString newName;
            mode2.多线程下载(2, 2, again->key, 重命名保存路径(again->folder, again->name, again->type, session.sameName, newName));
        }
        QTRY_VERIFY_WITH_TIMEOUT(again->state != Downloading, 20000);
        QCOMPARE(again->state, Finished);
        QCOMPARE(readFile(folder + "/again.pdf"), pdfBytes());
    }
};

VELMORA_UI_TEST_MAIN(TestBrowserDetour)
#include "tst_browserdetour.moc"
