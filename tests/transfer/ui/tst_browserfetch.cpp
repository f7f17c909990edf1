#include "app/ui/browserprofile.h"
#include "app/clock.h"
#include "support/challengepage.h"
#include "support/httptestserver.h"
#include "support/testfiles.h"
#include "support/uitestmain.h"
#include "transfer/network.h"
#include "transfer/ui/browserfetch.h"

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>

namespace {

constexpr int kDifficulty = 8;

// A fresh challenge per server: cookies of 127.0.0.1 are shared by every port,
// so a cookie earned by an earlier test must not let this one through.
QByteArray freshChallenge()
{
    return QByteArray::number(QRandomGenerator::global()->generate64(), 16);
}

QByteArray pdfBytes()
{
    QByteArray pdf = "%PDF-1.4\n1 0 obj << /Type /Catalog >> endobj\n";
    pdf += QByteArray(20000, 'x');
    pdf += "\n%%EOF\n";
    return pdf;
}

// Serves the PDF at path only to a request with a valid proof of work, and
// the challenge page to every other.
void serveCheckedPdf(HttpTestServer &server, const QByteArray &path, const QByteArray &challenge)
{
    server.routeHandler(path, [challenge](const RecordedRequest &request) {
        if (ProofOfWorkPasses(request.headerValue("Cookie"), challenge, kDifficulty))
            return ScriptedResponse::ok(pdfBytes(), "application/pdf");
        return ScriptedResponse::ok(ChallengePage(challenge, kDifficulty), "text/html; charset=utf-8");
    });
}

int requestsFor(const HttpTestServer &server, const QByteArray &path)
{
    int n = 0;
    for (const RecordedRequest &r : server.requests)
        n += r.path == path;
    return n;
}

} // namespace

class TestBrowserFetch : public QObject {
    Q_OBJECT
private slots:
    // The page's script passes the check; the PDF (served inline, which the
    // PDF viewer would otherwise take) arrives as a file, and the cookie the
    // engine earned reaches the transfers' jar.
    void passesTheCheckAndReceivesThePdf()
    {
        HttpTestServer server;
        QVERIFY(server.listen());
        const QByteArray challenge = freshChallenge();
        serveCheckedPdf(server, "/articles/PMC1/pdf/", challenge);

        BrowserFetch fetch;
        QSignalSpy finished(&fetch, &BrowserFetcher::finished);
        QSignalSpy failed(&fetch, &BrowserFetcher::failed);
        QSignalSpy progress(&fetch, &BrowserFetcher::progress);
        const QString referer = server.urlString("/articles/PMC1/");
        QVERIFY(fetch.fetch(server.urlString("/articles/PMC1/pdf/"), referer));
        QVERIFY(finished.wait(30000));
        QCOMPARE(failed.count(), 0);
        QVERIFY(!fetch.isBusy());

        const QString path = finished.first().at(0).toString();
        QCOMPARE(finished.first().at(1).toString(), QString("application/pdf"));
        QCOMPARE(readFile(path), pdfBytes());
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last().at(0).toLongLong(), qint64(pdfBytes().size()));

