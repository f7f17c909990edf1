#include "search/ui/browserview.h"

#include "search/ui/browserpane.h"

BrowserView::BrowserView(BrowserPane *pane, QWidget *parent) : QWebEngineView(parent), m_pane(pane)
{
    if (!pane->parent())
        pane->setParent(this);
    setPage(pane->page());
}
