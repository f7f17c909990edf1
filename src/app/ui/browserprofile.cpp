#include "app/ui/browserprofile.h"

#include "app/paths.h"
#include "app/ui/startupprobe.h"
#include "transfer/network.h"

#include <QCoreApplication>
#include <QNetworkCookieJar>
#include <QPointer>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>

QWebEngineProfile *BrowserProfile()
{
    static QPointer<QWebEngineProfile> profile;
    if (!profile) {
        profile = new QWebEngineProfile(QStringLiteral("Velmora"), QCoreApplication::instance());
        const QString dir = Paths::browserProfileDir();
        profile->setPersistentStoragePath(dir);
        profile->setCachePath(dir + QStringLiteral("/cache"));
        MirrorCookies(profile->cookieStore(), &SharedCookieJar());
    }
    return profile;
}

void MirrorCookies(QWebEngineCookieStore *store, QNetworkCookieJar *jar)
{
    if (!store || !jar)
        return;
    const QPointer<QNetworkCookieJar> target(jar);
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, jar, [target](const QNetworkCookie &cookie) {
        if (target)
            target->insertCookie(cookie); // replaces one of the same name, domain and path
    });
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, jar, [target](const QNetworkCookie &cookie) {
        if (target)
            target->deleteCookie(cookie);
    });
    store->loadAllCookies();
}

void WarmUpBrowserEngine(std::function<void()> done)
{
    static bool started = false;
    if (started)
        return;
    started = true;
    auto *page = new QWebEnginePage(BrowserProfile(), QCoreApplication::instance());
    // A program that ends before the page has loaded lets it go before the
    // profile it belongs to.
    const QPointer<QWebEnginePage> alive(page);
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, page, [alive] { delete alive.data(); });
    QObject::connect(page, &QWebEnginePage::loadFinished, page, [page, done] {
        StartupProbeMark("warm");
        // The engine is running now; the page is not needed any more. Never
        // deleted inside its own signal, and done (which may show a browser
        // view) runs after the signal has returned.
        page->deleteLater();
        if (done)
            QTimer::singleShot(0, QCoreApplication::instance(), done);
    });
    page->load(QUrl(QStringLiteral("about:blank")));
}
