#include "search/ui/browserpane.h"

#include "app/ui/browserprofile.h"

#include <QPointer>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineScript>

BrowserPage::BrowserPage(QObject *parent) : QWebEnginePage(BrowserProfile(), parent) {}

bool BrowserPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    emit navigationRequested(url);
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

void BrowserPage::javaScriptAlert(const QUrl &securityOrigin, const QString &msg)
{
    if (!silent)
        QWebEnginePage::javaScriptAlert(securityOrigin, msg);
}

bool BrowserPage::javaScriptConfirm(const QUrl &securityOrigin, const QString &msg)
{
    return !silent && QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
}

bool BrowserPage::javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                                   QString *result)
{
    return !silent && QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
}

BrowserPane::BrowserPane(QObject *parent) : BrowserPort(parent), m_page(new BrowserPage(this))
{
    connect(m_page, &BrowserPage::navigationRequested, this, &BrowserPane::BeforeNavigate2);
    connect(m_page, &QWebEnginePage::linkHovered, this, &BrowserPane::StatusTextChange);
    connect(m_page, &QWebEnginePage::titleChanged, this, &BrowserPane::TitleChange);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &BrowserPane::onLoadingChanged);
    // A page script cannot close the pane: the request is only reported.
    connect(m_page, &QWebEnginePage::windowCloseRequested, this, &BrowserPane::WindowClosing);
    // Links with a target and window.open() load here; no window opens.
    connect(m_page, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest &request) {
        const QUrl url = request.requestedUrl();
        emit NewWindow2(url);
        if (url.isValid() && !url.isEmpty())
            Navigate(url);
    });
}

BrowserPane::~BrowserPane() = default;

void BrowserPane::Navigate(const QUrl &url)
{
    m_page->load(url);
}

void BrowserPane::Navigate(const QString &address)
{
    Navigate(QUrl::fromUserInput(address.trimmed()));
}

bool BrowserPane::GoBack()
{
    if (!m_page->history()->canGoBack())
        return false;
    m_page->triggerAction(QWebEnginePage::Back);
    return true;
}

bool BrowserPane::GoForward()
{
    if (!m_page->history()->canGoForward())
        return false;
    m_page->triggerAction(QWebEnginePage::Forward);
    return true;
}

void BrowserPane::Refresh() { m_page->triggerAction(QWebEnginePage::Reload); }

void BrowserPane::onLoadingChanged(const QWebEngineLoadingInfo &info)
{
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        m_busy = true;
        return;
    }
    m_busy = false;
    m_lastLoadFailed = (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && info.isErrorPage())
                       || (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain && info.errorCode() >= 400);
    emit DocumentComplete(info.url());
    emit documentComplete();
}

QString BrowserPane::snapshotScript()
{
    // Elements are listed in document order with the index one past their
    // last descendant, so the reader finds "every div inside this block"
    // without asking the page again. Only the tags the reader looks at are
    // listed, and rendered text is taken only where it is read (links,
    // buttons, title blocks): asking every container for its text would
    // copy the page's text once per nesting level.
    return QStringLiteral(R"JS(
(function () {
  var WANT = {DIV: 1, A: 1, AREA: 1, LI: 1, UL: 1, BUTTON: 1};
  var rows = [], nodes = [], frames = [];
  function shown(el) {
    if (el.hidden) return false;
    var view = el.ownerDocument.defaultView;
    var style = view ? view.getComputedStyle(el) : null;
    if (style && (style.display === 'none' || style.visibility === 'hidden')) return false;
    return el.getClientRects().length > 0;
  }
  function add(el, tag, top) {
    var cls = el.getAttribute('class') || '';
    var text = '', href = '', flags = 0;
    if (tag === 'A' || tag === 'AREA') {
      href = typeof el.href === 'string' ? el.href : '';
      text = typeof el.innerText === 'string' ? el.innerText : (el.textContent || '');
      if (top && el.hasAttribute('href')) flags |= 4;
    } else if (tag === 'BUTTON') {
      text = el.innerText || '';
      if (!shown(el)) flags |= 1;
      if (el.disabled || el.getAttribute('aria-disabled') === 'true') flags |= 2;
    } else if (tag === 'DIV' && cls.toLowerCase() === 'title') {
      text = el.innerText || '';
    }
    rows.push([tag.toLowerCase(), cls, text, href, 0, flags]);
    nodes.push(el);
    return rows.length - 1;
  }
  function walk(node, top) {
    for (var c = node.firstElementChild; c; c = c.nextElementSibling) {
      var tag = String(c.tagName).toUpperCase();
      var i = WANT[tag] ? add(c, tag, top) : -1;
      if (tag === 'IFRAME' || tag === 'FRAME') frames.push(c);
      walk(c, top);
      if (i >= 0) rows[i][4] = rows.length;
    }
  }
  walk(document, true);
  // Same-origin frames follow the top-level document; their links are not
  // the document's links, so paging never clicks inside a frame.
  for (var f = 0; f < frames.length; ++f) {
    var d = null;
    try { d = frames[f].contentDocument; } catch (e) { d = null; }
    if (d) walk(d, false);
  }
  window.__velmoraNodes = nodes;
  return JSON.stringify({e: rows});
})()
)JS");
}

QString BrowserPane::clickScript(int element)
{
    return QStringLiteral("(function () { var n = window.__velmoraNodes; var e = n && n[%1];"
                          " if (!e || !e.isConnected) return false; e.click(); return true; })()")
        .arg(element);
}

void BrowserPane::readDocument(DocumentCallback done)
{
    const QPointer<BrowserPage> page(m_page);
    m_page->runJavaScript(snapshotScript(), QWebEngineScript::ApplicationWorld, [page, done](const QVariant &result) {
        std::shared_ptr<SnapshotDocument> doc;
        if (result.typeId() == QMetaType::QString)
            doc = SnapshotDocument::fromJson(result.toString().toUtf8());
        if (doc) {
            doc->setClickHandler([page](int element) {
                if (!page)
                    return false;
                page->runJavaScript(clickScript(element), QWebEngineScript::ApplicationWorld);
                return true;
            });
        }
        if (done)
            done(doc);
    });
}
