#include "support/httptestserver.h"
#include "support/testhome.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {
struct Result {
    int status = 0;
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
};

Result get(const QByteArray &url, int timeoutMs = 5000)
{
    QNetworkAccessManager nam;
    QNetworkRequest req{QUrl(QString::fromLatin1(url))};
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = nam.get(req);
    Result r;
    QTimer::singleShot(timeoutMs, reply, &QNetworkReply::abort);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    r.body = reply->readAll();
    r.error = reply->error();
    delete reply;
    return r;
}
} // namespace

class TestHarness : public QObject {
    Q_OBJECT
private slots:
    void scriptedAnswers()
    {
        HttpTestServer server;
        QVERIFY(server.listen());
        ScriptedResponse pieces = ScriptedResponse::ok({}, "application/pdf", false);
        pieces.pieces = {{"abc", 0, 0}, {"def", 50, 0}, {{}, 10, 5000}};
        pieces.header("Content-Length", "5006");
        server.route("/pieces", pieces);
        server.route("/moved", ScriptedResponse::redirect("/pieces"));
        ScriptedResponse shortBody = ScriptedResponse::ok("12345");
        shortBody.lieAboutLength(10);
        server.route("/short", shortBody);

        Result r = get(server.url("/pieces"));
        QCOMPARE(r.status, 200);
        QCOMPARE(r.body, QByteArray("abcdef") + HttpTestServer::pattern(0, 5000));
        r = get(server.url("/moved"));
        QCOMPARE(r.status, 302);
        r = get(server.url("/short"));
        QVERIFY(r.error != QNetworkReply::NoError); // closed before the announced length
        r = get(server.url("/nothing"));
        QCOMPARE(r.status, 404);

        QVERIFY(server.requests.size() >= 4); // Qt may resend a request whose connection closed early
        QCOMPARE(server.requests[0].method, QByteArray("GET"));
        QCOMPARE(server.requests[0].path, QByteArray("/pieces"));
        QVERIFY(!server.requests[0].headerValue("host").isEmpty());
    }

    void silentServerStalls()
    {
        HttpTestServer server;
        QVERIFY(server.listen());
        ScriptedResponse stall;
        stall.silent = true;
        server.route("/stall", stall);
        Result r = get(server.url("/stall"), 300);
        QCOMPARE(r.error, QNetworkReply::OperationCanceledError);
    }
};

VELMORA_TEST_MAIN(TestHarness)
#include "tst_harness.moc"
