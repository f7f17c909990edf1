#include "transfer/browsercheckdetour.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

BrowserCheckDetour &BrowserCheckDetour::instance()
{
    static QPointer<BrowserCheckDetour> detour;
    if (!detour)
        detour = new BrowserCheckDetour(QCoreApplication::instance());
    return *detour;
}

void BrowserCheckDetour::request(QObject *owner, const QString &url, const QString &referer, Progress progress,
                                 Done done)
{
    m_queue.append({owner, url, referer, std::move(progress), std::move(done)});
    // Started from the event loop: the caller finishes its own step first.
    QTimer::singleShot(0, this, &BrowserCheckDetour::startNext);
}

void BrowserCheckDetour::cancel(QObject *owner)
{
    m_queue.removeIf([owner](const Request &r) { return r.owner == owner || !r.owner; });
    if (m_fetcher && m_current.owner == owner) {
        m_fetcher->cancel();
        endCurrent();
        QTimer::singleShot(0, this, &BrowserCheckDetour::startNext);
    }
}

void BrowserCheckDetour::endCurrent()
{
    if (m_fetcher) {
        m_fetcher->disconnect(this);
        m_fetcher->deleteLater();
        m_fetcher = nullptr;
    }
    m_current = Request();
}

void BrowserCheckDetour::startNext()
{
    while (!m_fetcher && !m_queue.isEmpty()) {
        Request r = m_queue.takeFirst();
        if (!r.owner)
            continue;
        BrowserFetcher *fetcher = CreateBrowserFetcher(this);
        if (!fetcher || !fetcher->fetch(r.url, r.referer)) {
            // Without the browser engine (or for a URL it cannot load) the
            // row cannot get past the check.
            delete fetcher;
            if (r.done)
                r.done(false, QString(), QString(), QString());
            continue;
        }
        m_fetcher = fetcher;
        m_current = std::move(r);
        connect(fetcher, &BrowserFetcher::progress, this, [this](qint64 received, qint64 total) {
            if (m_current.owner && m_current.progress)
                m_current.progress(received, total);
        });
        connect(fetcher, &BrowserFetcher::finished, this,
                [this](const QString &path, const QString &mime, const QString &name) {
            Request r = std::move(m_current);
            endCurrent();
            if (r.owner && r.done)
                r.done(true, path, mime, name);
            else
                QFile::remove(path);
            startNext();
        });
        connect(fetcher, &BrowserFetcher::failed, this, [this](BrowserFetcher::Failure) {
            Request r = std::move(m_current);
            endCurrent();
            if (r.owner && r.done)
                r.done(false, QString(), QString(), QString());
            startNext();
        });
        emit fetchStarted(fetcher);
    }
}
