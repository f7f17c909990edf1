#pragma once
// Download mode 1: one file at a time over HTTP, optionally through a named
// proxy. InetTransfer is the window's `Inet1` control together with the
// transfer of one row: it sends the GET with its one Referer header, reads
// the response headers, decides type, path and size limit, streams the body
// into the file in pieces of at most 2048 bytes and ends the row Finished or
// Failed.
//
// Nothing here blocks or sleeps. The transfer is a state machine driven by
// the reply's signals and by a one-second watch timer; every limit (30 s for
// the headers, 120 s without growth) is measured on Clock, so tests move a
// ManualClock and call check(). Clearing session.DownloadBusy stops a running
// transfer: the watch and every arriving piece notice it.
#include "queue/downloadsession.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class QNetworkReply;

// The control's connection values as they follow from the proxy settings and
// the URL: AccessType 0 (system default) or 2 (named proxy), the proxy text
// "address:port", the remote port and the protocol (4 = HTTP, 5 = HTTPS).
struct InetConnectionSetup {
    int accessType = 0;
    QString proxy;
    int remotePort = 80;
    int protocol = 4;
    quint16 proxyPort = 0; // the port the proxy is reached on
};
InetConnectionSetup InetConnectionFor(const QString &url, int proxyEnabled, const QString &proxyAddress,
                                      const QString &proxyPort);

// "scheme://host" of a URL: cut before the first "/" after "://"; the whole
// URL when there is none. Without "://", cut before the first "/" when it
// stands after the third character.
QString SiteRoot(const QString &url);

// Status-bar text for a connection state 0..12; any other number shows
// responseCode ":" responseInfo.
QString InetStateText(int state, int responseCode, const QString &responseInfo);

class InetTransfer : public QObject {
    Q_OBJECT
public:
    explicit InetTransfer(DownloadSession &session, QObject *parent = nullptr);
    ~InetTransfer() override;

    // Starts the transfer of the row under DownloadBusy and clears the flag
    // once it has ended. While a transfer is under way or DownloadBusy is
    // already set, the row goes back to Waiting with "等待重新下载" and
    // nothing else happens (no ended() follows for it).
    void Inet下载当前文件(const ItemRef &row);
    // The transfer itself: sets DownloadBusy (clearing it is the caller's
    // business) and ends with ended() once its finish step has run. While a
    // transfer is under way the row is put back as above.
    void Inet下载文件(const ItemRef &row);
    // The one-piece fetch for responses without a usable length or a
    // "200 OK" status line, and for redirects: follows redirects, sends no
    // Referer, writes the body to path only when at least 2 bytes came and
    // the final answer is not an error page. It is a step of the running
    // transfer of that row; called at any other time it does nothing.
    void FetchWholeFile(const ItemRef &row, const QString &path);

    // True while a transfer of this control is under way: from the request
    // until its finish step has run.
    bool StillExecuting() const { return m_phase != Phase::Idle; }
    // Abandons the request. A running transfer then ends as stopped at the
    // next turn of the event loop.
    void Cancel();

    // The values of the connection set-up of the current (or last) transfer.
    int AccessType() const { return m_setup.accessType; }
    QString Proxy() const { return m_setup.proxy; }
    int RemotePort() const { return m_setup.remotePort; }
    int Protocol() const { return m_setup.protocol; }

    // The last connection state shown, and the code and text of the last error.
    int State() const { return m_state; }
    int ResponseCode() const { return m_responseCode; }
    QString ResponseInfo() const { return m_responseInfo; }
    // The header block of the response: the rebuilt status line first, lines
    // joined by CR LF; empty when no headers came.
    QString GetHeader() const { return m_headerBlock; }

    // Tests the time limits and the stop flag now. The watch timer calls it
    // once a second; tests call it after moving the clock.
    void check();

signals:
    // Once after the finish step of every transfer.
    void ended();
    // A new connection state (also written into status-bar panel 3).
    void stateChanged(int state);

private:
    // ErrorBody: a 403 answer is read (up to a check page's size) to see
    // whether it is a browser check. Detour: the file is being fetched
    // through the browser engine.
    enum class Phase { Idle, WaitHeaders, Streaming, Fetching, ErrorBody, Detour };
    enum class Outcome { Complete, Failed, FailedNoWord, Cancelled, TooLarge, Stalled };

    void onMetaData();
    void onReadyRead();
    void onReplyFinished();
    void onFetchReadyRead();
    void onFetchFinished();

    void startStreaming();
    void headersArrived();
    void drain();
    void endBody(Outcome outcome);
    void endFetch(bool ok);
    void afterCompleteBody();
    // Steps 10 and 11: name, folder, type and a free target path. False when
    // the row has ended (no folder, an old file that cannot be replaced).
    bool prepareTarget(const QString &type);
    void readErrorBody();
    void startDetour();
    void detourDone(bool ok, const QString &path, const QString &mime, const QString &suggested);
    void discardFetchFile();
    bool commitFetchFile();
    void finish();

    void setState(int state);
    void noteError(QNetworkReply *reply);
    void watchReply(QNetworkReply *reply);
    void dropReply();
    void publishProgress();
    bool stopRequested() const { return m_cancelled || !m_session.DownloadBusy; }

    DownloadSession &m_session;
    DownloadList &m_list;
    QNetworkAccessManager m_network;
    QTimer m_watch;

    Phase m_phase = Phase::Idle;
    ItemRef m_row;
    InetConnectionSetup m_setup;
    QString m_url;
    // The row's values as this transfer made them; a row removed meanwhile
    // no longer takes writes, the transfer goes on with these.
    QString m_name;
    QString m_folder;
    QString m_type;
    QString m_rowType;    // the type the row came with
    QString m_nameBefore; // its cleaned name before any renaming
    QString m_referer;
    QString m_contentType;
    QByteArray m_errorBody;
    ItemState m_endState = Downloading;
    bool m_clearBusyAtEnd = false;
    bool m_cancelled = false;

    QPointer<QNetworkReply> m_reply;
    QString m_headerBlock;
    double m_executeTime = 0;
    double m_expected = 0;
    QString m_path;
    QFile m_file; // the streamed body, under a temporary name beside the target
    std::unique_ptr<QFile> m_fetchFile; // the one-piece body beside the target
    qint64 m_written = 0;
    qint64 m_published = -1;
    double m_lastGrowth = 0;
    bool m_fetchWriteFailed = false;

    int m_state = 0;
    int m_responseCode = 0;
    QString m_responseInfo;
};
