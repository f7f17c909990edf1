#pragma once
// The way round a browser check for the transfers of both modes: a row whose
// response turned out to be a check page is fetched again through a
// BrowserFetcher (the browser engine runs the site's own script). The
// program has one such detour at a time; further requests wait their turn in
// the order they came.
#include "transfer/browsercheck.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class BrowserCheckDetour : public QObject {
    Q_OBJECT
public:
    // ok: the file is in tempFilePath, which now belongs to the caller (move
    // it or delete it). Not ok: no fetcher is installed, or the engine did
    // not get the file (a check that never passes, only pages, an error).
    using Done = std::function<void(bool ok, const QString &tempFilePath, const QString &mimeType,
                                    const QString &suggestedName)>;
    using Progress = std::function<void(qint64 received, qint64 total)>;

    static BrowserCheckDetour &instance();

    // Queues the fetch of url for owner. The callbacks run only while owner
    // lives and the request has not been cancelled; done runs exactly once
    // (never from inside this call).
    void request(QObject *owner, const QString &url, const QString &referer, Progress progress, Done done);
    // Drops the owner's queued or running fetch; nothing is called back.
    void cancel(QObject *owner);

    bool isBusy() const { return m_fetcher != nullptr; }
    // The fetcher of the running detour (tests drive it).
    BrowserFetcher *currentFetcher() const { return m_fetcher; }

signals:
    // A fetcher was created and started for a request.
    void fetchStarted(BrowserFetcher *fetcher);

private:
    explicit BrowserCheckDetour(QObject *parent) : QObject(parent) {}
    struct Request {
        QPointer<QObject> owner;
        QString url;
        QString referer;
        Progress progress;
        Done done;
    };
    void startNext();
    void endCurrent();

    QList<Request> m_queue;
    Request m_current;
    BrowserFetcher *m_fetcher = nullptr;
};
