#include "app/clock.h"
#include "app/settings.h"
#include "support/testfiles.h"
#include "support/httptestserver.h"
#include "support/messagerecorder.h"
#include "support/testhome.h"
#include "transfer/inettransfer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace {

const QByteArray PdfBody = "%PDF-1.4\n" + HttpTestServer::pattern(0, 4991); // 5000 bytes

// Answers every request itself and keeps what it was sent, as a named HTTP
// proxy would see it.
class RecordingProxy : public QObject {
public:
    RecordingProxy()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    head += s->readAll();
                    if (!head.contains("\r\n\r\n"))
                        return;
                    s->write("HTTP/1.1 200 OK\r\nContent-Type: application/pdf\r\nContent-Length: 5\r\n"
                             "Connection: close\r\n\r\nhello");
                    s->disconnectFromHost();
                });
            }
        });
    }
    QTcpServer server;
    QByteArray head;
};

class RecordingHooks : public TransferHooks {
public:
    void playNotice(int sound) override { notices << sound; }
    void loginNow(bool showMessages) override { logins << showMessages; }
    QList<int> notices;
    QList<bool> logins;
};

} // namespace

class TestInetTransfer : public QObject {
    Q_OBJECT

    ManualClock clock;
    std::unique_ptr<TempHome> home;
    std::unique_ptr<HttpTestServer> server;
    std::unique_ptr<DownloadSession> session;
    std::unique_ptr<InetTransfer> inet;
    QString folder;

    DownloadList &list() { return session->list(); }

    // A row as the scheduler hands it over: Downloading, folder with "/".
    ItemRef addRow(const QString &url, const QString &name = "paper", const QString &type = "pdf")
    {
        list().add(url, name, type, folder + "/");
        ItemRef row = list().find(url);
        list().setState(row, Downloading);
        return row;
    }
    ItemRef addPath(const QByteArray &path) { return addRow(server->urlString(path)); }

    // Starts the row and waits until its transfer has ended.
    bool runToEnd(const ItemRef &row)
    {
        QSignalSpy ended(inet.get(), &InetTransfer::ended);
        inet->Inet下载当前文件(row);
        return ended.count() == 1 || (ended.wait(10000) && ended.count() == 1);
    }

    QString saved(const QString &file) const { return folder + "/" + file; }
    QStringList filesInFolder() const { return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot); }

