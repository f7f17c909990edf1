#include "app/ui/browserprofile.h"
#include "app/paths.h"
#include "queue/downloadsession.h"
#include "support/httptestserver.h"
#include "support/uitestmain.h"
#include "transfer/inettransfer.h"
#include "transfer/network.h"

#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QSignalSpy>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>

class TestBrowserProfile : public QObject {
    Q_OBJECT
private slots:
    void oneLazyPersistentProfile()
    {
        QWebEngineProfile *profile = BrowserProfile();
        QVERIFY(profile);
        QCOMPARE(BrowserProfile(), profile);
        QCOMPARE(profile->storageName(), QString("Velmora"));
        QVERIFY(!profile->isOffTheRecord());
        QCOMPARE(profile->persistentStoragePath(), Paths::browserProfileDir());
    }

    // The warm-up starts the engine once, lets its page go when loaded, and
    // a page opened right after it loads over the same profile.
    void warmUpOnce()
    {
        int done = 0;
        WarmUpBrowserEngine([&done] { ++done; });
        WarmUpBrowserEngine([&done] { ++done; }); // already started: nothing more
        QTRY_COMPARE_WITH_TIMEOUT(done, 1, 30000);
        QTRY_VERIFY(BrowserProfile()->findChildren<QWebEnginePage *>().isEmpty()
                    && QCoreApplication::instance()->findChildren<QWebEnginePage *>(Qt::FindDirectChildrenOnly).isEmpty());
        QWebEnginePage page(BrowserProfile());
        QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
        page.setHtml(QStringLiteral("<p>after the warm-up</p>"));
        QVERIFY(loaded.wait(30000));
        QCOMPARE(loaded.first().first().toBool(), true);
        QCOMPARE(done, 1);
    }

    // A cookie set while the browser shows a page reaches the next transfer,
    // and leaves the transfers' jar when the browser drops it.
    void browserCookiesReachTransfers()
    {
        HttpTestServer server;
        QVERIFY(server.listen());
        ScriptedResponse login = ScriptedResponse::ok("<html><body>welcome</body></html>", "text/html");
        login.header("Set-Cookie", "sid=logged-in; Path=/");
        server.route("/login", login);
        server.route("/a.pdf", ScriptedResponse::ok("%PDF-1.4 body", "application/pdf"));
        const QUrl site(server.urlString("/"));

        QWebEnginePage page(BrowserProfile());
        QWebEngineCookieStore *store = BrowserProfile()->cookieStore();
        QSignalSpy added(store, &QWebEngineCookieStore::cookieAdded);
        page.load(QUrl(server.urlString("/login")));
        QVERIFY(added.count() > 0 || added.wait(15000));
        QTRY_VERIFY_WITH_TIMEOUT(!SharedCookieJar().cookiesForUrl(site).isEmpty(), 15000);

        TempHome home;
        DownloadSession session;
        InetTransfer inet(session);
        session.list().add(server.urlString("/a.pdf"), "a", "pdf", home.folder("save") + "/");
        ItemRef row = session.list().at(0);
        QSignalSpy ended(&inet, &InetTransfer::ended);
        inet.Inet下载当前文件(row);
        QVERIFY(ended.count() == 1 || ended.wait(10000));
        QCOMPARE(row->state, Finished);
        QCOMPARE(server.requests.last().path, QByteArray("/a.pdf"));
        QCOMPARE(server.requests.last().headerValue("Cookie"), QByteArray("sid=logged-in"));

        store->deleteCookie(added.first().first().value<QNetworkCookie>(), site);
        QTRY_VERIFY_WITH_TIMEOUT(SharedCookieJar().cookiesForUrl(site).isEmpty(), 15000);
    }
};

VELMORA_UI_TEST_MAIN(TestBrowserProfile)
#include "tst_browserprofile.moc"
