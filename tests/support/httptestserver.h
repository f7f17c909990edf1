#pragma once
// An in-process HTTP server on 127.0.0.1 whose answers a test scripts: the
// status line, the headers, a body sent in pieces with pauses, a stall before
// or after the headers, a short body, a closed connection, a redirect. It
// records every request (request line and headers) it receives.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

struct ScriptedResponse {
    struct Piece {
        QByteArray data;
        int delayMs = 0;          // pause before this piece is sent
        qint64 generated = 0;     // or: this many bytes of a fixed pattern, streamed
    };
    enum class End {
        Close,    // close the connection after the last piece
        KeepOpen, // keep it open and send nothing more (a stall)
        KeepAlive, // keep it open for the next request on it (no "Connection: close")
    };

    QByteArray statusLine = "HTTP/1.1 200 OK";
    QList<QPair<QByteArray, QByteArray>> headers;
    QList<Piece> pieces;
    int headerDelayMs = 0;     // pause before the status line
    bool silent = false;       // accept the request and never answer (stall before headers)
    End end = End::Close;

    // Builders for the common cases.
    static ScriptedResponse ok(const QByteArray &body, const QByteArray &contentType = "application/octet-stream",
                               bool withLength = true);
    static ScriptedResponse status(const QByteArray &statusLine, const QByteArray &body = {}, bool withLength = true);
    static ScriptedResponse redirect(const QByteArray &location, int code = 302);
    ScriptedResponse &header(const QByteArray &name, const QByteArray &value);
    ScriptedResponse &withoutHeader(const QByteArray &name);
    // Announces `announced` bytes but sends only the body it has.
    ScriptedResponse &lieAboutLength(qint64 announced);
    // The body in chunked encoding (one chunk per piece, each piece's data
    // wrapped), with the terminating chunk unless cut, in which case the
    // connection is closed after the last piece.
    ScriptedResponse &chunked(bool cut = false);
};

struct RecordedRequest {
    QByteArray method;
    QByteArray target;  // as sent: a path, or an absolute URL through a proxy
    QByteArray path;    // the path part of the target
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray rawHead; // request line and headers as received
    QByteArray headerValue(const QByteArray &name) const;
};

class HttpTestServer : public QObject {
    Q_OBJECT
public:
    explicit HttpTestServer(QObject *parent = nullptr);
    ~HttpTestServer() override;

    bool listen();
    quint16 port() const;
    QByteArray url(const QByteArray &path) const; // http://127.0.0.1:PORT + path
    QString urlString(const QByteArray &path) const { return QString::fromLatin1(url(path)); }

    // Scripts the answer for one path (query included). Unknown paths get 404.
    void route(const QByteArray &path, const ScriptedResponse &response);
    // A handler that builds the answer per request, for paths set with route().
    void routeHandler(const QByteArray &path, std::function<ScriptedResponse(const RecordedRequest &)> handler);

    QList<RecordedRequest> requests;
    int openConnections() const;

    // The bytes of the generated pattern at the given offset (for checking files).
    static QByteArray pattern(qint64 offset, qint64 length);

signals:
    void requestReceived(const RecordedRequest &request);

private:
    struct Connection;
    void onNewConnection();
    void onReadyRead(Connection *c);
    void startResponse(Connection *c, const ScriptedResponse &r);
    void sendNext(Connection *c);
    void pump(Connection *c);
    void finish(Connection *c);

    QTcpServer m_server;
    QHash<QByteArray, std::function<ScriptedResponse(const RecordedRequest &)>> m_routes;
    QList<Connection *> m_connections;
};