private slots:
    void init()
    {
        Clock::setInstance(&clock);
        home = std::make_unique<TempHome>();
        folder = home->folder("save");
        Program() = ProgramValues{};
        server = std::make_unique<HttpTestServer>();
        QVERIFY(server->listen());
        session = std::make_unique<DownloadSession>();
        inet = std::make_unique<InetTransfer>(*session);
    }

    void cleanup()
    {
        inet.reset();
        session.reset();
        server.reset();
        home.reset();
        Clock::setInstance(nullptr);
    }

    void completeBody_data()
    {
        QTest::addColumn<bool>("withLength");
        QTest::newRow("with length") << true;
        QTest::newRow("without length") << false;
    }
    void completeBody()
    {
        QFETCH(bool, withLength);
        ScriptedResponse r = ScriptedResponse::ok({}, "application/pdf", false);
        if (withLength)
            r.header("Content-Length", "5000");
        r.pieces = {{PdfBody.left(2100), 0, 0}, {PdfBody.mid(2100, 2100), 30, 0}, {PdfBody.mid(4200), 30, 0}};
        server->route("/a.pdf", r);
        ItemRef row = addPath("/a.pdf");
        clock.advance(5);

        QVERIFY(runToEnd(row));
        QCOMPARE(row->state, Finished);
        QCOMPARE(row->size, QString("5000"));
        QCOMPARE(row->received, QString("5000"));
        QCOMPARE(row->percent, QString("100%"));
        QCOMPARE(readFile(saved("paper.pdf")), PdfBody);
        QVERIFY(!session->DownloadBusy);
        QCOMPARE(session->LastFinishTime, clock.now());
        QCOMPARE(session->statusText(2), QString("完成下载:paper"));
        QCOMPARE(session->statusText(3), QString("12 该请求已经完成，并且所有数据均已接收到。"));
        QVERIFY(inet->GetHeader().startsWith("HTTP/1.1 200 OK\r\n"));
        QCOMPARE(server->requests.size(), 1);
    }

    void requestHeaders_data()
    {
        QTest::addColumn<QString>("referer");
        QTest::addColumn<QString>("expected"); // "" = the site root of the URL
        QTest::newRow("row without referer") << "" << "";
        QTest::newRow("row referer") << "http://pages.example/list?p=2" << "http://pages.example/list?p=2";
        // A line break in the row's text cannot start a header of its own.
        QTest::newRow("line break in the referer") << "http://pages.example/a\r\nX-Injected: 1"
                                                    << "http://pages.example/a%0D%0AX-Injected:%201";
    }
    void requestHeaders()
    {
        QFETCH(QString, referer);
        QFETCH(QString, expected);
        server->route("/d/a.pdf", ScriptedResponse::ok(PdfBody, "application/pdf"));
        ItemRef row = addPath("/d/a.pdf");
        row->referer = referer;
        QVERIFY(runToEnd(row));
        QCOMPARE(row->state, Finished);

        const RecordedRequest &req = server->requests.value(0);
        QCOMPARE(req.method, QByteArray("GET"));
        int referers = 0;
        QStringList others;
        for (const auto &h : req.headers) {
            const QByteArray name = h.first.toLower();
            if (name == "referer")
                ++referers;
            else if (name != "host" && name != "connection" && name != "user-agent" && name != "accept-encoding"
                     && name != "accept-language")
                others << QString::fromLatin1(h.first);
        }
        QCOMPARE(referers, 1);
        QCOMPARE(others, QStringList());
        QCOMPARE(req.headerValue("Accept-Encoding"), QByteArray("identity"));
        const QString root = "http://127.0.0.1:" + QString::number(server->port());
        QCOMPARE(QString::fromLatin1(req.headerValue("Referer")), expected.isEmpty() ? root : expected);
    }

    // A body short of its announced length: a closed connection fails at
    // once, an open one after 120 s without growth, as does a stalled body
    // without any length.
    void shortOrStalledBody_data()
    {
        QTest::addColumn<bool>("announce");
        QTest::addColumn<bool>("keepOpen");
        QTest::newRow("short, closed") << true << false;
        QTest::newRow("short, kept open") << true << true;
        QTest::newRow("no length, stalled") << false << true;
    }
    void shortOrStalledBody()
    {
        QFETCH(bool, announce);
        QFETCH(bool, keepOpen);
        ScriptedResponse r = ScriptedResponse::ok(PdfBody.left(3000), "application/pdf", false);
        if (announce)
            r.lieAboutLength(5000);
        if (keepOpen)
            r.end = ScriptedResponse::End::KeepOpen;
        server->route("/s.pdf", r);
        ItemRef row = addPath("/s.pdf");
        QSignalSpy ended(inet.get(), &InetTransfer::ended);
        inet->Inet下载当前文件(row);

        if (!keepOpen) {
            QVERIFY(ended.wait(10000));
        } else {
            QTRY_COMPARE(row->received, QString("3000"));
            clock.advance(119);
            inet->check();
            QCOMPARE(ended.count(), 0);
            // The body grows under a temporary name, never the final one.
            QVERIFY(!QFile::exists(saved("paper.pdf")));
            QCOMPARE(filesInFolder().size(), 1);
            clock.advance(2);
            inet->check();
            QCOMPARE(ended.count(), 1);
        }
        QCOMPARE(row->state, Failed);
        QCOMPARE(row->size, QString("下载失败"));
        QCOMPARE(filesInFolder(), QStringList());
        QVERIFY(!session->DownloadBusy);
    }

    // A chunked body cut off by the server, after an earlier whole file on a
    // kept-alive connection, ends Failed with nothing under its name; both
    // the streamed body and the one-piece fetch of a non-200 answer.
    void cutChunkedBodyAfterAKeptAliveOne_data()
    {
        QTest::addColumn<QByteArray>("statusLine");
        QTest::newRow("streamed (200 OK)") << QByteArray("HTTP/1.1 200 OK");
        QTest::newRow("one-piece fetch (203)") << QByteArray("HTTP/1.1 203 Non-Authoritative Information");
    }
    void cutChunkedBodyAfterAKeptAliveOne()
    {
        QFETCH(QByteArray, statusLine);
        ScriptedResponse first = ScriptedResponse::ok(PdfBody, "application/pdf");
        first.end = ScriptedResponse::End::KeepAlive;
        server->route("/whole.pdf", first);
        ScriptedResponse cut = ScriptedResponse::ok({}, "application/pdf", false);
        cut.statusLine = statusLine;
        cut.pieces = {{PdfBody.left(2000), 0, 0}, {PdfBody.mid(2000, 1000), 20, 0}};
        cut.chunked(true);
        server->route("/cut.pdf", cut);
        const ItemRef whole = addRow(server->urlString("/whole.pdf"), "whole");
        QVERIFY(runToEnd(whole));
        QCOMPARE(whole->state, Finished);
        const ItemRef row = addRow(server->urlString("/cut.pdf"), "cut");
        QVERIFY(runToEnd(row));
        QCOMPARE(row->state, Failed);
        QVERIFY(!row->fileWritten);
        QCOMPARE(filesInFolder(), QStringList{"whole.pdf"});
        QCOMPARE(readFile(saved("whole.pdf")), PdfBody);
    }

    void noHeadersWithinTheWait()
    {
        ScriptedResponse r;
        r.silent = true;
        server->route("/quiet", r);
        ItemRef row = addPath("/quiet");
        QSignalSpy ended(inet.get(), &InetTransfer::ended);
        inet->Inet下载当前文件(row);
        QTRY_COMPARE(server->requests.size(), 1);
        clock.advance(30);
        inet->check();
        QCOMPARE(ended.count(), 0);
        clock.advance(1);
        inet->check();
        QCOMPARE(ended.count(), 1);
        QCOMPARE(row->state, Failed);
        QCOMPARE(row->size, QString());
        QCOMPARE(inet->GetHeader(), QString());
        QCOMPARE(filesInFolder(), QStringList());
    }

    void unreachableHostFails()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const QString url = "http://127.0.0.1:" + QString::number(closed.serverPort()) + "/x.pdf";
        closed.close();
        ItemRef row = addRow(url);
        QVERIFY(runToEnd(row));
        QCOMPARE(row->state, Failed);
        QCOMPARE(row->size, QString());
        QVERIFY(session->statusText(3).startsWith("11 与主机通讯时出现了错误:"));
        QCOMPARE(filesInFolder(), QStringList());
    }

    // Responses without a usable length and without "200 OK" are fetched
    // again in one piece, following redirects, without the Referer; a
    // redirect's own body never becomes the file.
    void redirect_data()
    {
        QTest::addColumn<QByteArray>("location");
        QTest::addColumn<bool>("redirectHasLength");
        QTest::addColumn<bool>("expectFile");
        QTest::newRow("302 without length") << QByteArray("/file.pdf") << false << true;
        QTest::newRow("302 with length") << QByteArray("/file.pdf") << true << true;
        QTest::newRow("302 to a missing page") << QByteArray("/missing") << false << false;
    }
    void redirect()
    {
        QFETCH(QByteArray, location);
        QFETCH(bool, redirectHasLength);
        QFETCH(bool, expectFile);
        ScriptedResponse r = ScriptedResponse::redirect(location);
        if (redirectHasLength) {
            r.header("Content-Type", "text/html").header("Content-Length", "20");
            r.pieces = {{"<html>moved.</html>\n", 0, 0}};
        }
        server->route("/r", r);
        server->route("/file.pdf", ScriptedResponse::ok(PdfBody, "application/pdf", false));
        ItemRef row = addPath("/r");
        QVERIFY(runToEnd(row));

        // The first request carries the Referer (the network layer may send a
        // request twice when the server closes right after the head); the one-piece
        // fetch and the redirect it follows carry none.
        QVERIFY(!server->requests.first().headerValue("Referer").isEmpty());
        int fetchRequests = 0;
        for (const RecordedRequest &req : std::as_const(server->requests)) {
            if (req.path == location)
                QCOMPARE(req.headerValue("Referer"), QByteArray());
            else
                fetchRequests += req.headerValue("Referer").isEmpty();
        }
        QVERIFY(fetchRequests >= 1);
        QCOMPARE(server->requests.last().path, location);
        if (expectFile) {
            QCOMPARE(row->state, Finished);
            QCOMPARE(row->size, QString("5000"));
            QCOMPARE(row->received, QString("5000"));
            QCOMPARE(row->percent, QString("100%"));
            QCOMPARE(readFile(saved("paper.pdf")), PdfBody);
        } else {
            QCOMPARE(row->state, Failed);
            QCOMPARE(row->size, QString("下载失败"));
            QCOMPARE(filesInFolder(), QStringList());
        }
    }

    // The one-piece fetch can hang too: it ends on the stall limit and on
    // the stop like the streamed body does.
    void fetchStalledOrStopped_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QString>("size");
        QTest::newRow("stall") << false << "";
        QTest::newRow("stop") << true << "下载取消";
    }
    void fetchStalledOrStopped()
    {
        QFETCH(bool, stop);
        server->route("/r", ScriptedResponse::redirect("/hang.pdf"));
        ScriptedResponse hang = ScriptedResponse::ok(PdfBody.left(100), "application/pdf", false);
        hang.lieAboutLength(5000);
        hang.end = ScriptedResponse::End::KeepOpen;
        server->route("/hang.pdf", hang);
        ItemRef row = addPath("/r");
        QSignalSpy ended(inet.get(), &InetTransfer::ended);
        inet->Inet下载当前文件(row);
        QTRY_COMPARE(server->requests.value(server->requests.size() - 1).path, QByteArray("/hang.pdf"));
        QTest::qWait(50);
        if (stop) {
            session->DownloadBusy = false;
        } else {
            clock.advance(119);
            inet->check();
            QCOMPARE(ended.count(), 0);
            clock.advance(2);
        }
        inet->check();
        QCOMPARE(ended.count(), 1);
        QCOMPARE(row->state, Failed);
        QTEST(row->size, "size");
        QCOMPARE(filesInFolder(), QStringList());
    }

    // An error page is not the file: the row fails and an old file of that
    // name is left alone.
    void errorStatus_data()
    {
        QTest::addColumn<QByteArray>("statusLine");
        QTest::addColumn<bool>("withLength");
        QTest::newRow("404 with length") << QByteArray("HTTP/1.1 404 Not Found") << true;
        QTest::newRow("404 without length") << QByteArray("HTTP/1.1 404 Not Found") << false;
        QTest::newRow("500 with length") << QByteArray("HTTP/1.1 500 Internal Server Error") << true;
    }
    void errorStatus()
    {
        QFETCH(QByteArray, statusLine);
        QFETCH(bool, withLength);
        session->sameName = DuplicateNamePolicy::Overwrite;
        writeFile(saved("paper.pdf"), "old");
        server->route("/e.pdf", ScriptedResponse::status(statusLine, "<html>no such file</html>", withLength));
        ItemRef row = addPath("/e.pdf");
        QVERIFY(runToEnd(row));
        QCOMPARE(row->state, Failed);
        QCOMPARE(row->size, QString("下载失败"));
        QCOMPARE(readFile(saved("paper.pdf")), QByteArray("old"));
        QCOMPARE(filesInFolder(), QStringList{"paper.pdf"});
        QVERIFY(session->statusText(3).startsWith("11 与主机通讯时出现了错误:" + statusLine.mid(9, 3) + ":"));
    }

    void throughNamedProxy()
    {
        RecordingProxy proxy;
        const QString port = QString::number(proxy.server.serverPort());
        Program().ProxyEnabled = 1;
        Program().ProxyAddress = "127.0.0.1";
        Program().ProxyPort = port;
        ItemRef row = addRow("http://files.example.invalid/dir/paper.pdf");
        QVERIFY(runToEnd(row));

        QCOMPARE(inet->AccessType(), 2);
        QCOMPARE(inet->Proxy(), "127.0.0.1:" + port);
        QCOMPARE(inet->RemotePort(), port.toInt());
        QCOMPARE(inet->Protocol(), 4);
        const QList<QByteArray> lines = proxy.head.split('\n');
        QCOMPARE(lines.value(0).trimmed(), QByteArray("GET http://files.example.invalid/dir/paper.pdf HTTP/1.1"));
        QCOMPARE(proxy.head.count("Referer:"), 1);
        QVERIFY(proxy.head.contains("\r\nReferer: http://files.example.invalid\r\n"));
        QCOMPARE(row->state, Finished);
        QCOMPARE(readFile(saved("paper.pdf")), QByteArray("hello"));
    }

    // Without a named proxy the system's own setting applies, as it does for
    // the mode-2 transfers (here the environment's http_proxy).
    void systemProxyWithoutANamedOne()
    {
        RecordingProxy proxy;
        qputenv("http_proxy", "http://127.0.0.1:" + QByteArray::number(proxy.server.serverPort()));
        ItemRef row = addRow("http://files.example.invalid/paper.pdf");
        const bool ended = runToEnd(row);
        qunsetenv("http_proxy");
        QVERIFY(ended);
        QCOMPARE(inet->AccessType(), 0);
        QVERIFY(proxy.head.startsWith("GET http://files.example.invalid/paper.pdf HTTP/1.1"));
        QCOMPARE(row->state, Finished);
    }

    // A certificate the system does not trust fails the row; the error is
    // never waved through.
    void untrustedCertificateFails()
    {
        if (!QSslSocket::supportsSsl() || QStandardPaths::findExecutable("openssl").isEmpty())
            QSKIP("no TLS support or no openssl to make a certificate");
        const QString key = home->path() + "/key.pem", cert = home->path() + "/cert.pem";
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                                  "-days", "1", "-subj", "/CN=127.0.0.1"});
        QVERIFY(openssl.waitForFinished(30000) && openssl.exitCode() == 0);
        QFile keyFile(key), certFile(cert);
        QVERIFY(keyFile.open(QIODevice::ReadOnly) && certFile.open(QIODevice::ReadOnly));
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa));
        tls.setLocalCertificate(QSslCertificate(certFile.readAll()));
        QSslServer tlsServer;
        tlsServer.setSslConfiguration(tls);
        int answered = 0;
        connect(&tlsServer, &QTcpServer::pendingConnectionAvailable, this, [&] {
            while (QTcpSocket *s = tlsServer.nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, this, [&answered, s] {
                    s->readAll();
                    ++answered;
                    s->write("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello");
                    s->disconnectFromHost();
                });
        });
        QVERIFY(tlsServer.listen(QHostAddress::LocalHost, 0));

        ItemRef row = addRow("https://127.0.0.1:" + QString::number(tlsServer.serverPort()) + "/a.pdf");
        QVERIFY(runToEnd(row));
        QCOMPARE(inet->Protocol(), 5);
        QCOMPARE(inet->RemotePort(), 443);
        QCOMPARE(row->state, Failed);
        QCOMPARE(answered, 0);
        QCOMPARE(filesInFolder(), QStringList());
    }

    void connectionSetup_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("proxyEnabled");
        QTest::addColumn<QString>("proxyPort");
        QTest::addColumn<int>("accessType");
        QTest::addColumn<QString>("proxy");
        QTest::addColumn<int>("remotePort");
        QTest::addColumn<int>("protocol");
        QTest::newRow("proxy") << "http://a.example/x" << 1 << "3128" << 2 << "10.0.0.1:3128" << 3128 << 4;
        QTest::newRow("proxy, https") << "https://a.example/x" << 1 << "3128" << 2 << "10.0.0.1:3128" << 443 << 5;
        QTest::newRow("proxy port not a number") << "http://a.example/x" << 1 << "x" << 2 << "10.0.0.1:x" << 0 << 4;
        QTest::newRow("port in host") << "http://host.example:8080/x" << 0 << "" << 0 << "" << 8080 << 4;
        QTest::newRow("no port") << "http://host.example/x" << 0 << "" << 0 << "" << 80 << 4;
        QTest::newRow("one-letter host with port") << "http://a:8080/x" << 0 << "" << 0 << "" << 8080 << 4;
        QTest::newRow("slash before position 10") << "http://a/b:81/" << 0 << "" << 0 << "" << 80 << 4;
        QTest::newRow("no slash after host") << "http://host.example:8080" << 0 << "" << 0 << "" << 80 << 4;
        QTest::newRow("port not a number") << "http://host.example:80x/" << 0 << "" << 0 << "" << 80 << 4;
        QTest::newRow("two colons") << "http://u:p@host.example:81/" << 0 << "" << 0 << "" << 80 << 4;
        QTest::newRow("https with port") << "HTTPS://host.example:8443/" << 0 << "" << 0 << "" << 443 << 5;
    }
    void connectionSetup()
    {
        QFETCH(QString, url);
        QFETCH(int, proxyEnabled);
        QFETCH(QString, proxyPort);
        const InetConnectionSetup s = InetConnectionFor(url, proxyEnabled, "10.0.0.1", proxyPort);
        QTEST(s.accessType, "accessType");
        QTEST(s.proxy, "proxy");
        QTEST(s.remotePort, "remotePort");
        QTEST(s.protocol, "protocol");
    }

    void siteRoot_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("root");
        QTest::newRow("path") << "https://www.example.org/pmc/a.pdf" << "https://www.example.org";
        QTest::newRow("no path") << "http://www.example.org" << "http://www.example.org";
        QTest::newRow("no scheme") << "www.example.org/a" << "www.example.org";
        QTest::newRow("no scheme, early slash") << "ab/cd" << "ab/cd";
        QTest::newRow("empty") << "" << "";
    }
    void siteRoot()
    {
        QFETCH(QString, url);
        QTEST(SiteRoot(url), "root");
    }

    void stop_data()
    {
        QTest::addColumn<bool>("byCancel");
        QTest::newRow("DownloadBusy cleared") << false;
        QTest::newRow("Cancel") << true;
    }
    void stop()
    {
        QFETCH(bool, byCancel);
        ScriptedResponse r = ScriptedResponse::ok(PdfBody.left(3000), "application/pdf", false);
        r.lieAboutLength(5000);
        r.end = ScriptedResponse::End::KeepOpen;
        server->route("/s.pdf", r);
        ItemRef row = addPath("/s.pdf");
        QSignalSpy ended(inet.get(), &InetTransfer::ended);
        inet->Inet下载当前文件(row);
        QTRY_COMPARE(row->received, QString("3000"));
        if (byCancel) {
            inet->Cancel();
            QVERIFY(ended.wait(5000));
        } else {
            session->DownloadBusy = false;
            inet->check();
            QCOMPARE(ended.count(), 1);
        }
        QCOMPARE(row->state, Failed);
        QCOMPARE(row->size, QString("下载取消"));
        QCOMPARE(filesInFolder(), QStringList());
        QVERIFY(!inet->StillExecuting());
    }

    void sizeLimit_data()
    {
        QTest::addColumn<bool>("withLength");
        QTest::newRow("announced length over the limit") << true;
        QTest::newRow("no length, grows over the limit") << false;
    }
    void sizeLimit()
    {
        QFETCH(bool, withLength);
        Program().MaxFileSizeMB = 0.01; // 10485.76 bytes
        ScriptedResponse r = ScriptedResponse::ok({}, "application/pdf", false);
        if (withLength)
            r.header("Content-Length", "20000");
        r.pieces = {{{}, 0, 20000}};
        server->route("/big.pdf", r);
        ItemRef row = addPath("/big.pdf");
        QVERIFY(runToEnd(row));
        QCOMPARE(row->state, Finished);
        QCOMPARE(row->percent, QString("大文件，跳过"));
        // Nothing of a skipped file is kept: its first part would pass for
        // the file in a later run.
        QCOMPARE(filesInFolder(), QStringList());
        QVERIFY(!row->fileWritten);
        if (!withLength) {
            const qint64 received = row->received.toLongLong();
            QVERIFY(received > 10485 && received <= 10485 + 2048);
            QCOMPARE(row->size, QString("未知"));
        }
    }

    void sameName_data()
    {
        QTest::addColumn<int>("policy");
        QTest::addColumn<bool>("oldIsFolder");
        QTest::addColumn<QString>("newFile");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("percent");
        QTest::newRow("skip: old file replaced") << int(DuplicateNamePolicy::Skip) << false << "paper.pdf"
                                                 << int(Finished) << "100%";
        QTest::newRow("overwrite: old file replaced") << int(DuplicateNamePolicy::Overwrite) << false
                                                      << "paper.pdf" << int(Finished) << "100%";
        QTest::newRow("rename: numbered name") << int(DuplicateNamePolicy::Rename) << false << "paper[001].pdf"
                                               << int(Finished) << "100%";
        QTest::newRow("overwrite: cannot replace") << int(DuplicateNamePolicy::Overwrite) << true << ""
                                                   << int(Failed) << "无法替换";
    }
    void sameName()
    {
        QFETCH(int, policy);
        QFETCH(bool, oldIsFolder);
        QFETCH(QString, newFile);
        session->sameName = DuplicateNamePolicy(policy);
        if (oldIsFolder) {
            QVERIFY(QDir().mkpath(saved("paper.pdf")));
            writeFile(saved("paper.pdf/inside.txt"), "keep");
        } else {
            writeFile(saved("paper.pdf"), "old");
        }
        server->route("/n.pdf", ScriptedResponse::ok(PdfBody, "application/pdf"));
        ItemRef row = addPath("/n.pdf");
        QVERIFY(runToEnd(row));
        QTEST(int(row->state), "state");
        QTEST(row->percent, "percent");
        if (oldIsFolder) {
            QCOMPARE(readFile(saved("paper.pdf/inside.txt")), QByteArray("keep"));
            const QString length = QString::number(QFileInfo(saved("paper.pdf")).size());
            QCOMPARE(row->size, length);
            QCOMPARE(row->received, length);
            QCOMPARE(filesInFolder(), QStringList());
            return;
        }
        QCOMPARE(readFile(saved(newFile)), PdfBody);
        QCOMPARE(row->name, QFileInfo(newFile).completeBaseName());
        if (newFile != "paper.pdf")
            QCOMPARE(readFile(saved("paper.pdf")), QByteArray("old"));
    }

    // A link at the target is replaced by the file, never written through:
    // what it points to stays as it was.
    void linkAtTheTargetIsNotFollowed()
    {
        const QString outside = home->folder("elsewhere") + "/precious.pdf";
        writeFile(outside, "precious");
        QVERIFY(QFile::link(outside, saved("paper.pdf")));
        session->sameName = DuplicateNamePolicy::Overwrite;
        server->route("/l.pdf", ScriptedResponse::ok(PdfBody, "application/pdf"));
        ItemRef row = addPath("/l.pdf");
        QVERIFY(runToEnd(row));
        QCOMPARE(row->state, Finished);
        QVERIFY(!QFileInfo(saved("paper.pdf")).isSymLink());
        QCOMPARE(readFile(saved("paper.pdf")), PdfBody);
        QCOMPARE(readFile(outside), QByteArray("precious"));
    }

    // The type from Content-Type, else Content-Disposition, else "htm" for a
    // charset; then the type the content shows, and a base for saved pages.
    void typing_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("disposition");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("initialType");
        QTest::addColumn<QString>("type");
        const QByteArray page = "<html><head><title>t</title></head><body>x</body></html>";
        QTest::newRow("content type") << QByteArray("application/pdf") << QByteArray() << PdfBody << "xxx" << "pdf";
        QTest::newRow("disposition") << QByteArray("application/octet-stream")
                                     << QByteArray("attachment; filename=\"paper.PDF\"") << PdfBody << "xxx"
                                     << "PDF";
        QTest::newRow("nothing usable keeps the type") << QByteArray("application/octet-stream") << QByteArray()
                                                       << PdfBody << "pdf" << "pdf";
        // "html" from the header; the content then shows "htm".
        QTest::newRow("web page") << QByteArray("text/html; charset=utf-8") << QByteArray() << page << "xxx"
                                  << "htm";
        QTest::newRow("content shows another type") << QByteArray("text/html") << QByteArray() << PdfBody << "xxx"
                                                    << "pdf";
    }
    void typing()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, disposition);
        QFETCH(QByteArray, body);
        QFETCH(QString, initialType);
        QFETCH(QString, type);
        ScriptedResponse r = ScriptedResponse::ok(body, contentType);
        if (!disposition.isEmpty())
            r.header("Content-Disposition", disposition);
        server->route("/t", r);
        const QString url = server->urlString("/t");
        ItemRef row = addRow(url, "paper", initialType);
        QVERIFY(runToEnd(row));
        QCOMPARE(row->state, Finished);
        QCOMPARE(row->type, type);
        // The extension on disk is the type in lower case.
        QCOMPARE(filesInFolder(), QStringList{"paper." + type.toLower()});
        const QByteArray onDisk = readFile(saved("paper." + type.toLower()));
        if (type == "htm")
            QVERIFY(onDisk.contains("<Base href='" + url.toLatin1() + "'>"));
        else
            QCOMPARE(onDisk, body);
    }

    void waitingAgain()
    {
        ScriptedResponse quiet;
        quiet.silent = true;
        server->route("/slow", quiet);
        ItemRef first = addPath("/slow");
        ItemRef second = addRow(server->urlString("/other"), "other");
        QSignalSpy ended(inet.get(), &InetTransfer::ended);

        inet->Inet下载当前文件(first);
        QVERIFY(inet->StillExecuting());
        QTRY_COMPARE(server->requests.size(), 1);
        session->DownloadBusy = false; // even without the flag, the running request holds it off
        inet->Inet下载当前文件(second);
        QCOMPARE(second->state, Waiting);
        QCOMPARE(second->size, QString("等待重新下载"));
        QCOMPARE(first->state, Downloading);
        inet->Cancel();
        QVERIFY(ended.wait(5000));

        ItemRef third = addRow(server->urlString("/third"), "third");
        session->DownloadBusy = true;
        inet->Inet下载当前文件(third);
        QCOMPARE(third->state, Waiting);
        QCOMPARE(third->size, QString("等待重新下载"));
        QVERIFY(!inet->StillExecuting());
        QCOMPARE(ended.count(), 1);
        QCOMPARE(server->requests.size(), 1);
    }

    void folderNotCreatable()
    {
        MessageRecorder messages;
        writeFile(saved("plain"), "a file, not a folder");
        server->route("/a.pdf", ScriptedResponse::ok(PdfBody, "application/pdf"));
        list().add(server->urlString("/a.pdf"), "paper", "pdf", saved("plain/sub/"));
        ItemRef row = list().at(0);
        list().setState(row, Downloading);
        QVERIFY(runToEnd(row));
        QCOMPARE(row->state, Failed);
        QCOMPARE(row->size, QString("下载失败"));
        QCOMPARE(filesInFolder(), QStringList{"plain"});
        QVERIFY(!QFile::exists("/paper.pdf"));
    }

    // The finish step: notices for web types and failures, the automatic login.
    void finishStep_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QList<int>>("notices");
        QTest::addColumn<bool>("login");
        QTest::newRow("page") << QByteArray("/page") << QList<int>{101} << true;
        QTest::newRow("missing page") << QByteArray("/gone") << QList<int>{101, 103} << true;
        QTest::newRow("pdf") << QByteArray("/a.pdf") << QList<int>{} << false;
        QTest::newRow("missing pdf") << QByteArray("/gone.pdf") << QList<int>{103} << false;
    }
    void finishStep()
    {
        QFETCH(QByteArray, path);
        QFETCH(bool, login);
        RecordingHooks hooks;
        session->setHooks(&hooks);
        session->soundNotices = true;
        session->autoLogin = true;
        server->route("/page", ScriptedResponse::ok("<html><head></head></html>", "text/html; charset=utf-8"));
        server->route("/a.pdf", ScriptedResponse::ok(PdfBody, "application/pdf"));
        ItemRef row = addRow(server->urlString(path), "x", path.contains(".pdf") ? "pdf" : "htm");
        QVERIFY(runToEnd(row));
        session->setHooks(nullptr);
        QTEST(hooks.notices, "notices");
        QCOMPARE(hooks.logins, login ? QList<bool>{false} : QList<bool>{});
        QCOMPARE(session->statusText(2), QString("完成下载:x"));
    }

    void stateTexts_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "0 无状态可报告。";
        QTest::newRow("3") << 3 << "3 正在与主机连接...";
        QTest::newRow("11") << 11 << "11 与主机通讯时出现了错误:404:Not Found";
        QTest::newRow("12") << 12 << "12 该请求已经完成，并且所有数据均已接收到。";
        QTest::newRow("other") << 13 << "404:Not Found";
    }
    void stateTexts()
    {
        QFETCH(int, state);
        QTEST(InetStateText(state, 404, "Not Found"), "text");
    }
};

VELMORA_TEST_MAIN(TestInetTransfer)
#include "tst_inettransfer.moc"
