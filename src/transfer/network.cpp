#include "transfer/network.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkReply>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// The network thread allocates a fresh buffer for every piece it reads from a
// socket and the transfer frees it on the main thread. With glibc's default
// thresholds pieces of a few hundred KB are given their own mappings, or the
// freed top of the thread's heap is handed back to the kernel, so at full
// speed most of the body's pages are faulted in afresh: six slots on a
// loopback server spent more time in page faults than in copying and took
// up to twice as long as curl. Fixed thresholds keep such buffers on the heap and
// reused; the cost is up to the trim threshold of idle memory per arena.
void KeepNetworkBuffersMapped()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 16 * 1024 * 1024);
#endif
}

} // namespace

void DropReply(QPointer<QNetworkReply> &reply, QObject *receiver)
{
    if (!reply)
        return;
    QNetworkReply *r = reply;
    reply = nullptr;
    r->disconnect(receiver);
    r->abort();
    r->deleteLater();
}

QNetworkAccessManager &TransferNetwork()
{
    static QNetworkAccessManager *nam = [] {
        KeepNetworkBuffersMapped();
        auto *m = new QNetworkAccessManager(QCoreApplication::instance());
        m->setCookieJar(new QNetworkCookieJar(m)); // owned by the manager
        return m;
    }();
    return *nam;
}

QNetworkCookieJar &SharedCookieJar() { return *TransferNetwork().cookieJar(); }

QNetworkRequest TransferRequest(const QUrl &url)
{
    QNetworkRequest req(url);
    req.setRawHeader("Accept-Encoding", "identity");
    req.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    req.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // HTTP/1.1 only, as the transfers were made for: an HTTP/2 response has
    // no reason phrase, so "200 OK" would never be seen and every response
    // without a length would be fetched a second time.
    req.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    // One connection per transfer. On a kept-alive connection that already
    // carried a file, a body cut off by the server can end the reply without
    // an error (the network layer takes the close for a stale connection), so
    // a truncated chunked body would pass for a whole one. On a connection of
    // its own the cut is reported as the error it is, and the end of a body
    // without a length is the server's clean close.
    req.setRawHeader("Connection", "close");
    return req;
}

OneShotFetch::OneShotFetch(QObject *parent) : QObject(parent) {}

OneShotFetch::~OneShotFetch() { cancel(); }

void OneShotFetch::start(const QUrl &url, QIODevice *sink)
{
    cancel();
    m_sink = sink;
    m_body.clear();
    m_received = 0;
    m_writeFailed = false;
    m_status = 0;
    m_error = QNetworkReply::NoError;
    QNetworkRequest req = TransferRequest(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    m_reply = TransferNetwork().get(req);
    // Streamed into a sink, a body never needs to sit in memory: the network
    // layer waits until what the reply holds has been written.
    if (sink)
        m_reply->setReadBufferSize(256 * 1024);
    connect(m_reply, &QNetworkReply::readyRead, this, &OneShotFetch::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &OneShotFetch::onFinished);
}

void OneShotFetch::cancel()
{
    DropReply(m_reply, this);
}

void OneShotFetch::onReadyRead()
{
    if (!m_reply)
        return;
    const QByteArray chunk = m_reply->readAll();
    m_received += chunk.size();
    if (!m_sink)
        m_body += chunk;
    else if (m_sink->write(chunk) != chunk.size()) {
        // Disk full or the folder went away: fetching the rest cannot help.
        m_writeFailed = true;
        end(true);
    }
}

void OneShotFetch::onFinished()
{
    if (!m_reply)
        return;
    onReadyRead();
    if (m_reply)
        end(false);
}

void OneShotFetch::end(bool abort)
{
    QNetworkReply *r = m_reply;
    m_reply = nullptr;
    m_status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_error = r->error();
    r->disconnect(this);
    if (abort)
        r->abort();
    r->deleteLater();
    emit finished(m_received);
}
