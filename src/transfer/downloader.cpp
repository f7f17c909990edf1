#include "transfer/downloader.h"

#include "app/clock.h"
#include "app/filenames.h"
#include "transfer/browsercheckdetour.h"
#include "transfer/headers.h"
#include "transfer/network.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <limits>

const QString Downloader::ReasonCannotDownload = QStringLiteral("无法下载");
const QString Downloader::ReasonTimedOut = QStringLiteral("超时");
const QString Downloader::ReasonCannotWrite = QStringLiteral("无法写入");
const QString Downloader::ReasonBrowserCheck = StatusWord::NeedsBrowserCheck;

qint32 ClampToEventBytes(qint64 bytes)
{
    if (bytes > std::numeric_limits<qint32>::max())
        return std::numeric_limits<qint32>::max();
    if (bytes < std::numeric_limits<qint32>::min())
        return std::numeric_limits<qint32>::min();
    return qint32(bytes);
}

namespace {

// What a reply may hold before the network layer stops reading from its
// socket. Without a bound the network thread reads as fast as a fast link
// delivers and the body piles up in memory whenever this thread falls behind:
// six slots on a loopback server held their whole files. Larger bounds were
// slower, not faster: the network thread then reads in pieces big enough that
// the allocator hands their memory back to the kernel and faults it in anew.
constexpr qint64 ReadBufferSize = 256 * 1024;
// The piece moved from the reply to the file in one write, read into the same
// buffer every time.
constexpr qint64 ChunkSize = 256 * 1024;

// A connection that broke or never came: whatever arrived is not the whole
// file. HTTP error statuses are told by IsErrorStatus.
bool transportFailed(QNetworkReply::NetworkError e)
{
    return (e > QNetworkReply::NoError && e < QNetworkReply::ContentAccessDenied) || e == QNetworkReply::ProtocolFailure;
}

} // namespace

Downloader::Downloader(QObject *parent) : QObject(parent)
{
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Downloader::Timer1Tick);

    Inet1 = new OneShotFetch(this);
    Inet1->setObjectName(QStringLiteral("Inet1"));
    connect(Inet1, &OneShotFetch::finished, this, &Downloader::onFallbackFinished);
}

Downloader::~Downloader() { stop(); }

bool Downloader::isRunning() const { return !m_ended && (m_reply || Inet1->isRunning() || m_detouring); }
bool Downloader::fallbackRunning() const { return Inet1->isRunning(); }

void Downloader::BeginDownload(const QString &url, const QString &savePath, const QString &tag)
{
    Q_UNUSED(tag)
    stop();
    m_ended = false;
    m_bodyFailed = false;
    m_readBytes = 0;
    m_reserved = false;
    m_committed = false;
    m_reservationRemoved = false;
    m_seenAtTick = 0;
    m_bytesMax = 0;
    m_bytesRead = 0;

    m_savePath = savePath;
    const QString target = FileSystemPath(savePath);

    // The two bytes 01 00 reserve the name while the body arrives, so that
    // the naming of the next transfer sees it taken. A file already there
    // (the old file being overwritten) reserves it as well and is left
    // untouched until the new body replaces it whole.
    if (!QFileInfo::exists(target)) {
        QFile reservation(target);
        if (reservation.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            reservation.write("\x01\x00", 2);
            m_reserved = true;
        }
    }

    m_startTime = Now();
    Timer1->start();

    m_url = QString(url).replace(QStringLiteral("&amp;"), QStringLiteral("&"), Qt::CaseInsensitive).trimmed();

    if (!openBody()) {
        // Nowhere to put the body (missing folder, a folder at the target,
        // no permission): fail once the caller has returned.
        QTimer::singleShot(0, this, [this] {
            if (!m_ended)
                raiseError(ReasonCannotWrite);
        });
        return;
    }

    QNetworkRequest req = TransferRequest(QUrl(m_url));
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    m_reply = TransferNetwork().get(req);
    m_reply->setReadBufferSize(ReadBufferSize);
    connect(m_reply, &QNetworkReply::readyRead, this, &Downloader::onReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &Downloader::onProgress);
    connect(m_reply, &QNetworkReply::finished, this, &Downloader::onReadFinished);
}

