#pragma once
// Sites that hand a plain HTTP client a small "Preparing to download ..." page
// instead of the file: the page's script computes a proof of work, sets a
// cookie and loads the URL again, and only then the file comes. The transfers
// recognise such a page here and fetch the URL again through the browser
// engine (a BrowserFetcher), which runs the site's own script as a browser
// does. Nothing here imitates the check.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace StatusWord {
// The word of a row whose file stayed behind a browser check: the engine did
// not get the file within its time limit, or got only pages.
inline const QString NeedsBrowserCheck = QStringLiteral("需要浏览器验证");
} // namespace StatusWord

// Challenge pages are a few KB; an HTML response of this size or more is
// content and never taken for a check.
inline constexpr qint64 BrowserCheckSizeLimit = 64 * 1024;

// True when a response is a browser check: HTML (by its Content-Type, or by
// its bytes when the type says nothing or something else), under
// BrowserCheckSizeLimit, and carrying at least two kinds of challenge marks
// (a challenge title, proof-of-work constants or cookie, a script that writes
// document.cookie and loads the page again). One kind alone is too common on
// ordinary pages (a consent script, an article about such checks).
// headBytes: the body (only its first BrowserCheckSizeLimit bytes are read);
// totalSize: the body's full length, or -1 when unknown, in which case the
// length of headBytes decides, so pass the whole body then.
bool IsBrowserCheck(const QByteArray &headBytes, qint64 totalSize, const QString &contentType = QString());

// The same rule for a saved file (a path as the naming code builds it). A
// missing or unreadable file is no check.
bool IsBrowserCheckFile(const QString &path, const QString &contentType = QString());

// Fetches one URL through the browser engine so that a browser check on the
// way is passed by the site's own script. The engine side of it: the
// transfers and `velmora get` use this interface; the browser implementation
// lives with the windows (transfer/ui/browserfetch.h).
//
// One fetch at a time. Every fetch ends with exactly one of finished() or
// failed(), unless it is cancelled, after which nothing is signalled. The
// fetch fails when for TimeLimitSeconds neither the file has begun to arrive
// nor a running download has grown (measured with the program's Clock, so
// tests move a ManualClock instead of waiting).
class BrowserFetcher : public QObject {
    Q_OBJECT
public:
    enum class Failure {
        TimedOut,      // no file within the time limit (a check that never passes)
        OnlyPages,     // the engine got an ordinary page (or another check) instead of a file
        LoadError,     // the page could not be loaded at all
        DownloadError, // the file began but could not be received or saved
    };
    Q_ENUM(Failure)

    static constexpr double TimeLimitSeconds = 60.0;

    explicit BrowserFetcher(QObject *parent = nullptr);
    ~BrowserFetcher() override;

    // Starts fetching url, sending referer when it is not empty. False (and
    // nothing starts) while another fetch runs or when the URL is not an
    // http(s) URL.
    bool fetch(const QString &url, const QString &referer = QString());
    // Ends the running fetch and removes what it had received; no signal follows.
    void cancel();
    bool isBusy() const { return m_busy; }

    static QString failureText(Failure failure);

signals:
    // total is -1 while the size is unknown.
    void progress(qint64 received, qint64 total);
    // The whole file in a temporary file that now belongs to the receiver:
    // move it to its place or delete it. mimeType and suggestedName are the
    // server's (either may be empty).
    void finished(const QString &tempFilePath, const QString &mimeType, const QString &suggestedName);
    void failed(BrowserFetcher::Failure failure);

protected:
    // Implementations start and stop the engine's work; stop() must be quiet
    // and leave no partial file behind.
    virtual void startFetch(const QString &url, const QString &referer) = 0;
    virtual void stopFetch() = 0;

    // Implementations report through these; after the first of finish/fail
    // (or a cancel) further reports of the same fetch are ignored.
    void reportProgress(qint64 received, qint64 total);
    void reportFinished(const QString &tempFilePath, const QString &mimeType, const QString &suggestedName);
    void reportFailed(Failure failure);
    // Counts as a sign of life for the time limit (for example the first
    // response of a download, before any byte is reported).
    void reportActivity();
    // Fails the fetch once the time limit has passed; the watch runs it once
    // a second.
    void checkTimeLimit();

private:
    void end();

    QTimer m_watch;
    double m_lastActivity = 0;
    qint64 m_lastReceived = -1;
    bool m_busy = false;
};

// How the engine side gets a fetcher without knowing the browser engine: the
// program (window or `velmora get`) installs a factory once the engine is
// available; without one CreateBrowserFetcher returns nullptr and a checked
// row simply fails with StatusWord::NeedsBrowserCheck.
using BrowserFetcherFactory = std::function<BrowserFetcher *(QObject *parent)>;
void SetBrowserFetcherFactory(BrowserFetcherFactory factory);
BrowserFetcher *CreateBrowserFetcher(QObject *parent = nullptr);