        QVERIFY(requestsFor(server, "/articles/PMC1/pdf/") >= 2); // the challenge, then the file
        QCOMPARE(server.requests.first().headerValue("Referer"), referer.toUtf8());
        QVERIFY(ProofOfWorkPasses(server.requests.last().headerValue("Cookie"), challenge, kDifficulty));

        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (const QNetworkCookie &c : SharedCookieJar().cookiesForUrl(QUrl(server.urlString("/x"))))
                    if (c.name() == "cloudpmc-viewer-pow" && c.value().startsWith(challenge + ":"))
                        return true;
                return false;
            }(),
            10000);
        QVERIFY(QFile::remove(path));
    }

    // A check that never lets the engine through fails at the time limit,
    // measured on the program's clock, and leaves nothing behind.
    void checkThatNeverPassesTimesOut()
    {
        HttpTestServer server;
        QVERIFY(server.listen());
        server.routeHandler("/never/pdf/", [](const RecordedRequest &) {
            return ScriptedResponse::ok(ChallengePage(freshChallenge(), kDifficulty), "text/html");
        });
        ManualClock clock;
        Clock::setInstance(&clock);

        BrowserFetch fetch;
        QSignalSpy finished(&fetch, &BrowserFetcher::finished);
        QSignalSpy failed(&fetch, &BrowserFetcher::failed);
        QVERIFY(fetch.fetch(server.urlString("/never/pdf/")));
        // The script has run (crypto.subtle works on 127.0.0.1) and reloaded.
        QTRY_VERIFY_WITH_TIMEOUT(requestsFor(server, "/never/pdf/") >= 3, 30000);
        QCOMPARE(failed.count(), 0);

        clock.advance(BrowserFetcher::TimeLimitSeconds);
        QVERIFY(failed.wait(5000));
        QCOMPARE(failed.first().first().value<BrowserFetcher::Failure>(), BrowserFetcher::Failure::TimedOut);
        QCOMPARE(finished.count(), 0);
        QVERIFY(!fetch.downloadFolder().isEmpty());
        QVERIFY(entries(fetch.downloadFolder()).isEmpty());
        Clock::setInstance(nullptr);
    }

    // Cancelling a download under way signals nothing and keeps no part of it.
    void cancelDuringTheDownload()
    {
        HttpTestServer server;
        QVERIFY(server.listen());
        ScriptedResponse stalling = ScriptedResponse::ok(pdfBytes().left(8000), "application/pdf");
        stalling.lieAboutLength(pdfBytes().size());
        stalling.end = ScriptedResponse::End::KeepOpen;
        server.route("/slow.pdf", stalling);

        BrowserFetch fetch;
        QSignalSpy finished(&fetch, &BrowserFetcher::finished);
        QSignalSpy failed(&fetch, &BrowserFetcher::failed);
        QSignalSpy progress(&fetch, &BrowserFetcher::progress);
        QVERIFY(fetch.fetch(server.urlString("/slow.pdf")));
        QVERIFY(progress.wait(30000));
        QCOMPARE(progress.last().at(1).toLongLong(), qint64(pdfBytes().size()));
        fetch.cancel();
        QVERIFY(!fetch.isBusy());
        QTRY_VERIFY_WITH_TIMEOUT(entries(fetch.downloadFolder()).isEmpty(), 10000);
        QCOMPARE(finished.count() + failed.count(), 0);
    }

    void endsOnPagesAndErrors_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<BrowserFetcher::Failure>("failure");
        QTest::newRow("article page") << QByteArray("/articles/PMC2/") << BrowserFetcher::Failure::OnlyPages;
        QTest::newRow("403 page") << QByteArray("/forbidden") << BrowserFetcher::Failure::OnlyPages;
        QTest::newRow("check as attachment") << QByteArray("/attached") << BrowserFetcher::Failure::OnlyPages;
        QTest::newRow("nobody listening") << QByteArray() << BrowserFetcher::Failure::LoadError;
    }

    // Pages where a file was expected end the fetch at once, not at the limit.
    void endsOnPagesAndErrors()
    {
        QFETCH(QByteArray, path);
        QFETCH(BrowserFetcher::Failure, failure);
        HttpTestServer server;
        QVERIFY(server.listen());
        server.route("/articles/PMC2/",
                     ScriptedResponse::ok("<!DOCTYPE html><html><head><title>An article</title></head>"
                                          "<body><h1>An article</h1><p>Text.</p></body></html>",
                                          "text/html"));
        server.route("/forbidden", ScriptedResponse::status("HTTP/1.1 403 Forbidden",
                                                            "<html><body>Forbidden</body></html>"));
        server.route("/attached", ScriptedResponse::ok(ChallengePage("fixed", 40), "text/html")
                                      .header("Content-Disposition", "attachment; filename=\"a.pdf\""));
        QString url = server.urlString(path);
        if (path.isEmpty()) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            url = QStringLiteral("http://127.0.0.1:%1/a.pdf").arg(closed.serverPort());
        }

        BrowserFetch fetch;
        QSignalSpy finished(&fetch, &BrowserFetcher::finished);
        QSignalSpy failed(&fetch, &BrowserFetcher::failed);
        QVERIFY(fetch.fetch(url));
        QVERIFY(failed.wait(30000));
        QCOMPARE(failed.first().first().value<BrowserFetcher::Failure>(), failure);
        QCOMPARE(finished.count(), 0);
        QVERIFY(!fetch.downloadFolder().isEmpty());
        QVERIFY(entries(fetch.downloadFolder()).isEmpty());
    }
};

VELMORA_UI_TEST_MAIN(TestBrowserFetch)
#include "tst_browserfetch.moc"