bool Downloader::CancelAsyncRead()
{
    if (m_reply) {
        dropReply();
        if (!Inet1->isRunning())
            discardBody();
    }
    return false;
}

void Downloader::stop()
{
    m_ended = true;
    Timer1->stop();
    dropReply();
    Inet1->cancel(); // before the body it may be writing into goes
    if (m_detouring) {
        m_detouring = false;
        BrowserCheckDetour::instance().cancel(this);
    }
    discardBody();
    if (m_reserved && !m_committed && !m_reservationRemoved) {
        m_reservationRemoved = true;
        QFile::remove(FileSystemPath(m_savePath));
    }
}

void Downloader::dropReply() { DropReply(m_reply, this); }

bool Downloader::openBody()
{
    discardBody();
    auto file = std::make_unique<QFile>();
    if (!OpenPartFile(*file, m_savePath, QIODevice::Unbuffered))
        return false;
    m_body = std::move(file);
    m_bodyFailed = false;
    return true;
}

void Downloader::discardBody()
{
    if (!m_body)
        return;
    m_body->close();
    m_body->remove();
    m_body.reset();
}

bool Downloader::commitBody(qint64 expectedSize)
{
    if (!m_body)
        return false;
    m_body->close();
    const bool written = !m_bodyFailed && m_body->error() == QFileDevice::NoError
                         && QFileInfo(m_body->fileName()).size() == expectedSize;
    if (!written || !ReplaceFile(m_body->fileName(), FileSystemPath(m_savePath))) {
        discardBody();
        return false;
    }
    m_body.reset();
    m_committed = true;
    return true;
}

qint64 Downloader::watchedBytes() const { return m_readBytes + Inet1->bytesReceived(); }

void Downloader::onReadyRead()
{
    if (!m_reply)
        return;
    if (m_chunk.size() < ChunkSize)
        m_chunk.resize(ChunkSize);
    while (m_reply && m_reply->bytesAvailable() > 0) {
        const qint64 n = m_reply->read(m_chunk.data(), ChunkSize);
        if (n <= 0)
            return;
        m_readBytes += n;
        if (m_body && m_body->write(m_chunk.constData(), n) != n) {
            // Disk full or the folder went away: reading on cannot end well.
            m_bodyFailed = true;
            raiseError(ReasonCannotWrite);
            return;
        }
    }
}

void Downloader::onProgress(qint64 received, qint64 total)
{
    // At its end a read without a size reports what it got as its total;
    // only the response's own length counts as a size.
    if (!m_reply || !m_reply->header(QNetworkRequest::ContentLengthHeader).isValid() || total < 1)
        return; // no size reported
    if (IsErrorStatus(m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()))
        return; // an error page's size is not the file's
    m_bytesMax = total;
    m_bytesRead = received;
    emit DownloadProgress(ClampToEventBytes(received), ClampToEventBytes(total), m_savePath);
    // A handler may have unloaded this control: touch nothing more.
}

void Downloader::onReadFinished()
{
    if (!m_reply)
        return;
    onReadyRead();
    if (m_ended || !m_reply)
        return;
    QNetworkReply *r = m_reply;
    bool known = false;
    const qint64 total = r->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    const qint64 max = known ? total : -1;
    const qint64 read = m_readBytes;
    const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString contentType = QString::fromLatin1(r->rawHeader("Content-Type"));
    m_reply = nullptr;
    r->disconnect(this);
    r->deleteLater();

    // A check page (some sites send it with 403) is not the file.
    if ((!IsErrorStatus(status) || status == 403) && read > 0 && detourIfBrowserCheck(contentType))
        return;

    // An error page (404, 500) is not the file: it never replaces the
    // reservation or an old file, and the row fails.
    if (IsErrorStatus(status)) {
        raiseError(ReasonCannotDownload);
        return;
    }
    if (max < 1 || read < 1) {
        startFallback();
        return;
    }
    // A body short of its announced length (the connection broke, the server
    // lied) is not the file: it never takes the final name.
    if (read != max) {
        raiseError(ReasonCannotDownload);
        return;
    }
    if (!commitBody(read)) {
        raiseError(ReasonCannotWrite);
        return;
    }
    raiseComplete(read, max);
}

