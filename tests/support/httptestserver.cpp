#include "support/httptestserver.h"

#include <QTcpSocket>
#include <QTimer>

struct HttpTestServer::Connection {
    QPointer<QTcpSocket> socket;
    QByteArray buffer;
    bool answering = false;
    ScriptedResponse response;
    int nextPiece = 0;
    qint64 generatedSent = 0; // of the current generated piece
    bool inGenerated = false;
    QTimer *timer = nullptr;
};

namespace {
bool sameName(const QByteArray &a, const QByteArray &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }
} // namespace

ScriptedResponse ScriptedResponse::ok(const QByteArray &body, const QByteArray &contentType, bool withLength)
{
    ScriptedResponse r;
    if (!contentType.isEmpty())
        r.header("Content-Type", contentType);
    if (withLength)
        r.header("Content-Length", QByteArray::number(body.size()));
    if (!body.isEmpty())
        r.pieces.append({body, 0, 0});
    return r;
}

ScriptedResponse ScriptedResponse::status(const QByteArray &statusLine, const QByteArray &body, bool withLength)
{
    ScriptedResponse r = ok(body, "text/html", withLength);
    r.statusLine = statusLine;
    return r;
}

ScriptedResponse ScriptedResponse::redirect(const QByteArray &location, int code)
{
    ScriptedResponse r;
    r.statusLine = "HTTP/1.1 " + QByteArray::number(code) + (code == 301 ? " Moved Permanently" : " Found");
    r.header("Location", location);
    return r;
}

ScriptedResponse &ScriptedResponse::header(const QByteArray &name, const QByteArray &value)
{
    withoutHeader(name);
    headers.append({name, value});
    return *this;
}

ScriptedResponse &ScriptedResponse::withoutHeader(const QByteArray &name)
{
    headers.removeIf([&](const QPair<QByteArray, QByteArray> &h) { return sameName(h.first, name); });
    return *this;
}

ScriptedResponse &ScriptedResponse::lieAboutLength(qint64 announced)
{
    return header("Content-Length", QByteArray::number(announced));
}

ScriptedResponse &ScriptedResponse::chunked(bool cut)
{
    withoutHeader("Content-Length");
    header("Transfer-Encoding", "chunked");
    for (Piece &p : pieces)
        p.data = QByteArray::number(p.data.size(), 16) + "\r\n" + p.data + "\r\n";
    if (cut)
        end = End::Close;
    else
        pieces.append({QByteArray("0\r\n\r\n"), 0, 0});
    return *this;
}

QByteArray RecordedRequest::headerValue(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (sameName(h.first, name))
            return h.second;
    return {};
}

HttpTestServer::HttpTestServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpTestServer::onNewConnection);
}

HttpTestServer::~HttpTestServer()
{
    for (Connection *c : m_connections) {
        if (c->socket)
            c->socket->abort();
        delete c->socket;
        delete c;
    }
}

bool HttpTestServer::listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
quint16 HttpTestServer::port() const { return m_server.serverPort(); }

QByteArray HttpTestServer::url(const QByteArray &path) const
{
    return "http://127.0.0.1:" + QByteArray::number(port()) + path;
}

void HttpTestServer::route(const QByteArray &path, const ScriptedResponse &response)
{
    m_routes.insert(path, [response](const RecordedRequest &) { return response; });
}

void HttpTestServer::routeHandler(const QByteArray &path, std::function<ScriptedResponse(const RecordedRequest &)> handler)
{
    m_routes.insert(path, std::move(handler));
}

int HttpTestServer::openConnections() const
{
    int n = 0;
    for (Connection *c : m_connections)
        n += c->socket && c->socket->state() == QAbstractSocket::ConnectedState;
    return n;
}

QByteArray HttpTestServer::pattern(qint64 offset, qint64 length)
{
    QByteArray out(length, Qt::Uninitialized);
    for (qint64 i = 0; i < length; ++i)
        out[i] = char(((offset + i) * 131 + ((offset + i) >> 12)) & 0xff);
    return out;
}

