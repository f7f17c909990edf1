#include "search/ui/harvestcommand.h"

#include "app/clock.h"
#include "app/commandline.h"
#include "search/harvestlist.h"
#include "search/pagingrun.h"
#include "search/resultparser.h"
#include "search/ui/browserpane.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineUrlRequestInterceptor>

#include <cstdio>

namespace {

// How long a page may take before it counts as not loaded, and how long the
// reader waits for a page's remaining requests once its document is parsed.
constexpr double LoadLimitSeconds = PagingRun::LoadLimitSeconds;
constexpr double AfterParsedSeconds = 5.0;

// A saved page keeps its scripts and style sheets on the site it came from.
// The reader needs only the saved document, so while it loads nothing is
// fetched from the network: hosts that cannot be reached never hold it up.
class SavedPageGuard : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame)
            return;
        const QString scheme = info.requestUrl().scheme().toLower();
        if (scheme != QLatin1String("file") && scheme != QLatin1String("data") && scheme != QLatin1String("blob"))
            info.block(true);
    }
};

QUrl pageUrl(const QString &page)
{
    static const QRegularExpression withScheme(QStringLiteral("^(https?|file):"), QRegularExpression::CaseInsensitiveOption);
    if (withScheme.match(page).hasMatch())
        return QUrl(page);
    return QUrl::fromLocalFile(QFileInfo(page).absoluteFilePath());
}

// Loads the address and waits for its top-level document: until it
// completes, or until it has been parsed for a few seconds while requests
// for its parts are still open. False for an error page, an HTTP error or a
// page that shows nothing within the load limit.
bool loadPage(BrowserPane &pane, const QUrl &url)
{
    if (url.isLocalFile()) {
        const QFileInfo file(url.toLocalFile());
        if (!file.isFile() || !file.isReadable())
            return false;
    } else if (!url.isValid() || url.host().isEmpty()) {
        return false;
    }

    SavedPageGuard guard;
    if (url.isLocalFile())
        pane.page()->setUrlRequestInterceptor(&guard);

    QEventLoop loop;
    bool completed = false;
    bool parsed = false;
    double parsedAt = 0;
    const double start = Now();
    const QMetaObject::Connection done = QObject::connect(&pane, &BrowserPane::DocumentComplete, &loop, [&] {
        completed = true;
        loop.quit();
    });
    QTimer poll;
    poll.setInterval(200);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (Now() - start > LoadLimitSeconds || (parsed && Now() - parsedAt >= AfterParsedSeconds)) {
            loop.quit();
            return;
        }
        if (parsed)
            return;
        const QPointer<QEventLoop> alive(&loop);
        pane.page()->runJavaScript(QStringLiteral("window.__velmoraShownBefore ? 'before' : document.readyState"),
                                   QWebEngineScript::ApplicationWorld, [&, alive](const QVariant &v) {
            if (!alive || parsed)
                return;
            const QString state = v.toString();
            if (state == QLatin1String("interactive") || state == QLatin1String("complete")) {
                parsed = true;
                parsedAt = Now();
            }
        });
    });
    // Marks the document shown now, so that an answer from it is not taken
    // for the new page's (each document has its own script globals).
    pane.page()->runJavaScript(QStringLiteral("window.__velmoraShownBefore = true"), QWebEngineScript::ApplicationWorld);
    poll.start();
    pane.Navigate(url);
    loop.exec();
    poll.stop();
    QObject::disconnect(done);
    pane.page()->setUrlRequestInterceptor(nullptr);

    if (completed)
        return !pane.lastLoadFailed();
    if (parsed) {
        pane.page()->triggerAction(QWebEnginePage::Stop);
        return true;
    }
    pane.page()->triggerAction(QWebEnginePage::Stop);
    return false;
}

