#pragma once
// The embedded browser of the search and login panes, without its widget:
// one QWebEnginePage on the program's persistent profile, with the
// operations and notifications the windows and the result-page reader use.
// It works headless (velmora harvest); BrowserView shows it in a window.
#include "search/browserport.h"

#include <QUrl>
#include <QWebEnginePage>

class QWebEngineLoadingInfo;

// The page itself: keeps script dialogs quiet when asked and tells the
// pane of every navigation.
class BrowserPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit BrowserPage(QObject *parent = nullptr);
    bool silent = false;

signals:
    void navigationRequested(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int, const QString &) override {}
};

class BrowserPane : public BrowserPort {
    Q_OBJECT
public:
    explicit BrowserPane(QObject *parent = nullptr);
    ~BrowserPane() override;

    BrowserPage *page() const { return m_page; }

    // Starts loading the address and returns at once.
    void Navigate(const QUrl &url);
    void Navigate(const QString &address);
    // Move in the history; false (and nothing happens) when there is no page.
    bool GoBack();
    bool GoForward();
    void Refresh();
    // True: the page's alert, confirm and prompt boxes are not shown (confirm
    // and prompt answer "cancel").
    void setSilent(bool on) { m_page->silent = on; }
    bool Silent() const { return m_page->silent; }
    // True while a navigation of the top-level document is in progress.
    bool Busy() const { return m_busy; }
    // The document now shown, read with one script call (the top-level
    // document, then the documents of its same-origin frames).
    void Document(DocumentCallback done) { readDocument(std::move(done)); }

    QUrl url() const { return m_page->url(); }
    // How the last load of the top-level document ended: false for an error
    // page (unreachable host, missing file) or an HTTP error status.
    bool lastLoadFailed() const { return m_lastLoadFailed; }

    bool isBusy() const override { return m_busy; }
    void readDocument(DocumentCallback done) override;

    // The script that takes the snapshot, and the one that clicks element N
    // of the last snapshot. Both run in the program's own script world, out
    // of the page scripts' reach.
    static QString snapshotScript();
    static QString clickScript(int element);

signals:
    void StatusTextChange(const QString &text);
    void TitleChange(const QString &text);
    void BeforeNavigate2(const QUrl &url);
    // A page asked for a new window; the address loads in this pane instead.
    void NewWindow2(const QUrl &url);
    // The top-level document has finished loading (never for a frame).
    void DocumentComplete(const QUrl &url);
    // A page script asked to close the window; the pane stays.
    void WindowClosing();

private:
    void onLoadingChanged(const QWebEngineLoadingInfo &info);

    BrowserPage *m_page = nullptr;
    bool m_busy = false;
    bool m_lastLoadFailed = false;
};
