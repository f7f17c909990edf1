#pragma once
// The browser engine's side of a BrowserFetcher: a hidden page of the
// "Velmora" profile (the same cookies as the search pane) loads the URL and
// runs whatever script the site sends, as a browser would; the file arrives as
// the engine's download and is saved into a temporary file. Works without a
// display (offscreen platform) too.
#include "transfer/browsercheck.h"

#include <QPointer>
#include <QTemporaryDir>

#include <memory>

class QWebEngineDownloadRequest;
class QWebEngineLoadingInfo;
class QWebEnginePage;
class QWebEngineProfile;

class BrowserFetch : public BrowserFetcher {
    Q_OBJECT
public:
    // profile: nullptr means BrowserProfile().
    explicit BrowserFetch(QObject *parent = nullptr, QWebEngineProfile *profile = nullptr);
    ~BrowserFetch() override;

    // Where received files wait for their new owner (a temporary folder of
    // this fetcher, removed with it together with anything left in it).
    QString downloadFolder() const;

protected:
    void startFetch(const QString &url, const QString &referer) override;
    void stopFetch() override;

private:
    void onLoadingChanged(const QWebEngineLoadingInfo &info);
    void onDownloadRequested(QWebEngineDownloadRequest *request);
    void onDownloadStateChanged();
    void inspectPage();
    void releasePage();

    QWebEngineProfile *m_profile;
    QWebEnginePage *m_page = nullptr;
    QPointer<QWebEngineDownloadRequest> m_download;
    QString m_downloadPath;
    std::unique_ptr<QTemporaryDir> m_folder;
    int m_serial = 0;       // names the received files
    quint64 m_loadSerial = 0; // tells a page snapshot of an older load from the current one
};

// Lets the engine side create BrowserFetch objects (SetBrowserFetcherFactory).
// Called by the program once the browser engine may be used.
void UseBrowserEngineForChecks();