void HttpTestServer::onNewConnection()
{
    while (QTcpSocket *s = m_server.nextPendingConnection()) {
        auto *c = new Connection;
        c->socket = s;
        c->timer = new QTimer(s);
        c->timer->setSingleShot(true);
        connect(c->timer, &QTimer::timeout, this, [this, c] { sendNext(c); });
        m_connections.append(c);
        connect(s, &QTcpSocket::readyRead, this, [this, c] { onReadyRead(c); });
        connect(s, &QTcpSocket::bytesWritten, this, [this, c] {
            if (c->inGenerated)
                pump(c);
        });
    }
}

void HttpTestServer::onReadyRead(Connection *c)
{
    if (!c->socket)
        return;
    c->buffer += c->socket->readAll();
    if (c->answering)
        return;
    const qsizetype end = c->buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    RecordedRequest req;
    req.rawHead = c->buffer.left(end + 4);
    c->buffer.remove(0, end + 4);
    const QList<QByteArray> lines = req.rawHead.split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    req.method = first.value(0);
    req.target = first.value(1);
    req.path = req.target;
    if (req.path.startsWith("http://") || req.path.startsWith("https://")) {
        const qsizetype slash = req.path.indexOf('/', req.path.indexOf("://") + 3);
        req.path = slash < 0 ? QByteArray("/") : req.path.mid(slash);
    }
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            req.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    requests.append(req);
    emit requestReceived(req);
    c->answering = true;
    auto it = m_routes.constFind(req.path);
    startResponse(c, it == m_routes.constEnd() ? ScriptedResponse::status("HTTP/1.1 404 Not Found", "not found")
                                               : it.value()(req));
}

void HttpTestServer::startResponse(Connection *c, const ScriptedResponse &r)
{
    c->response = r;
    if (r.silent)
        return;
    bool hasConnection = false;
    for (const auto &h : r.headers)
        hasConnection |= sameName(h.first, "Connection");
    if (!hasConnection && r.end != ScriptedResponse::End::KeepAlive)
        c->response.headers.append(qMakePair(QByteArray("Connection"), QByteArray("close")));
    c->nextPiece = -1; // the head goes first
    c->timer->start(r.headerDelayMs);
}

void HttpTestServer::sendNext(Connection *c)
{
    if (!c->socket)
        return;
    const ScriptedResponse &r = c->response;
    if (c->nextPiece < 0) {
        QByteArray head = r.statusLine + "\r\n";
        for (const auto &h : r.headers)
            head += h.first + ": " + h.second + "\r\n";
        head += "\r\n";
        c->socket->write(head);
        c->nextPiece = 0;
    } else if (c->nextPiece < r.pieces.size()) {
        const ScriptedResponse::Piece &p = r.pieces[c->nextPiece];
        if (p.generated > 0) {
            c->inGenerated = true;
            c->generatedSent = 0;
            pump(c);
            return;
        }
        c->socket->write(p.data);
        ++c->nextPiece;
    }
    if (c->nextPiece < r.pieces.size())
        c->timer->start(r.pieces[c->nextPiece].delayMs);
    else
        finish(c);
}

void HttpTestServer::pump(Connection *c)
{
    if (!c->socket)
        return;
    const ScriptedResponse::Piece &p = c->response.pieces[c->nextPiece];
    // Keep the socket's buffer bounded, so large bodies stream at the reader's pace.
    const qint64 chunk = 256 * 1024;
    while (c->generatedSent < p.generated && c->socket->bytesToWrite() < 4 * chunk) {
        const qint64 n = std::min(chunk, p.generated - c->generatedSent);
        c->socket->write(pattern(c->generatedSent, n));
        c->generatedSent += n;
    }
    if (c->generatedSent < p.generated)
        return;
    c->inGenerated = false;
    ++c->nextPiece;
    if (c->nextPiece < c->response.pieces.size())
        c->timer->start(c->response.pieces[c->nextPiece].delayMs);
    else
        finish(c);
}

void HttpTestServer::finish(Connection *c)
{
    if (c->response.end == ScriptedResponse::End::Close && c->socket)
        c->socket->disconnectFromHost();
    if (c->response.end == ScriptedResponse::End::KeepAlive && c->socket) {
        // Ready for the next request on this connection, which may already
        // be waiting in the buffer.
        c->answering = false;
        QTimer::singleShot(0, this, [this, c] {
            if (c->socket && !c->answering)
                onReadyRead(c);
        });
    }
}
