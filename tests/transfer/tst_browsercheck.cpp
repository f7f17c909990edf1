#include "app/clock.h"
#include "support/challengepage.h"
#include "support/testfiles.h"
#include "support/testhome.h"
#include "transfer/browsercheck.h"

#include <QSignalSpy>

namespace {

QByteArray padded(QByteArray page, qint64 size)
{
    // Filler inside the body, so the page stays a well-formed challenge.
    const qsizetype at = page.indexOf("</body>");
    page.insert(at, QByteArray(size - page.size(), ' '));
    return page;
}

const QByteArray kArticle = R"(<!DOCTYPE html>
<html><head><title>Gut microbiota in health - PMC</title></head>
<body><h1>Gut microbiota in health</h1><p>Abstract ...</p>
<script>
function acceptCookies() { document.cookie = "consent=yes; path=/"; location.reload(); }
</script></body></html>
)";

// Talks about the check but is none: one kind of mark only.
const QByteArray kArticleAboutChecks = R"(<html><head><title>How PMC serves PDFs</title></head>
<body><p>The page defines POW_CHALLENGE and POW_DIFFICULTY and the cookie cloudpmc-viewer-pow.</p></body></html>)";

// A check of another site: title and a cookie script that reloads, no constants.
const QByteArray kOtherCheck = R"(<html><head><title>Just a moment...</title></head>
<body><script>document.cookie = "verified=1; path=/"; location.replace(location.href);</script></body></html>)";

class FakeFetcher : public BrowserFetcher {
public:
    int starts = 0;
    int stops = 0;
    using BrowserFetcher::checkTimeLimit;
    using BrowserFetcher::reportFailed;
    using BrowserFetcher::reportFinished;
    using BrowserFetcher::reportProgress;

protected:
    void startFetch(const QString &, const QString &) override { ++starts; }
    void stopFetch() override { ++stops; }
};

} // namespace

class TestBrowserCheck : public QObject {
    Q_OBJECT
private slots:
    void rule_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<qint64>("totalSize");
        QTest::addColumn<QString>("contentType");
        QTest::addColumn<bool>("isCheck");

