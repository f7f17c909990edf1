#include "transfer/ui/browserfetch.h"

#include "app/ui/browserprofile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVariantList>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

#include <algorithm>

namespace {

// Chromium's net::ERR_ABORTED: a navigation that the page's own script
// replaced, or one that turned into a download.
constexpr int kAborted = -3;

// A page nobody sees: its dialogs are answered silently and it opens no
// other windows.
class HiddenPage : public QWebEnginePage {
public:
    HiddenPage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
    {
        // With the PDF viewer (a plugin) on, a PDF would be shown in the page
        // and never reach downloadRequested.
        settings()->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
        settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
        // A page without a view counts as hidden, and hidden pages get their
        // timers throttled; the check's script must run at full speed.
        setVisible(true);
        setAudioMuted(true);
    }

protected:
    QWebEnginePage *createWindow(WebWindowType) override { return nullptr; }
    void javaScriptAlert(const QUrl &, const QString &) override {}
    bool javaScriptConfirm(const QUrl &, const QString &) override { return false; }
    bool javaScriptPrompt(const QUrl &, const QString &, const QString &, QString *) override { return false; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int, const QString &) override {}
};

// The engine drops a Referer given with the load request; the site sees the
// row's referer on the page's own loads (the first and every reload) this
// way, as it would after following the link in a browser.
class RefererSetter : public QWebEngineUrlRequestInterceptor {
public:
    RefererSetter(const QByteArray &referer, QObject *parent)
        : QWebEngineUrlRequestInterceptor(parent), m_referer(referer) {}
    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame)
            info.setHttpHeader("Referer", m_referer);
    }
private:
    QByteArray m_referer;
};

// One snapshot of what the page shows: the start of its markup, the markup's
// full length and the document's type.
const char kSnapshotScript[] = R"JS(
(function () {
    var root = document.documentElement;
    var html = root ? root.outerHTML : '';
    return [html.length, html.slice(0, 65536), document.contentType || ''];
})()
)JS";

} // namespace

BrowserFetch::BrowserFetch(QObject *parent, QWebEngineProfile *profile)
    : BrowserFetcher(parent), m_profile(profile ? profile : BrowserProfile())
{
    connect(m_profile, &QWebEngineProfile::downloadRequested, this, &BrowserFetch::onDownloadRequested);
}

BrowserFetch::~BrowserFetch()
{
    cancel();
    releasePage();
}

QString BrowserFetch::downloadFolder() const { return m_folder ? m_folder->path() : QString(); }

void BrowserFetch::startFetch(const QString &url, const QString &referer)
{
    releasePage();
    if (!m_folder || !m_folder->isValid())
        m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/velmora-fetch-XXXXXX"));
    if (!m_folder->isValid()) {
        reportFailed(Failure::DownloadError);
        return;
    }
    m_page = new HiddenPage(m_profile, this);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &BrowserFetch::onLoadingChanged);
    if (!referer.isEmpty())
        m_page->setUrlRequestInterceptor(new RefererSetter(referer.toUtf8(), m_page));
    m_page->load(QUrl(url));
}

void BrowserFetch::stopFetch()
{
    if (m_download) {
        m_download->disconnect(this);
        if (!m_download->isFinished())
            m_download->cancel();
    }
    m_download = nullptr;
    if (!m_downloadPath.isEmpty())
        QFile::remove(m_downloadPath);
    m_downloadPath.clear();
    releasePage();
}

void BrowserFetch::releasePage()
{
    if (!m_page)
        return;
    ++m_loadSerial; // snapshots still on their way belong to nobody now
    m_page->disconnect(this);
    m_page->triggerAction(QWebEnginePage::Stop);
    // Possibly inside one of the page's own signals: let it return first.
    m_page->deleteLater();
    m_page = nullptr;
}

void BrowserFetch::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    if (!isBusy() || m_download)
        return;
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        // A check reloads itself again and again while it fails, so a new
        // load is no sign of life; only a growing file is.
        ++m_loadSerial;
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        inspectPage();
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        if (info.errorCode() == kAborted)
            break; // replaced by the script's reload, or turning into the download
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain)
            inspectPage(); // an error status with a page: may still be a check
        else
            reportFailed(Failure::LoadError);
        break;
    }
}

void BrowserFetch::inspectPage()
{
    const quint64 load = m_loadSerial;
    const QPointer<BrowserFetch> self(this);
    m_page->runJavaScript(QString::fromLatin1(kSnapshotScript), QWebEngineScript::ApplicationWorld,
                          [self, load](const QVariant &result) {
        if (!self || !self->isBusy() || self->m_download || load != self->m_loadSerial)
            return; // another load began meanwhile; its own end is inspected
        const QVariantList parts = result.toList();
        if (parts.size() != 3)
            return;
        const QByteArray head = parts.at(1).toString().toUtf8();
        const qint64 length = parts.at(0).toLongLong();
        // A check's script loads the page again by itself; anything else is
        // a page where a file was expected.
        if (!IsBrowserCheck(head, std::max<qint64>(length, head.size()), parts.at(2).toString()))
            self->reportFailed(Failure::OnlyPages);
    });
}

void BrowserFetch::onDownloadRequested(QWebEngineDownloadRequest *request)
{
    if (!m_page || request->page() != m_page)
        return; // the search pane's or another fetcher's
    if (!isBusy() || m_download) {
        request->cancel();
        return;
    }
    m_download = request;
    m_downloadPath = QDir(m_folder->path()).filePath(QStringLiteral("fetch-%1.part").arg(++m_serial));
    QFile::remove(m_downloadPath);
    request->setDownloadDirectory(m_folder->path());
    request->setDownloadFileName(QFileInfo(m_downloadPath).fileName());
    connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this, [this] {
        if (m_download)
            reportProgress(m_download->receivedBytes(), m_download->totalBytes() > 0 ? m_download->totalBytes() : -1);
    });
    connect(request, &QWebEngineDownloadRequest::stateChanged, this, &BrowserFetch::onDownloadStateChanged);
    request->accept();
    reportActivity();
}

void BrowserFetch::onDownloadStateChanged()
{
    if (!m_download || !isBusy())
        return;
    switch (m_download->state()) {
    case QWebEngineDownloadRequest::DownloadRequested:
    case QWebEngineDownloadRequest::DownloadInProgress:
        return;
    case QWebEngineDownloadRequest::DownloadCompleted: {
        const QString path = m_downloadPath;
        const QString mime = m_download->mimeType();
        const QString suggested = m_download->suggestedFileName();
        m_download->disconnect(this);
        m_download = nullptr;
        m_downloadPath.clear();
        releasePage();
        // The site may hand out its check page as an attachment too; that is
        // no file, and it is not kept.
        if (IsBrowserCheckFile(path, mime)) {
            QFile::remove(path);
            reportFailed(Failure::OnlyPages);
            return;
        }
        reportFinished(path, mime, suggested);
        return;
    }
    case QWebEngineDownloadRequest::DownloadCancelled:
    case QWebEngineDownloadRequest::DownloadInterrupted:
        reportFailed(Failure::DownloadError); // stopFetch removes what had arrived
        return;
    }
}

void UseBrowserEngineForChecks()
{
    SetBrowserFetcherFactory([](QObject *parent) -> BrowserFetcher * { return new BrowserFetch(parent); });
}
