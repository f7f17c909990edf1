#pragma once
// The program's one network access manager and cookie jar for all transfers,
// and the one-piece fetch that both transfer modes fall back to.
#include <QByteArray>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QIODevice;
class QNetworkAccessManager;
class QNetworkCookieJar;

// Shared by every transfer, so cookies set by one (or by a login) reach the next.
QNetworkAccessManager &TransferNetwork();
QNetworkCookieJar &SharedCookieJar();

// A request as the transfers send it: HTTP/1.1, no compression (the bytes on
// disk are the bytes the server sent, so lengths compare), nothing from a
// cache.
QNetworkRequest TransferRequest(const QUrl &url);

// An HTTP status that answers with an error page (404, 500), never the file.
inline bool IsErrorStatus(int status) { return status >= 400; }

// Ends a running request without a further signal to receiver: the reply
// is disconnected, aborted and deleted later, and the pointer cleared.
// Nothing happens when it is already null.
void DropReply(QPointer<QNetworkReply> &reply, QObject *receiver);

// Fetches a URL in one piece, following redirects, with no Referer. The body
// goes into a sink device as it arrives, or is kept in memory.
class OneShotFetch : public QObject {
    Q_OBJECT
public:
    explicit OneShotFetch(QObject *parent = nullptr);
    ~OneShotFetch() override;

    void start(const QUrl &url, QIODevice *sink = nullptr);
    bool isRunning() const { return m_reply != nullptr; }
    void cancel(); // ends without finished()

    QByteArray body() const { return m_body; }  // when no sink was given
    qint64 bytesReceived() const { return m_received; }
    bool writeFailed() const { return m_writeFailed; }
    int httpStatus() const { return m_status; } // of the final response, 0 when none came
    QNetworkReply::NetworkError error() const { return m_error; }

signals:
    // Emitted once the fetch ended, whether it brought anything or not; at
    // once when a write into the sink fails (the rest is not fetched).
    void finished(qint64 bytes);

private:
    void onReadyRead();
    void onFinished();
    // Ends the fetch with what it has and emits finished(); abort cuts the
    // request short (a write into the sink failed).
    void end(bool abort);

    QPointer<QNetworkReply> m_reply;
    QIODevice *m_sink = nullptr;
    QByteArray m_body;
    qint64 m_received = 0;
    bool m_writeFailed = false;
    int m_status = 0;
    QNetworkReply::NetworkError m_error = QNetworkReply::NoError;
};
