#pragma once
// The program's own download control: reads one URL asynchronously into a
// file, watches the read for stalls, falls back to a one-piece fetch when the
// read brings no size or no bytes, and reports progress, completion and
// failure as events. The transfer slots keep one per running transfer; it
// needs no window (its visible face is transfer/ui/downloaderview.h).
//
// The body never sits in memory: it goes into a temporary file beside the
// target as it arrives and is moved over the target in one step at the end, so
// the name shows either what was there before (the two-byte reservation, or
// the old file being overwritten) or the complete body, never a half-written
// file. A body is complete only when it has all the bytes its length
// announced; when it is short, or cannot be put in place, the control raises
// DownloadError, not DownloadComplete, and removes its reservation.
//
// Sizes are kept in 64 bits. The events carry 32-bit numbers, saturated at
// 2^31-1 for files beyond 2 GiB; the exact values of the event being raised
// are available from reportedBytesRead() / reportedBytesMax().
#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QObject>

#include <memory>

class QNetworkReply;
class QFile;
class QTimer;
class OneShotFetch;

class Downloader : public QObject {
    Q_OBJECT
public:
    // Seconds without a single new byte after which a transfer fails.
    static constexpr double StallLimitSeconds = 300;
    // Reasons carried by DownloadError.
    static const QString ReasonCannotDownload; // "无法下载": neither read brought anything
    static const QString ReasonTimedOut;       // "超时": no byte for the stall limit
    static const QString ReasonCannotWrite;    // "无法写入": the body could not be put on disk
    // "需要浏览器验证": the server answered with a browser check and the
    // browser engine did not get past it (or is not available).
    static const QString ReasonBrowserCheck;

    explicit Downloader(QObject *parent = nullptr);
    // Ends a running transfer without any further event and removes its
    // temporary body and the reservation it wrote.
    ~Downloader() override;

    // The tag is accepted and not used: these reads send no Referer.
    void BeginDownload(const QString &url, const QString &savePath, const QString &tag = QString());
    // Cancels the asynchronous read (not the fall-back fetch); always false.
    bool CancelAsyncRead();
    // Ends everything the control is doing, with no further event. Safe to
    // call from a handler of one of its own events, and more than once.
    // Unless the body has been put in place, the two-byte reservation this
    // control wrote goes too: left behind, it would pass for a downloaded
    // file of that name (a file that was there before is never touched).
    void stop();
    // The control wrote the reservation at the save path (nothing was there).
    bool wroteReservation() const { return m_reserved; }
    // The complete body has replaced the reservation (DownloadComplete).
    bool bodyInPlace() const { return m_committed; }

    QString savePath() const { return m_savePath; }
    QString url() const { return m_url; }
    bool isRunning() const;
    bool fallbackRunning() const;
    // The body was a browser check and the file is being fetched through the
    // browser engine.
    bool detouring() const { return m_detouring; }

    // Full-width values of the event being raised (or last raised).
    qint64 reportedBytesRead() const { return m_bytesRead; }
    qint64 reportedBytesMax() const { return m_bytesMax; }

    // One tick of the stall watch; the timer calls it once a second.
    void Timer1Tick();
    QTimer *Timer1 = nullptr;

signals:
    void DownloadProgress(qint32 bytesRead, qint32 bytesMax, QString savePath);
    void DownloadComplete(qint32 bytesRead, qint32 bytesMax, QString savePath);
    void DownloadError(QString reason, QString savePath);

private:
    void onReadyRead();
    void onProgress(qint64 received, qint64 total);
    void onReadFinished();
    void startFallback();
    void onFallbackFinished();
    // The body just received is a browser check: it is dropped and the URL is
    // fetched again through the browser engine.
    bool detourIfBrowserCheck(const QString &contentType);
    void onDetourDone(bool ok, const QString &tempFile);
    void raiseComplete(qint64 read, qint64 max);
    void raiseError(const QString &reason);
    void dropReply();
    bool openBody();
    void discardBody();
    bool commitBody(qint64 expectedSize);
    qint64 watchedBytes() const;

    OneShotFetch *Inet1 = nullptr;

    QString m_savePath;
    QString m_url;
    double m_startTime = 0;
    qint64 m_bytesMax = 0;
    qint64 m_bytesRead = 0;
    qint64 m_seenAtTick = 0;

    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QFile> m_body; // the temporary body beside the target
    QByteArray m_chunk;         // reused for every piece moved to the body
    qint64 m_readBytes = 0;     // bytes the asynchronous read actually delivered
    bool m_bodyFailed = false;  // a write into the temporary body failed
    bool m_ended = false;       // an outcome was raised or the control was stopped
    bool m_reserved = false;    // the reservation at the save path is ours
    bool m_committed = false;   // the body replaced it
    bool m_reservationRemoved = false;
    bool m_detouring = false;
};

// Saturates a byte count to the 32 bits the events carry.
qint32 ClampToEventBytes(qint64 bytes);
