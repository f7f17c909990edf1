#pragma once
// The widget of a browser pane: a QWebEngineView showing the pane's page.
#include <QWebEngineView>

class BrowserPane;

class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    // The view shows the pane's page; the pane becomes the view's child when
    // it has no parent of its own.
    explicit BrowserView(BrowserPane *pane, QWidget *parent = nullptr);
    BrowserPane *pane() const { return m_pane; }

private:
    BrowserPane *m_pane;
};
