#include "transfer/processfetch.h"

#include "transfer/network.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

ProcessBrowserFetcher::ProcessBrowserFetcher(QObject *parent, const QString &program)
    : BrowserFetcher(parent), m_program(program.isEmpty() ? QCoreApplication::applicationFilePath() : program)
{
}

ProcessBrowserFetcher::~ProcessBrowserFetcher()
{
    cancel();
    stopFetch();
}

void ProcessBrowserFetcher::startFetch(const QString &url, const QString &referer)
{
    stopFetch();
    m_url = url;
    m_outDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/velmora-get-fetch-XXXXXX"));
    if (!m_outDir->isValid()) {
        reportFailed(Failure::DownloadError);
        return;
    }
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setStandardErrorFile(QProcess::nullDevice());
    connect(m_process, &QProcess::readyReadStandardOutput, this, &ProcessBrowserFetcher::onOutput);
    connect(m_process, &QProcess::finished, this, &ProcessBrowserFetcher::onChildEnded);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            reportFailed(Failure::LoadError);
    });
    m_process->start(m_program, {QStringLiteral("browser-fetch"), url, referer, m_outDir->path()});
}

void ProcessBrowserFetcher::stopFetch()
{
    if (m_process) {
        QProcess *p = m_process;
        m_process = nullptr;
        p->disconnect(this);
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
        p->deleteLater();
    }
    m_pending.clear();
    m_outDir.reset(); // with whatever the child had written
}

void ProcessBrowserFetcher::onOutput()
{
    if (!m_process)
        return;
    m_pending += m_process->readAllStandardOutput();
    qsizetype nl;
    while ((nl = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(nl);
        m_pending.remove(0, nl + 1);
        takeLine(line);
        if (!isBusy())
            return;
    }
}

void ProcessBrowserFetcher::takeLine(const QByteArray &raw)
{
    const QList<QByteArray> f = raw.trimmed().split('\t');
    const QByteArray what = f.value(0);
    if (what == "progress") {
        reportProgress(f.value(1).toLongLong(), f.value(2).toLongLong());
    } else if (what == "cookie") {
        const QUrl site(m_url);
        for (QNetworkCookie c : QNetworkCookie::parseCookies(f.value(1))) {
            if (c.domain().isEmpty())
                c.setDomain(site.host());
            if (c.path().isEmpty())
                c.setPath(QStringLiteral("/"));
            SharedCookieJar().insertCookie(c);
        }
        reportActivity();
    } else if (what == "finished") {
        // Only a file inside our own folder is taken.
        const QString path = QString::fromUtf8(f.value(1));
        const QFileInfo info(path);
        if (!m_outDir || !info.isFile() || info.absolutePath() != QFileInfo(m_outDir->path()).absoluteFilePath()) {
            reportFailed(Failure::DownloadError);
            return;
        }
        // Moved out of the folder that goes with this fetcher.
        const QString kept = QDir(QFileInfo(m_outDir->path()).absolutePath())
                                 .filePath(QStringLiteral("velmora-fetched-%1").arg(QCoreApplication::applicationPid()));
        QString target = kept;
        for (int n = 1; QFileInfo::exists(target); ++n)
            target = kept + QLatin1Char('-') + QString::number(n);
        if (!QFile::rename(path, target)) {
            reportFailed(Failure::DownloadError);
            return;
        }
        reportFinished(target, QString::fromUtf8(f.value(2)), QString::fromUtf8(f.value(3)));
    } else if (what == "failed") {
        bool ok = false;
        const int n = f.value(1).toInt(&ok);
        reportFailed(ok && n >= 0 && n <= int(Failure::DownloadError) ? Failure(n) : Failure::LoadError);
    }
}

void ProcessBrowserFetcher::onChildEnded()
{
    onOutput();
    if (isBusy())
        reportFailed(Failure::LoadError); // the child ended without a result
}

void UseChildProcessForChecks()
{
    SetBrowserFetcherFactory([](QObject *parent) -> BrowserFetcher * { return new ProcessBrowserFetcher(parent); });
}
