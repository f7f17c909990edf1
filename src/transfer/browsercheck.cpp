#include "transfer/browsercheck.h"

#include "app/clock.h"
#include "app/filenames.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <array>
#include <vector>

namespace {

// What a challenge page shows. A page is a check when it shows at least two
// different kinds; a cookie script counts only when it also loads the page
// again.
enum class MarkKind { Title, ProofOfWork, CookieWrite, Reload };

struct Mark {
    MarkKind kind;
    const char *pattern;
};

const Mark kMarks[] = {
    {MarkKind::Title, R"(<title[^>]*>\s*Preparing to download)"},
    {MarkKind::Title, R"(<title[^>]*>\s*Just a moment)"},
    {MarkKind::Title, R"(<title[^>]*>\s*Checking your browser)"},
    {MarkKind::ProofOfWork, R"(\bPOW_CHALLENGE\b)"},
    {MarkKind::ProofOfWork, R"(\bPOW_DIFFICULTY\b)"},
    {MarkKind::ProofOfWork, R"(\bPOW_COOKIE_NAME\b)"},
    {MarkKind::ProofOfWork, R"(cloudpmc-viewer-pow)"},
    {MarkKind::CookieWrite, R"(document\.cookie\s*=(?!=))"},
    {MarkKind::Reload, R"(location\.(reload|replace|assign)\s*\()"},
    {MarkKind::Reload, R"(\blocation(\.href)?\s*=(?!=))"},
};

struct CompiledMark {
    MarkKind kind;
    QRegularExpression re;
};

const std::vector<CompiledMark> &compiledMarks()
{
    static const std::vector<CompiledMark> marks = [] {
        std::vector<CompiledMark> out;
        for (const Mark &m : kMarks)
            out.push_back({m.kind, QRegularExpression(QString::fromLatin1(m.pattern),
                                                      QRegularExpression::CaseInsensitiveOption)});
        return out;
    }();
    return marks;
}

bool headerSaysHtml(const QString &contentType)
{
    const QString mime = contentType.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
    return mime == QLatin1String("text/html") || mime == QLatin1String("application/xhtml+xml");
}

// Markup begins with "<" (after a byte-order mark and blanks); a PDF or any
// other file that shows its own type does not, whatever its header says.
bool startsWithMarkup(const QByteArray &bytes)
{
    qsizetype i = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < bytes.size() && (bytes.at(i) == ' ' || bytes.at(i) == '\t' || bytes.at(i) == '\r' || bytes.at(i) == '\n'))
        ++i;
    return i < bytes.size() && bytes.at(i) == '<';
}

bool bytesSayHtml(const QString &text)
{
    for (const char *tag : {"<!doctype html", "<html", "<head", "<title", "<body", "<script"})
        if (text.contains(QLatin1String(tag), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

bool IsBrowserCheck(const QByteArray &headBytes, qint64 totalSize, const QString &contentType)
{
    const qint64 size = totalSize >= 0 ? totalSize : headBytes.size();
    if (size <= 0 || size >= BrowserCheckSizeLimit || !startsWithMarkup(headBytes))
        return false;
    // The marks are ASCII; Latin-1 keeps every byte without failing on any.
    const QString text = QString::fromLatin1(headBytes.left(BrowserCheckSizeLimit));
    if (!headerSaysHtml(contentType) && !bytesSayHtml(text))
        return false;

    std::array<bool, 4> seen{};
    for (const CompiledMark &m : compiledMarks())
        if (!seen[size_t(m.kind)] && m.re.match(text).hasMatch())
            seen[size_t(m.kind)] = true;
    const int kinds = int(seen[size_t(MarkKind::Title)]) + int(seen[size_t(MarkKind::ProofOfWork)])
        + int(seen[size_t(MarkKind::CookieWrite)] && seen[size_t(MarkKind::Reload)]);
    return kinds >= 2;
}

bool IsBrowserCheckFile(const QString &path, const QString &contentType)
{
    const QString fsPath = FileSystemPath(path);
    const QFileInfo info(fsPath);
    if (!info.isFile() || info.size() >= BrowserCheckSizeLimit)
        return false;
    QFile file(fsPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.read(BrowserCheckSizeLimit);
    return IsBrowserCheck(bytes, info.size(), contentType);
}

// ---------------------------------------------------------------------------

BrowserFetcher::BrowserFetcher(QObject *parent) : QObject(parent)
{
    m_watch.setInterval(1000);
    connect(&m_watch, &QTimer::timeout, this, &BrowserFetcher::checkTimeLimit);
}

BrowserFetcher::~BrowserFetcher() = default;

bool BrowserFetcher::fetch(const QString &url, const QString &referer)
{
    if (m_busy)
        return false;
    const QUrl parsed(url.trimmed());
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || parsed.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return false;
    m_busy = true;
    m_lastActivity = Now();
    m_lastReceived = -1;
    m_watch.start();
    startFetch(url.trimmed(), referer);
    return true;
}

void BrowserFetcher::cancel()
{
    if (!m_busy)
        return;
    end();
    stopFetch();
}

QString BrowserFetcher::failureText(Failure failure)
{
    switch (failure) {
    case Failure::TimedOut: return QStringLiteral("no file within %1 s").arg(TimeLimitSeconds);
    case Failure::OnlyPages: return QStringLiteral("only pages arrived");
    case Failure::LoadError: return QStringLiteral("the page could not be loaded");
    case Failure::DownloadError: return QStringLiteral("the file could not be received");
    }
    return QString();
}

void BrowserFetcher::reportProgress(qint64 received, qint64 total)
{
    if (!m_busy)
        return;
    if (received > m_lastReceived) {
        m_lastReceived = received;
        m_lastActivity = Now();
    }
    emit progress(received, total);
}

void BrowserFetcher::reportFinished(const QString &tempFilePath, const QString &mimeType, const QString &suggestedName)
{
    if (!m_busy)
        return;
    end();
    emit finished(tempFilePath, mimeType, suggestedName);
}

void BrowserFetcher::reportFailed(Failure failure)
{
    if (!m_busy)
        return;
    end();
    stopFetch(); // a check that keeps reloading must not go on in the background
    emit failed(failure);
}

void BrowserFetcher::reportActivity()
{
    if (m_busy)
        m_lastActivity = Now();
}

void BrowserFetcher::checkTimeLimit()
{
    if (m_busy && Now() - m_lastActivity >= TimeLimitSeconds)
        reportFailed(Failure::TimedOut);
}

void BrowserFetcher::end()
{
    m_busy = false;
    m_watch.stop();
}

// ---------------------------------------------------------------------------

namespace {
BrowserFetcherFactory &factoryRef()
{
    static BrowserFetcherFactory factory;
    return factory;
}
} // namespace

void SetBrowserFetcherFactory(BrowserFetcherFactory factory) { factoryRef() = std::move(factory); }

BrowserFetcher *CreateBrowserFetcher(QObject *parent)
{
    const BrowserFetcherFactory &factory = factoryRef();
    return factory ? factory(parent) : nullptr;
}