// Reads the page once and imports it; false when the page did not answer.
bool importPage(BrowserPane &pane, HarvestList &list, bool pdfOnly)
{
    QEventLoop loop;
    bool answered = false;
    DocumentPtr document;
    const QPointer<QEventLoop> alive(&loop);
    pane.readDocument([&, alive](DocumentPtr doc) {
        if (!alive)
            return;
        document = doc;
        answered = true;
        loop.quit();
    });
    QTimer::singleShot(int(LoadLimitSeconds * 1000), &loop, &QEventLoop::quit);
    if (!answered)
        loop.exec();
    if (!document)
        return false;
    导入当且页面(document.get(), list, pdfOnly);
    return true;
}

void runPages(BrowserPane &pane, HarvestList &list, const HarvestOptions &options)
{
    PagingRun run(&pane, &list);
    run.setPdfOnly(!options.allTypes);
    run.setDelaySeconds(options.delaySeconds);
    QEventLoop loop;
    QObject::connect(&run, &PagingRun::finished, &loop, &QEventLoop::quit);
    run.start();
    if (run.isRunning())
        loop.exec();
}

} // namespace

QString HarvestUsage()
{
    return QStringLiteral("usage: velmora harvest [--all-types] [--pages] [--delay S] [--export FILE] PAGE...");
}

bool ParseHarvestArguments(const QStringList &args, HarvestOptions &options, QString &error)
{
    options = HarvestOptions();
    OptionReader reader(QStringLiteral("velmora harvest"), args, {"--help", "-h", "--all-types", "--pages"},
                        {"--delay", "--export"});
    while (reader.next()) {
        const QString &arg = reader.name();
        const QString &value = reader.value();
        if (reader.isOperand()) {
            options.pageArgs << arg;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--all-types")) {
            options.allTypes = true;
        } else if (arg == QLatin1String("--pages")) {
            options.pages = true;
        } else if (arg == QLatin1String("--delay")) {
            if (!DigitsNumber(value, 0, 120, options.delaySeconds)) {
                error = QStringLiteral("velmora harvest: --delay must be a whole number of seconds from 0 to 120, not '%1'").arg(value);
                return false;
            }
        } else {
            if (value.isEmpty()) {
                error = QStringLiteral("velmora harvest: --export needs a file name");
                return false;
            }
            options.exportFile = value;
        }
    }
    if (!reader.error().isEmpty()) {
        error = reader.error();
        return false;
    }
    if (!options.help && options.pageArgs.isEmpty()) {
        error = QStringLiteral("velmora harvest: no page given");
        return false;
    }
    return true;
}

QString HarvestOutputLine(const QString &title, const QString &url, const QString &type)
{
    QString clean = title;
    for (QChar &c : clean)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    return clean + QLatin1Char('\t') + url + QLatin1Char('\t') + type;
}

int runHarvestCommand(const QStringList &args)
{
    HarvestOptions options;
    QString error;
    if (!ParseHarvestArguments(args, options, error)) {
        PrintLine(stderr, error);
        PrintLine(stderr, HarvestUsage());
        return 2;
    }
    if (options.help) {
        PrintLine(stdout, HarvestUsage());
        return 0;
    }

    // The engine's start-up report is no business of the command's output.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));

    int status = 0;
    HarvestList list;
    BrowserPane pane;
    pane.setSilent(true); // no page dialog can wait for an answer here
    for (const QString &page : std::as_const(options.pageArgs)) {
        const bool loaded = loadPage(pane, pageUrl(page));
        bool read = loaded;
        if (loaded && options.pages)
            runPages(pane, list, options);
        else if (loaded)
            read = importPage(pane, list, !options.allTypes);
        if (!read) {
            PrintLine(stderr, QStringLiteral("velmora harvest: %1: could not be loaded").arg(page));
            status = 1;
        }
    }

    QByteArray out;
    for (int i = 0; i < list.count(); ++i) {
        const HarvestList::Row &row = list.at(i);
        out += HarvestOutputLine(row.title, row.url, row.type).toUtf8() + '\n';
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);

    if (!options.exportFile.isEmpty()) {
        QString why;
        if (!list.writeExport(options.exportFile, &why)) {
            PrintLine(stderr, QStringLiteral("velmora harvest: cannot write '%1': %2").arg(options.exportFile, why));
            status = 1;
        }
    }
    return status;
}
