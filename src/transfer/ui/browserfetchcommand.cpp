#include "transfer/ui/browserfetchcommand.h"

#include "app/ui/browserprofile.h"
#include "transfer/ui/browserfetch.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkCookie>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>

#include <cstdio>

namespace {

// One report line; fields carry no tab or line break of their own.
void say(const QList<QByteArray> &fields)
{
    QByteArray line;
    for (QByteArray f : fields) {
        for (char &c : f)
            if (c == '\t' || c == '\n' || c == '\r')
                c = ' ';
        if (!line.isEmpty())
            line += '\t';
        line += f;
    }
    line += '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int RunBrowserFetchCommand(const QStringList &args)
{
    if (args.size() != 3 || !QFileInfo(args.at(2)).isDir()) {
        std::fputs("usage: velmora browser-fetch URL REFERER OUTDIR\n", stderr);
        return 2;
    }
    const QString url = args.at(0);
    const QString outDir = QFileInfo(args.at(2)).absoluteFilePath();

    QWebEngineProfile *profile = BrowserProfile();
    // Every cookie the engine holds or gets goes to the parent's jar.
    QObject::connect(profile->cookieStore(), &QWebEngineCookieStore::cookieAdded, [](const QNetworkCookie &c) {
        say({"cookie", c.toRawForm(QNetworkCookie::Full)});
    });
    profile->cookieStore()->loadAllCookies();

    BrowserFetch fetch(nullptr, profile);
    QEventLoop loop;
    int status = 1;
    QObject::connect(&fetch, &BrowserFetcher::progress, [](qint64 received, qint64 total) {
        say({"progress", QByteArray::number(received), QByteArray::number(total)});
    });
    QObject::connect(&fetch, &BrowserFetcher::finished,
                     [&](const QString &path, const QString &mime, const QString &suggested) {
        QString target = QDir(outDir).filePath(QStringLiteral("fetched"));
        QFile::remove(target);
        if (QFile::rename(path, target) || (QFile::copy(path, target) && QFile::remove(path))) {
            say({"finished", target.toUtf8(), mime.toUtf8(), suggested.toUtf8()});
            status = 0;
        } else {
            QFile::remove(path);
            say({"failed", QByteArray::number(int(BrowserFetcher::Failure::DownloadError))});
        }
        loop.quit();
    });
    QObject::connect(&fetch, &BrowserFetcher::failed, [&](BrowserFetcher::Failure failure) {
        say({"failed", QByteArray::number(int(failure))});
        loop.quit();
    });
    if (!fetch.fetch(url, args.at(1))) {
        say({"failed", QByteArray::number(int(BrowserFetcher::Failure::LoadError))});
        return 1;
    }
    loop.exec();
    return status;
}
