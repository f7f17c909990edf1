#pragma once
// What the paging run needs of a browser pane, so that it runs the same over
// the real engine and over a scripted stand-in in tests.
#include "search/document.h"

#include <QObject>

#include <functional>

class BrowserPort : public QObject {
    Q_OBJECT
public:
    using DocumentCallback = std::function<void(DocumentPtr)>;

    using QObject::QObject;

    // True while a navigation is in progress.
    virtual bool isBusy() const = 0;
    // Reads the page now shown, with one call into the page. The callback
    // gets null when the page cannot be read; clicks of the document act on
    // the page. The callback may come after the port's page has changed.
    virtual void readDocument(DocumentCallback done) = 0;

signals:
    // The top-level document has finished loading (frames do not count).
    void documentComplete();
};
