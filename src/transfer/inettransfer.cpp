#include "transfer/inettransfer.h"

#include "app/clock.h"
#include "app/filenames.h"
#include "app/settings.h"
#include "app/utilities.h"
#include "transfer/browsercheckdetour.h"
#include "transfer/filetype.h"
#include "transfer/headers.h"
#include "transfer/network.h"

#include <QFileInfo>
#include <QNetworkCookieJar>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 ChunkSize = 2048;
// What the reply may hold before the network layer stops reading from the
// socket: the memory of a transfer stays this size whatever the file's.
constexpr qint64 ReadBufferSize = 512 * 1024;
constexpr double HeaderWaitSeconds = 30;
constexpr double StallSeconds = 120;

const QString DownloadingPrefix = QStringLiteral("正在下载:");
const QString FinishedPrefix = QStringLiteral("完成下载:");

// A number as the settings and headers write them: surrounding spaces
// allowed, nothing else.
bool numericValue(const QString &text, double *value = nullptr)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (value)
        *value = v;
    return true;
}

int integerPart(const QString &text)
{
    double v = 0;
    if (!numericValue(text, &v))
        return 0;
    return int(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

bool isWebType(const QString &type)
{
    const QString t = type.toLower();
    return t == QLatin1String("htm") || t == QLatin1String("html") || t == QLatin1String("xml");
}

// The status line as the headers show it first, rebuilt from what Qt parsed.
QString statusLine(QNetworkReply *reply)
{
    const int code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString reason = QString::fromLatin1(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
    return QStringLiteral("HTTP/1.1 ") + QString::number(code) + QLatin1Char(' ') + reason;
}

QByteArray refererValue(const QString &referer)
{
    // Encoded, so that a line break in a row's text cannot start a header.
    const QUrl url(referer);
    if (url.isValid())
        return url.toEncoded();
    QByteArray raw = referer.toUtf8();
    raw.replace('\r', "").replace('\n', "");
    return raw;
}

} // namespace

InetConnectionSetup InetConnectionFor(const QString &url, int proxyEnabled, const QString &proxyAddress,
                                      const QString &proxyPort)
{
    InetConnectionSetup s;
    if (proxyEnabled == 1) {
        s.accessType = 2;
        s.remotePort = integerPart(proxyPort);
        s.proxy = proxyAddress + QLatin1Char(':') + proxyPort;
        s.proxyPort = quint16(std::clamp(s.remotePort, 0, 65535));
    } else {
        s.accessType = 0;
        s.remotePort = 80;
        // The first "/" from the 9th character on; a port is looked for only
        // when it stands at the 10th or later.
        const qsizetype slash = url.size() > 8 ? url.indexOf(QLatin1Char('/'), 8) : -1;
        if (slash >= 9) {
            const QStringList parts = url.mid(8, slash - 8).split(QLatin1Char(':'));
            if (parts.size() == 2 && numericValue(parts.at(1)))
                s.remotePort = integerPart(parts.at(1));
        }
    }
    if (url.left(8).toLower() == QLatin1String("https://")) {
        s.protocol = 5;
        s.remotePort = 443;
    } else {
        s.protocol = 4;
    }
    return s;
}

QString SiteRoot(const QString &url)
{
    const qsizetype scheme = url.indexOf(QLatin1String("://"));
    if (scheme >= 0) {
        const qsizetype slash = url.indexOf(QLatin1Char('/'), scheme + 3);
        return slash < 0 ? url : url.left(slash);
    }
    const qsizetype slash = url.indexOf(QLatin1Char('/'));
    return slash >= 3 ? url.left(slash) : url;
}

QString InetStateText(int state, int responseCode, const QString &responseInfo)
{
    const QString codeInfo = QString::number(responseCode) + QLatin1Char(':') + responseInfo;
    switch (state) {
    case 0: return QStringLiteral("0 无状态可报告。");
    case 1: return QStringLiteral("1 正在查询所指定的主机的 IP 地址...");
    case 2: return QStringLiteral("2 已成功地找到所指定的主机的 IP 地址。");
    case 3: return QStringLiteral("3 正在与主机连接...");
    case 4: return QStringLiteral("4 已与主机连接成功。");
    case 5: return QStringLiteral("5 正在向主机发送请求...");
    case 6: return QStringLiteral("6 发送请求已成功。");
    case 7: return QStringLiteral("7 正在接收主机的响应...");
    case 8: return QStringLiteral("8 已成功地接收到主机的响应。");
    case 9: return QStringLiteral("9 正在解除与主机的连接...");
    case 10: return QStringLiteral("10 已成功地与主机解除了连接。");
    case 11: return QStringLiteral("11 与主机通讯时出现了错误:") + codeInfo;
    case 12: return QStringLiteral("12 该请求已经完成，并且所有数据均已接收到。");
    default: return codeInfo;
    }
}

InetTransfer::InetTransfer(DownloadSession &session, QObject *parent)
    : QObject(parent), m_session(session), m_list(session.list())
{
    // The transfers share one cookie jar (and with it the browser's logins);
    // it stays owned by the program's manager.
    QNetworkCookieJar &jar = SharedCookieJar();
    m_network.setCookieJar(&jar);
    jar.setParent(&TransferNetwork());
    m_watch.setInterval(1000);
    connect(&m_watch, &QTimer::timeout, this, &InetTransfer::check);
}

InetTransfer::~InetTransfer()
{
    if (m_phase == Phase::Detour)
        BrowserCheckDetour::instance().cancel(this);
    // Closing the window mid-transfer: the piece on disk is incomplete.
    dropReply();
    if (m_file.isOpen()) {
        m_file.close();
        m_file.remove();
    }
    discardFetchFile();
}

void InetTransfer::Inet下载当前文件(const ItemRef &row)
{
    if (!row)
        return;
    if (StillExecuting() || m_session.DownloadBusy) {
        m_list.setState(row, Waiting);
        m_list.set(row, DownloadList::Size, StatusWord::WaitingAgain);
        return;
    }
    m_session.DownloadBusy = true;
    m_clearBusyAtEnd = true;
    Inet下载文件(row);
}

void InetTransfer::Inet下载文件(const ItemRef &row)
{
    if (!row)
        return;
    if (StillExecuting()) {
        m_list.setState(row, Waiting);
        m_list.set(row, DownloadList::Size, StatusWord::WaitingAgain);
        return;
    }
    m_row = row;
    m_url = 选择url(row->key);
    m_name = row->name;
    m_folder = row->folder;
    m_type = row->type;
    m_rowType = row->type;
    m_nameBefore = SanitizeFileName(row->name);
    m_referer = row->referer.isEmpty() ? SiteRoot(m_url) : row->referer;
    m_contentType.clear();
    m_endState = row->state;
    m_cancelled = false;
    m_headerBlock.clear();
    m_expected = 0;
    m_written = 0;
    m_published = -1;
    m_responseCode = 0;
    m_responseInfo.clear();
    m_lastGrowth = Now();

    // 1. Connection set-up.
    const ProgramValues &program = Program();
    m_setup = InetConnectionFor(m_url, program.ProxyEnabled, program.ProxyAddress, program.ProxyPort);
    // Access type 0 is the system's own setting (as mode 2 has it), not a
    // direct connection.
    m_network.setProxy(m_setup.accessType == 2
                           ? QNetworkProxy(QNetworkProxy::HttpProxy, program.ProxyAddress, m_setup.proxyPort)
                           : QNetworkProxy(QNetworkProxy::DefaultProxy));

    // 2.
    m_session.DownloadBusy = true;
    m_session.setStatusText(2, DownloadingPrefix + m_name);

    // 3.-4. The one request header besides the client's own.
    QNetworkRequest request = TransferRequest(QUrl(m_url));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // This manager has no cache; asking to bypass one would only add
    // Cache-Control and Pragma to a request that carries one header of ours.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork);
    request.setRawHeader("Referer", refererValue(row->referer.isEmpty() ? SiteRoot(m_url) : row->referer));
    m_phase = Phase::WaitHeaders;
    m_executeTime = Now();
    m_reply = m_network.get(request);
    watchReply(m_reply);
    m_watch.start();
}

void InetTransfer::watchReply(QNetworkReply *reply)
{
    reply->setReadBufferSize(ReadBufferSize);
    connect(reply, &QNetworkReply::socketStartedConnecting, this, [this] { setState(3); });
    connect(reply, &QNetworkReply::encrypted, this, [this] { setState(4); });
    connect(reply, &QNetworkReply::requestSent, this, [this] { setState(6); });
    connect(reply, &QNetworkReply::metaDataChanged, this, &InetTransfer::onMetaData);
    connect(reply, &QNetworkReply::readyRead, this, &InetTransfer::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &InetTransfer::onReplyFinished);
}

void InetTransfer::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    // A reply with an error status gets its error reported by the network
    // layer in any case; aborting it as well would report a second one. Its
    // deletion cancels the request just the same.
    const bool errorStatus = IsErrorStatus(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
    if (!reply->isFinished() && !errorStatus && reply->error() == QNetworkReply::NoError)
        reply->abort();
    reply->deleteLater();
}

void InetTransfer::Cancel()
{
    dropReply();
    if (m_phase == Phase::Idle)
        return;
    // The running transfer notices the cancel on the next turn and ends.
    m_cancelled = true;
    QTimer::singleShot(0, this, &InetTransfer::check);
}

void InetTransfer::setState(int state)
{
    m_state = state;
    m_session.setStatusText(3, InetStateText(state, m_responseCode, m_responseInfo));
    emit stateChanged(state);
}

void InetTransfer::noteError(QNetworkReply *reply)
{
    // An HTTP error shows its status and reason; a network error Qt's code
    // and text.
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (IsErrorStatus(status)) {
        m_responseCode = status;
        m_responseInfo = QString::fromLatin1(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
    } else if (reply->error() != QNetworkReply::NoError) {
        m_responseCode = int(reply->error());
        m_responseInfo = reply->errorString();
    } else {
        return;
    }
    setState(11);
}

void InetTransfer::onMetaData()
{
    if (m_phase == Phase::WaitHeaders && m_reply
        && m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        headersArrived();
}

void InetTransfer::readErrorBody()
{
    if (!m_reply)
        return;
    // Only a small page can be a check; a larger one is read no further.
    m_errorBody += m_reply->read(BrowserCheckSizeLimit + 1 - m_errorBody.size());
    m_lastGrowth = Now();
    const bool tooLarge = m_errorBody.size() > BrowserCheckSizeLimit;
    if (!tooLarge && !m_reply->isFinished())
        return;
    const bool check = !tooLarge && IsBrowserCheck(m_errorBody, m_errorBody.size(), m_contentType);
    m_errorBody.clear();
    if (check)
        startDetour();
    else
        endBody(Outcome::Failed);
}

void InetTransfer::onReadyRead()
{
    if (m_phase == Phase::ErrorBody)
        readErrorBody();
    else if (m_phase == Phase::Streaming)
        drain();
    else if (m_phase == Phase::Fetching)
        onFetchReadyRead();
}

void InetTransfer::onReplyFinished()
{
    if (!m_reply)
        return;
    // A reply with headers reports its own status when they are read.
    const bool hasStatus = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (!(m_phase == Phase::WaitHeaders && hasStatus))
        noteError(m_reply);
    switch (m_phase) {
    case Phase::ErrorBody:
        readErrorBody();
        break;
    case Phase::Detour:
        break;
    case Phase::WaitHeaders:
        // A reply can end before its headers were announced (and a failed
        // connection never has any).
        if (hasStatus)
            headersArrived();
        else
            endBody(Outcome::FailedNoWord);
        break;
    case Phase::Streaming:
        drain();
        break;
    case Phase::Fetching:
        onFetchFinished();
        break;
    case Phase::Idle:
        break;
    }
}

void InetTransfer::headersArrived()
{
    // 6. The header block, status line first.
    QString block = statusLine(m_reply);
    const auto pairs = m_reply->rawHeaderPairs();
    for (const auto &pair : pairs)
        block += QStringLiteral("\r\n") + QString::fromLatin1(pair.first) + QStringLiteral(": ")
                 + QString::fromLatin1(pair.second);
    m_headerBlock = block;

    // An error page is not the file: the row fails before anything on disk
    // is touched, so an old file of that name stays.
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    m_contentType = QString::fromLatin1(m_reply->rawHeader("Content-Type"));
    if (status == 403) {
        // Some sites send their browser check with 403: its body decides.
        noteError(m_reply);
        m_errorBody.clear();
        m_phase = Phase::ErrorBody;
        readErrorBody();
        return;
    }
    if (IsErrorStatus(status)) {
        noteError(m_reply);
        endBody(Outcome::Failed);
        return;
    }

    // 7.-8.
    double length = 0;
    if (!numericValue(QString::fromLatin1(m_reply->rawHeader("Content-Length")), &length))
        length = 0;
    m_expected = length;
    if (m_expected > 0
        && IsOverSizeLimit(qint64(std::min(m_expected, 9.0e18)), Program().MaxFileSizeMB)) {
        endBody(Outcome::TooLarge);
        return;
    }

    // 9.
    const QString type = TypeFromResponseHeaders(m_headerBlock, m_type);
    setState(8);
    const QString first = m_headerBlock.section(QStringLiteral("\r\n"), 0, 0);
    const bool statusOk = first.contains(QLatin1String("200")) && first.contains(QLatin1String("ok"), Qt::CaseInsensitive);

    if (!prepareTarget(type))
        return;

    // 12. A redirect's own body is never the file, whatever length it gives.
    const bool redirect = status >= 300 && status < 400;
    if (!redirect && (m_expected > 0 || statusOk))
        startStreaming();
    else
        FetchWholeFile(m_row, m_path);
}

bool InetTransfer::prepareTarget(const QString &type)
{
    // 10. A folder that cannot be made fails the row; the file is never put
    // anywhere else.
    m_name = SanitizeFileName(m_name);
    m_list.set(m_row, DownloadList::Name, m_name);
    QString folder = CreateFolderPath(m_folder);
    if (folder.isEmpty()) {
        endBody(Outcome::Failed);
        return false;
    }
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_folder = folder;
    m_list.set(m_row, DownloadList::Folder, m_folder);
    m_type = type;
    m_list.set(m_row, DownloadList::Type, m_type);

    // 11. The old file goes first; a path that cannot be freed fails the row.
    if (m_session.sameName == DuplicateNamePolicy::Rename) {
        QString newName;
        m_path = 重命名保存路径(m_folder, m_name, m_type, m_session.sameName, newName);
        m_name = newName;
        m_list.set(m_row, DownloadList::Name, m_name);
    } else {
        const QString suffix = m_type.isEmpty() ? QString() : QLatin1Char('.') + m_type.toLower();
        const QString fitted = FitFileName(m_name, suffix);
        if (fitted != m_name) {
            m_name = fitted;
            m_list.set(m_row, DownloadList::Name, m_name);
        }
        m_path = m_folder + m_name + suffix;
    }
    const QString onDisk = FileSystemPath(m_path);
    QFileInfo existing(onDisk);
    if (existing.exists() || existing.isSymLink()) {
        QFile::remove(onDisk);
        existing.refresh();
        if (existing.exists() || existing.isSymLink()) {
            const QString length = QString::number(existing.size());
            m_list.setProgress(m_row, length, length, StatusWord::CannotReplace);
            m_endState = Failed;
            m_list.setState(m_row, Failed);
            finish();
            return false;
        }
    }

    return true;
}

void InetTransfer::startStreaming()
{
    // 12a.
    m_list.set(m_row, DownloadList::Size,
               m_expected > 0 ? QString::number(qint64(m_expected)) : StatusWord::Unknown);
    m_list.set(m_row, DownloadList::Received, QStringLiteral("0"));
    // The body grows under a temporary name beside the target and takes the
    // final name only when it is whole: a stopped, failed or killed transfer
    // never leaves a partial file that a later run would take for the file.
    if (!OpenPartFile(m_file, m_path)) {
        endBody(Outcome::Failed);
        return;
    }
    m_written = 0;
    m_published = 0;
    m_phase = Phase::Streaming;
    setState(7);
    drain();
}

void InetTransfer::drain()
{
    // 12b-12d, for every piece the reply holds.
    char buffer[ChunkSize];
    const double maxMB = Program().MaxFileSizeMB;
    while (m_phase == Phase::Streaming && m_reply && m_reply->bytesAvailable() > 0) {
        const qint64 n = m_reply->read(buffer, ChunkSize);
        if (n <= 0)
            break;
        if (m_file.write(buffer, n) != n) {
            endBody(Outcome::Failed); // a full disk: what is there is not the file
            return;
        }
        m_written += n;
        m_lastGrowth = Now();
        if (m_expected > 0 && double(m_written) >= m_expected) {
            endBody(Outcome::Complete);
            return;
        }
        if (m_expected <= 0 && IsOverSizeLimit(m_written, maxMB)) {
            endBody(Outcome::TooLarge);
            return;
        }
        if (stopRequested()) {
            endBody(Outcome::Cancelled);
            return;
        }
    }
    if (m_phase != Phase::Streaming)
        return;
    // Between two events nobody can look at the row, so it is written once
    // for all the pieces read in this turn.
    publishProgress();
    if (m_reply && m_reply->isFinished()) {
        // The server has ended the body. Short of its announced length,
        // nothing more can come: the row fails now instead of after the stall.
        noteError(m_reply);
        const bool failed = m_reply->error() != QNetworkReply::NoError
                            || (m_expected > 0 && double(m_written) < m_expected);
        endBody(failed ? Outcome::Failed : Outcome::Complete);
    }
}

void InetTransfer::publishProgress()
{
    if (!m_row || m_written <= m_published)
        return;
    m_published = m_written;
    const QString received = QString::number(m_written);
    const QString size = m_list.field(m_row, DownloadList::Size);
    QString percent = m_list.field(m_row, DownloadList::Percent);
    double total = 0;
    if (numericValue(size, &total) && total > 0)
        percent = QString::number(int(float(m_written) / float(total) * 100.0f)) + QLatin1Char('%');
    m_list.setProgress(m_row, size, received, percent);
}

void InetTransfer::endBody(Outcome outcome)
{
    if (m_phase == Phase::Streaming)
        publishProgress();
    dropReply();
    if (m_file.isOpen()) {
        // Bytes that never reach the disk make the file incomplete. Only a
        // complete body is put in place; what came of a body that was cut
        // off, stopped or too large is not the file and is dropped.
        bool keepFile = outcome == Outcome::Complete;
        if (!m_file.flush() && keepFile) {
            outcome = Outcome::Failed;
            keepFile = false;
        }
        m_file.close();
        // A browser check is not the file: it is dropped and the file is
        // fetched through the browser engine instead.
        if (keepFile && IsBrowserCheckFile(m_file.fileName(), m_contentType)) {
            m_file.remove();
            startDetour();
            return;
        }
        if (keepFile && ReplaceFile(m_file.fileName(), FileSystemPath(m_path))) {
            if (m_row)
                m_row->fileWritten = true;
        } else {
            if (keepFile)
                outcome = Outcome::Failed;
            m_file.remove();
        }
    }
    switch (outcome) {
    case Outcome::Complete: {
        // 12e.
        setState(12);
        m_endState = Finished;
        m_list.setState(m_row, Finished);
        const QString received = m_list.field(m_row, DownloadList::Received);
        if (numericValue(received) && m_list.field(m_row, DownloadList::Size) == StatusWord::Unknown)
            m_list.setProgress(m_row, received, received, StatusWord::Complete);
        afterCompleteBody();
        break;
    }
    case Outcome::TooLarge:
        m_endState = Finished;
        m_list.setState(m_row, Finished);
        m_list.set(m_row, DownloadList::Percent, StatusWord::LargeFileSkipped);
        break;
    case Outcome::Failed:
    case Outcome::Stalled:
        m_endState = Failed;
        m_list.setState(m_row, Failed);
        m_list.set(m_row, DownloadList::Size, StatusWord::DownloadFailed);
        break;
    case Outcome::Cancelled:
        m_endState = Failed;
        m_list.setState(m_row, Failed);
        m_list.set(m_row, DownloadList::Size, StatusWord::DownloadCancelled);
        break;
    case Outcome::FailedNoWord:
        m_endState = Failed;
        m_list.setState(m_row, Failed);
        break;
    }
    finish();
}

void InetTransfer::FetchWholeFile(const ItemRef &row, const QString &path)
{
    if (!row || row != m_row || m_phase == Phase::Idle || m_phase == Phase::Fetching)
        return;
    // 1.-2.
    m_list.set(m_row, DownloadList::Size, StatusWord::Unknown);
    dropReply();
    m_path = path;
    m_phase = Phase::Fetching;
    m_written = 0;
    m_fetchWriteFailed = false;
    m_lastGrowth = Now();
    // Written beside the target and put in place only when enough came.
    discardFetchFile();
    m_fetchFile = std::make_unique<QFile>();
    if (!OpenPartFile(*m_fetchFile, path))
        m_fetchWriteFailed = true;

    // 3. Redirects followed, no Referer.
    QNetworkRequest request = TransferRequest(QUrl(m_url));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    m_reply = m_network.get(request);
    watchReply(m_reply);
}

void InetTransfer::onFetchReadyRead()
{
    if (!m_reply)
        return;
    char buffer[ChunkSize];
    while (m_reply->bytesAvailable() > 0) {
        const qint64 n = m_reply->read(buffer, ChunkSize);
        if (n <= 0)
            break;
        if (!m_fetchWriteFailed && (!m_fetchFile || m_fetchFile->write(buffer, n) != n))
            m_fetchWriteFailed = true;
        m_written += n;
        m_lastGrowth = Now();
    }
    if (stopRequested()) {
        dropReply();
        m_cancelled = true;
        check();
    }
}

void InetTransfer::onFetchFinished()
{
    onFetchReadyRead();
    if (!m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool networkOk = m_reply->error() == QNetworkReply::NoError;
    dropReply();
    if (IsErrorStatus(status)) {
        // The redirect led to an error page.
        discardFetchFile();
        m_endState = Failed;
        m_list.setState(m_row, Failed);
        m_list.set(m_row, DownloadList::Size, StatusWord::DownloadFailed);
        finish();
        return;
    }
    endFetch(networkOk && !m_fetchWriteFailed && m_written >= 2);
}

void InetTransfer::endFetch(bool ok)
{
    dropReply();
    if (ok && m_fetchFile && m_fetchFile->flush() && IsBrowserCheckFile(m_fetchFile->fileName())) {
        discardFetchFile();
        startDetour();
        return;
    }
    if (ok && commitFetchFile()) {
        // 4.
        m_row->fileWritten = true;
        const QString length = QString::number(QFileInfo(FileSystemPath(m_path)).size());
        m_list.setProgress(m_row, length, QString::number(m_written), StatusWord::Complete);
        m_endState = Finished;
        m_list.setState(m_row, Finished);
        setState(12);
        afterCompleteBody();
    } else {
        // 5.
        discardFetchFile();
        m_list.setProgress(m_row, QString(), QString(), QString());
        m_endState = Failed;
        m_list.setState(m_row, Failed);
    }
    finish();
}

void InetTransfer::startDetour()
{
    dropReply();
    m_phase = Phase::Detour;
    m_list.setProgress(m_row, StatusWord::Unknown, QStringLiteral("0"), QString());
    const QPointer<InetTransfer> self(this);
    BrowserCheckDetour::instance().request(
        this, m_url, m_referer,
        [self](qint64 received, qint64 total) {
            if (!self || self->m_phase != Phase::Detour)
                return;
            const QString size = total > 0 ? QString::number(total) : StatusWord::Unknown;
            const QString percent = total > 0 && received <= total
                                        ? QString::number(int(float(received) / float(total) * 100.0f)) + QLatin1Char('%')
                                        : QString();
            self->m_list.setProgress(self->m_row, size, QString::number(received), percent);
        },
        [self](bool ok, const QString &path, const QString &mime, const QString &suggested) {
            if (self)
                self->detourDone(ok, path, mime, suggested);
            else if (ok)
                QFile::remove(path);
        });
}

void InetTransfer::detourDone(bool ok, const QString &path, const QString &mime, const QString &suggested)
{
    if (m_phase != Phase::Detour) {
        if (ok)
            QFile::remove(path);
        return;
    }
    if (!ok) {
        // The check page was not kept, so the row is no web page: it keeps
        // the type it came with and fails like any row that got no file.
        m_type = m_rowType;
        m_list.set(m_row, DownloadList::Type, m_type);
        m_list.set(m_row, DownloadList::Size, StatusWord::NeedsBrowserCheck);
        m_endState = Failed;
        m_list.setState(m_row, Failed);
        finish();
        return;
    }
    const qint64 length = QFileInfo(path).size();
    if (IsOverSizeLimit(length, Program().MaxFileSizeMB)) {
        QFile::remove(path);
        m_endState = Finished;
        m_list.setState(m_row, Finished);
        m_list.set(m_row, DownloadList::Percent, StatusWord::LargeFileSkipped);
        finish();
        return;
    }
    // Typed and named as the file's own response would have been.
    QString headers = QStringLiteral("Content-Type: ") + mime;
    if (!suggested.isEmpty())
        headers += QStringLiteral("\r\nContent-Disposition: attachment; filename=\"") + suggested + QLatin1Char('"');
    m_name = m_nameBefore;
    if (!prepareTarget(TypeFromResponseHeaders(mime, headers, m_rowType))) {
        QFile::remove(path);
        return;
    }
    if (length < 2 || !MoveFileInto(path, FileSystemPath(m_path))) {
        QFile::remove(path);
        m_endState = Failed;
        m_list.setState(m_row, Failed);
        m_list.set(m_row, DownloadList::Size, StatusWord::DownloadFailed);
        finish();
        return;
    }
    m_row->fileWritten = true;
    const QString bytes = QString::number(length);
    m_list.setProgress(m_row, bytes, bytes, StatusWord::Complete);
    m_endState = Finished;
    m_list.setState(m_row, Finished);
    setState(12);
    afterCompleteBody();
    finish();
}

void InetTransfer::discardFetchFile()
{
    if (!m_fetchFile)
        return;
    m_fetchFile->close();
    m_fetchFile->remove();
    m_fetchFile.reset();
}

bool InetTransfer::commitFetchFile()
{
    if (!m_fetchFile || !m_fetchFile->isOpen())
        return false;
    const bool flushed = m_fetchFile->flush();
    m_fetchFile->close();
    if (!flushed || m_fetchFile->error() != QFileDevice::NoError
        || !ReplaceFile(m_fetchFile->fileName(), FileSystemPath(m_path))) {
        m_fetchFile->remove();
        m_fetchFile.reset();
        return false;
    }
    m_fetchFile.reset();
    return true;
}

void InetTransfer::afterCompleteBody()
{
    ItemFile file{m_folder, m_name, m_type, m_row->key};
    if (CorrectFileType(file)) {
        m_name = file.name;
        m_type = file.type;
        m_list.set(m_row, DownloadList::Name, m_name);
        m_list.set(m_row, DownloadList::Type, m_type);
    }
    InsertBaseHref(file);
}

void InetTransfer::check()
{
    const double now = Now();
    switch (m_phase) {
    case Phase::Idle:
        return;
    case Phase::WaitHeaders:
        if (stopRequested())
            endBody(Outcome::Cancelled);
        else if (now - m_executeTime > HeaderWaitSeconds)
            endBody(Outcome::FailedNoWord); // no header text within the wait
        return;
    case Phase::Streaming:
        if (now - m_lastGrowth > StallSeconds)
            endBody(Outcome::Stalled);
        else if (stopRequested())
            endBody(Outcome::Cancelled);
        return;
    case Phase::ErrorBody:
        if (stopRequested())
            endBody(Outcome::Cancelled);
        else if (now - m_lastGrowth > StallSeconds)
            endBody(Outcome::Stalled);
        return;
    case Phase::Detour:
        // The browser engine's fetch is bounded by its own limit.
        if (stopRequested()) {
            BrowserCheckDetour::instance().cancel(this);
            m_endState = Failed;
            m_list.setState(m_row, Failed);
            m_list.set(m_row, DownloadList::Size, StatusWord::DownloadCancelled);
            finish();
        }
        return;
    case Phase::Fetching:
        if (stopRequested()) {
            dropReply();
            discardFetchFile();
            m_endState = Failed;
            m_list.setState(m_row, Failed);
            m_list.set(m_row, DownloadList::Size, StatusWord::DownloadCancelled);
            finish();
        } else if (now - m_lastGrowth > StallSeconds) {
            endFetch(false);
        }
        return;
    }
}

void InetTransfer::finish()
{
    // 14.
    dropReply();
    m_watch.stop();
    m_session.setStatusText(2, FinishedPrefix + m_name);
    m_session.LastFinishTime = Now();
    if (isWebType(m_type))
        m_session.notice(101);
    if (m_endState == Failed)
        m_session.notice(103);
    if (m_session.autoLogin && isWebType(m_type))
        m_session.hooks().loginNow(false);

    m_phase = Phase::Idle;
    m_row.reset();
    if (m_clearBusyAtEnd) {
        m_clearBusyAtEnd = false;
        m_session.DownloadBusy = false;
    }
    emit ended();
}