        const QByteArray check = ChallengePage("c0ffee", 8);
        QTest::newRow("challenge, HTML by header") << check << qint64(check.size()) << "text/html; charset=utf-8" << true;
        QTest::newRow("challenge, HTML by bytes") << check << qint64(-1) << "" << true;
        QTest::newRow("challenge sent as octet-stream") << check << qint64(check.size()) << "application/octet-stream" << true;
        QTest::newRow("challenge as XHTML") << check << qint64(-1) << "application/xhtml+xml" << true;
        QTest::newRow("challenge with a BOM") << "\xEF\xBB\xBF" + check << qint64(-1) << "" << true;
        QTest::newRow("other site's check") << kOtherCheck << qint64(-1) << "text/html" << true;
        QTest::newRow("article with a consent script") << kArticle << qint64(-1) << "text/html" << false;
        QTest::newRow("article about checks") << kArticleAboutChecks << qint64(-1) << "text/html" << false;
        QTest::newRow("just under 64 KB") << padded(check, 65535) << qint64(-1) << "text/html" << true;
        QTest::newRow("64 KB is content") << padded(check, 65536) << qint64(-1) << "text/html" << false;
        QTest::newRow("large by its length") << check << qint64(500000) << "text/html" << false;
        QTest::newRow("PDF labelled HTML") << "%PDF-1.7\n" + check << qint64(-1) << "text/html" << false;
        QTest::newRow("plain text with the marks") << "note: " + check << qint64(-1) << "text/plain" << false;
        QTest::newRow("empty") << QByteArray() << qint64(0) << "text/html" << false;
    }

    void rule()
    {
        QFETCH(QByteArray, body);
        QFETCH(qint64, totalSize);
        QFETCH(QString, contentType);
        QFETCH(bool, isCheck);
        QCOMPARE(IsBrowserCheck(body, totalSize, contentType), isCheck);
    }

    // The file variant reads the whole of a small file and nothing of a large one.
    void ruleOnFiles()
    {
        TempHome home;
        const QString dir = home.folder("save");
        const QByteArray check = ChallengePage("c0ffee", 8);
        writeFile(dir + "/check.htm", check);
        writeFile(dir + "/large.htm", padded(check, 200000));
        writeFile(dir + "/article.htm", kArticle);
        writeFile(dir + "/paper.pdf", "%PDF-1.4\n" + check);
        writeFile(dir + "/check", check);

        QVERIFY(IsBrowserCheckFile(dir + "/check.htm"));
        QVERIFY(IsBrowserCheckFile(dir + "/check.")); // a type-less path as the naming code builds it
        QVERIFY(!IsBrowserCheckFile(dir + "/large.htm"));
        QVERIFY(!IsBrowserCheckFile(dir + "/article.htm"));
        QVERIFY(!IsBrowserCheckFile(dir + "/paper.pdf", "text/html"));
        QVERIFY(!IsBrowserCheckFile(dir + "/missing.htm"));
        QVERIFY(!IsBrowserCheckFile(dir));
    }

    void oneFetchAtATime()
    {
        FakeFetcher f;
        QVERIFY(!f.fetch("ftp://example.org/a.pdf"));
        QVERIFY(!f.fetch("not a url"));
        QVERIFY(!f.isBusy());
        QVERIFY(f.fetch(" https://example.org/a.pdf "));
        QVERIFY(!f.fetch("https://example.org/b.pdf"));
        QCOMPARE(f.starts, 1);

        QSignalSpy finished(&f, &BrowserFetcher::finished);
        QSignalSpy failed(&f, &BrowserFetcher::failed);
        f.reportFinished("/tmp/x.part", "application/pdf", "a.pdf");
        f.reportFailed(BrowserFetcher::Failure::OnlyPages); // too late: the fetch has ended
        QCOMPARE(finished.count(), 1);
        QCOMPARE(failed.count(), 0);
        QVERIFY(f.fetch("https://example.org/b.pdf"));
        QCOMPARE(f.starts, 2);
    }

    // 60 s without a file fails the fetch; a growing download keeps it alive;
    // a failure stops the engine's work.
    void timeLimit()
    {
        ManualClock clock;
        Clock::setInstance(&clock);
        FakeFetcher f;
        QSignalSpy failed(&f, &BrowserFetcher::failed);
        QSignalSpy progress(&f, &BrowserFetcher::progress);
        QVERIFY(f.fetch("https://example.org/a.pdf"));

        clock.advance(59.5);
        f.checkTimeLimit();
        QCOMPARE(failed.count(), 0);
        f.reportProgress(1000, 5000);
        clock.advance(59.5);
        f.checkTimeLimit();
        f.reportProgress(1000, 5000); // no growth: no sign of life
        clock.advance(0.5);
        f.checkTimeLimit();
        QCOMPARE(progress.count(), 2);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.first().first().value<BrowserFetcher::Failure>(), BrowserFetcher::Failure::TimedOut);
        QCOMPARE(f.stops, 1);
        QVERIFY(!f.isBusy());
        Clock::setInstance(nullptr);
    }

    void cancelIsQuiet()
    {
        ManualClock clock;
        Clock::setInstance(&clock);
        FakeFetcher f;
        QSignalSpy finished(&f, &BrowserFetcher::finished);
        QSignalSpy failed(&f, &BrowserFetcher::failed);
        QSignalSpy progress(&f, &BrowserFetcher::progress);
        QVERIFY(f.fetch("https://example.org/a.pdf"));
        f.cancel();
        QCOMPARE(f.stops, 1);
        clock.advance(120);
        f.checkTimeLimit();
        f.reportProgress(10, 10);
        f.reportFinished("/tmp/x.part", "application/pdf", "");
        QCOMPARE(finished.count() + failed.count() + progress.count(), 0);
        f.cancel();
        QCOMPARE(f.stops, 1);
        Clock::setInstance(nullptr);
    }

    void factory()
    {
        SetBrowserFetcherFactory(nullptr);
        QCOMPARE(CreateBrowserFetcher(this), nullptr);
        SetBrowserFetcherFactory([](QObject *parent) -> BrowserFetcher * {
            auto *f = new FakeFetcher;
            f->setParent(parent);
            return f;
        });
        BrowserFetcher *f = CreateBrowserFetcher(this);
        QVERIFY(f);
        QCOMPARE(f->parent(), this);
        SetBrowserFetcherFactory(nullptr);
    }
};

VELMORA_TEST_MAIN(TestBrowserCheck)
#include "tst_browsercheck.moc"