void Downloader::startFallback()
{
    Inet1->cancel();
    if (!openBody()) {
        raiseError(ReasonCannotWrite);
        return;
    }
    Inet1->start(QUrl(m_url), m_body.get());
}

void Downloader::onFallbackFinished()
{
    if (m_ended)
        return;
    const qint64 bytes = Inet1->bytesReceived();
    const int status = Inet1->httpStatus();
    if (bytes >= 2 && !transportFailed(Inet1->error()) && !Inet1->writeFailed()
        && (!IsErrorStatus(status) || status == 403) && detourIfBrowserCheck(QString()))
        return;
    if (bytes < 2 || transportFailed(Inet1->error()) || IsErrorStatus(Inet1->httpStatus())) {
        raiseError(ReasonCannotDownload);
        return;
    }
    if (Inet1->writeFailed() || !commitBody(bytes)) {
        raiseError(ReasonCannotWrite);
        return;
    }
    const qint64 length = QFileInfo(FileSystemPath(m_savePath)).size();
    raiseComplete(length, length);
}

bool Downloader::detourIfBrowserCheck(const QString &contentType)
{
    if (!m_body)
        return false;
    m_body->flush();
    if (!IsBrowserCheckFile(m_body->fileName(), contentType))
        return false;
    discardBody();
    m_detouring = true;
    m_bytesRead = 0;
    m_bytesMax = 0;
    const QPointer<Downloader> self(this);
    BrowserCheckDetour::instance().request(
        this, m_url, QString(),
        [self](qint64 received, qint64 total) {
            if (!self || self->m_ended || total < 1 || received > total)
                return;
            self->m_bytesRead = received;
            self->m_bytesMax = total;
            emit self->DownloadProgress(ClampToEventBytes(received), ClampToEventBytes(total), self->m_savePath);
        },
        [self](bool ok, const QString &path, const QString &, const QString &) {
            if (self)
                self->onDetourDone(ok, path);
            else if (ok)
                QFile::remove(path);
        });
    return true;
}

void Downloader::onDetourDone(bool ok, const QString &tempFile)
{
    if (!m_detouring || m_ended) {
        if (ok)
            QFile::remove(tempFile);
        return;
    }
    m_detouring = false;
    if (!ok) {
        raiseError(ReasonBrowserCheck);
        return;
    }
    const qint64 length = QFileInfo(tempFile).size();
    // The size limit sees the whole file first, as it sees any other body.
    const QPointer<Downloader> self(this);
    m_bytesRead = length;
    m_bytesMax = length;
    emit DownloadProgress(ClampToEventBytes(length), ClampToEventBytes(length), m_savePath);
    if (!self || m_ended) {
        QFile::remove(tempFile);
        return;
    }
    if (length < 1 || !MoveFileInto(tempFile, FileSystemPath(m_savePath))) {
        QFile::remove(tempFile);
        raiseError(length < 1 ? ReasonCannotDownload : ReasonCannotWrite);
        return;
    }
    m_committed = true;
    raiseComplete(length, length);
}

void Downloader::raiseComplete(qint64 read, qint64 max)
{
    m_ended = true;
    Timer1->stop();
    m_bytesRead = read;
    m_bytesMax = max;
    emit DownloadComplete(ClampToEventBytes(read), ClampToEventBytes(max), m_savePath);
}

void Downloader::raiseError(const QString &reason)
{
    stop();
    emit DownloadError(reason, m_savePath);
}

void Downloader::Timer1Tick()
{
    // The browser engine's fetch has its own limit; waiting for its turn is
    // no stall either.
    if (m_ended || m_detouring)
        return;
    const qint64 bytes = watchedBytes();
    if (bytes == m_seenAtTick) {
        if (Now() - m_startTime >= StallLimitSeconds) {
            CancelAsyncRead();
            Timer1->stop();
            raiseError(ReasonTimedOut);
        }
        return;
    }
    m_seenAtTick = bytes;
    m_startTime = Now();
}
