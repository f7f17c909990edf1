#include "transfer/getcommand.h"

#include "app/commandline.h"
#include "app/messages.h"
#include "app/settings.h"
#include "app/termination.h"
#include "app/utilities.h"
#include "queue/downloadsession.h"
#include "queue/scheduler.h"
#include "transfer/processfetch.h"
#include "transfer/transferadapters.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTextStream>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

// Removes the line breaks and NULs a title may carry, then the spaces around it.
QString cleanTitle(QString title)
{
    title.remove(QStringLiteral("\r\n"));
    title.remove(QLatin1Char('\r'));
    title.remove(QLatin1Char('\n'));
    title.remove(QChar(0));
    return title.trimmed();
}

} // namespace

QString GetUsage()
{
    return QStringLiteral(
        "usage: velmora get [--folder DIR] [--mode 1|2] [--threads N] [--interval S] "
        "[--same-name skip|overwrite|rename] [--max-size MB] [--proxy HOST:PORT] [--retries N] "
        "[--from FILE] [URL...]");
}

bool ParseGetArguments(const QStringList &args, GetOptions &options, QString &error)
{
    options = GetOptions();
    QString folder = QDir::currentPath();
    bool modeGiven = false;

    OptionReader reader(QStringLiteral("velmora get"), args, {"--help", "-h"},
                        {"--folder", "--mode", "--threads", "--interval", "--same-name", "--max-size", "--proxy",
                         "--retries", "--from"});
    while (reader.next()) {
        const QString &arg = reader.name();
        const QString &value = reader.value();
        if (reader.isOperand()) {
            options.urls << arg;
            continue;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
            continue;
        }

        if (arg == QLatin1String("--folder")) {
            if (value.trimmed().isEmpty()) {
                error = QStringLiteral("velmora get: --folder needs a folder");
                return false;
            }
            folder = QDir::isAbsolutePath(value) ? value : QDir::current().absoluteFilePath(value);
        } else if (arg == QLatin1String("--mode")) {
            if (!WholeNumber(value, 1, 2, options.mode)) {
                error = QStringLiteral("velmora get: --mode must be 1 or 2, not '%1'").arg(value);
                return false;
            }
            modeGiven = true;
        } else if (arg == QLatin1String("--threads")) {
            if (!WholeNumber(value, 1, 6, options.threads)) {
                error = QStringLiteral("velmora get: --threads must be a number from 1 to 6, not '%1'").arg(value);
                return false;
            }
        } else if (arg == QLatin1String("--interval")) {
            if (!WholeNumber(value, 0, 600, options.interval)) {
                error = QStringLiteral("velmora get: --interval must be a number of seconds from 0 to 600, not '%1'").arg(value);
                return false;
            }
        } else if (arg == QLatin1String("--same-name")) {
            const QString v = value.trimmed().toLower();
            if (v == QLatin1String("skip"))
                options.sameName = DuplicateNamePolicy::Skip;
            else if (v == QLatin1String("overwrite"))
                options.sameName = DuplicateNamePolicy::Overwrite;
            else if (v == QLatin1String("rename"))
                options.sameName = DuplicateNamePolicy::Rename;
            else {
                error = QStringLiteral("velmora get: --same-name must be skip, overwrite or rename, not '%1'").arg(value);
                return false;
            }
        } else if (arg == QLatin1String("--max-size")) {
            bool ok = false;
            const double mb = value.trimmed().toDouble(&ok);
            if (!ok || !std::isfinite(mb) || mb <= 0) {
                error = QStringLiteral("velmora get: --max-size must be a positive number of MB, not '%1'").arg(value);
                return false;
            }
            options.maxSizeMB = mb;
        } else if (arg == QLatin1String("--proxy")) {
            const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
            int port = 0;
            if (colon <= 0 || !WholeNumber(value.mid(colon + 1), 1, 65535, port)) {
                error = QStringLiteral("velmora get: --proxy must be HOST:PORT, not '%1'").arg(value);
                return false;
            }
            options.proxyHost = value.left(colon).trimmed();
            options.proxyPort = QString::number(port);
        } else if (arg == QLatin1String("--retries")) {
            if (!WholeNumber(value, 0, 1000000, options.retries)) {
                error = QStringLiteral("velmora get: --retries must be a number of rounds (0 or more), not '%1'").arg(value);
                return false;
            }
        } else if (arg == QLatin1String("--from")) {
            options.fromFile = value;
        }
    }
    if (!reader.error().isEmpty()) {
        error = reader.error();
        return false;
    }

    if (!options.proxyHost.isEmpty()) {
        // Only mode 1 goes through a proxy.
        if (modeGiven && options.mode != 1) {
            error = QStringLiteral("velmora get: --proxy works in mode 1 only");
            return false;
        }
        options.mode = 1;
    }
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    options.folder = folder;
    return true;
}

GetEntry EntryForUrl(const QString &url)
{
    GetEntry entry;
    entry.url = url.trimmed();
    const QUrl parsed(entry.url);
    const QString last = parsed.fileName(QUrl::FullyDecoded);
    const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && IsFileType(last.mid(dot + 1))) {
        entry.name = last.left(dot);
        entry.type = last.mid(dot + 1);
    } else {
        entry.name = last;
    }
    entry.name = SanitizeFileName(entry.name);
    // A URL ending in "/" names no file: the host stands in.
    if (entry.name.isEmpty())
        entry.name = SanitizeFileName(parsed.host());
    if (entry.name.isEmpty())
        entry.name = QStringLiteral("download");
    return entry;
}

bool IsFileType(const QString &type)
{
    if (type.size() > 8)
        return false;
    for (const QChar c : type)
        if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
              || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))))
            return false;
    return true;
}


bool EntryFromLine(const QString &line, GetEntry &entry, QString *error)
{
    QString text = line;
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    if (text.trimmed().isEmpty())
        return false;
    const QStringList fields = text.split(QLatin1Char('\t'));
    if (fields.size() < 2) {
        entry = EntryForUrl(text);
        return true;
    }
    entry = EntryForUrl(fields[1]);
    const QString name = SanitizeFileName(cleanTitle(fields[0]));
    if (!name.isEmpty())
        entry.name = name;
    if (fields.size() >= 3) {
        const QString type = fields[2].trimmed();
        if (!IsFileType(type)) {
            if (error)
                *error = QStringLiteral("velmora get: '%1' is not a file type (at most 8 letters and digits)")
                             .arg(type.left(80));
            return false;
        }
        entry.type = type;
    }
    return true;
}

bool CollectGetEntries(const GetOptions &options, QList<GetEntry> &entries, QString &error)
{
    entries.clear();
    if (!options.fromFile.isEmpty()) {
        QFile file;
        bool opened;
        if (options.fromFile == QLatin1String("-"))
            opened = file.open(stdin, QIODevice::ReadOnly);
        else {
            file.setFileName(options.fromFile);
            opened = file.open(QIODevice::ReadOnly);
        }
        if (!opened) {
            error = QStringLiteral("velmora get: cannot read '%1': %2").arg(options.fromFile, file.errorString());
            return false;
        }
        QTextStream in(&file);
        in.setEncoding(QStringConverter::Utf8);
        QString line;
        int number = 0;
        while (in.readLineInto(&line)) {
            ++number;
            GetEntry entry;
            QString lineError;
            if (EntryFromLine(line, entry, &lineError)) {
                if (!entry.url.isEmpty())
                    entries << entry;
            } else if (!lineError.isEmpty()) {
                error = lineError + QStringLiteral(" in line %1 of '%2'").arg(number).arg(options.fromFile);
                return false;
            }
        }
    }
    for (const QString &url : options.urls)
        if (!url.trimmed().isEmpty())
            entries << EntryForUrl(url);
    if (entries.isEmpty()) {
        error = QStringLiteral("velmora get: no URLs to download (give URLs or --from FILE)");
        return false;
    }
    return true;
}

namespace {

QString stateName(ItemState s)
{
    switch (s) {
    case Waiting: return QStringLiteral("Waiting");
    case Downloading: return QStringLiteral("Downloading");
    case Finished: return QStringLiteral("Finished");
    case Failed: return QStringLiteral("Failed");
    }
    return QStringLiteral("Waiting");
}

// Tabs or line breaks inside a field would break the one-row-per-line
// output, and other control characters would reach the terminal.
QString field(const QString &text) { return EscapeForOutput(text); }

int downloadAll(const GetOptions &options, const QList<GetEntry> &entries)
{
    // The program-wide values the transfers read, from the options only.
    ProgramValues &program = Program(); // overwrites what the first use read from the store
    program.DownloadMode = options.mode;
    program.ProxyEnabled = options.proxyHost.isEmpty() ? 0 : 1;
    program.ProxyAddress = options.proxyHost;
    program.ProxyPort = options.proxyPort;
    program.MaxFileSizeMB = options.maxSizeMB;

    DownloadSession session;
    session.sameName = options.sameName;
    for (const GetEntry &e : entries)
        session.list().add(e.url, e.name, e.type, options.folder);

    Scheduler scheduler(session);
    SchedulerTransfers transfers(scheduler);
    scheduler.setThreadCount(options.threads);
    scheduler.setInterval(options.interval);
    scheduler.setRedownloadChoice(0);
    scheduler.setAutoRedownload(options.retries > 0);
    int rounds = 0;
    QObject::connect(&scheduler, &Scheduler::redownloadRoundStarted, [&] {
        if (++rounds >= options.retries)
            scheduler.setAutoRedownload(false);
    });

    const bool terminal = isatty(STDERR_FILENO);
    QEventLoop loop;
    auto settled = [&] {
        return !scheduler.isRunning() && 检测是否下载列表完毕(session.list()) && !transfers.inet.StillExecuting()
            && transfers.transferSlots.CountTransferSlots() == 1;
    };
    QObject::connect(&scheduler, &Scheduler::supervised, [&] {
        if (terminal) {
            std::fputs("\r\033[K", stderr);
            std::fputs(StatusCountsText(session.list()).toUtf8().constData(), stderr);
            std::fflush(stderr);
        }
        if (settled())
            loop.quit();
    });

    // Interrupted (Ctrl+C, a stop from the system): stop like the window's
    // stop command, so running rows end Failed, their temporary bodies go,
    // and the rows are still reported.
    QObject::connect(&TerminationSignals::instance(), &TerminationSignals::received, &loop, [&] {
        scheduler.stop();
        loop.quit();
    });

    scheduler.start();
    scheduler.startSupervisor();
    // The first row need not wait a whole second.
    QTimer::singleShot(0, &scheduler, &Scheduler::timerDownTick);
    loop.exec();
    scheduler.stopSupervisor();
    if (terminal)
        std::fputc('\n', stderr);

    bool allFinished = true;
    const DownloadList &list = session.list();
    for (int i = 0; i < list.count(); ++i) {
        const ItemRef row = list.at(i);
        allFinished = allFinished && row->state == Finished;
        PrintLine(stdout, QStringList{stateName(row->state), field(row->name), field(row->type), field(row->size),
                                      field(row->received), field(row->percent), field(ItemFilePath(*row))}
                              .join(QLatin1Char('\t')));
    }
    std::fflush(stdout);
    return allFinished ? 0 : 1;
}

} // namespace

int RunGetCommand(const QStringList &args)
{
    GetOptions options;
    QString error;
    QList<GetEntry> entries;
    if (!ParseGetArguments(args, options, error) || (!options.help && !CollectGetEntries(options, entries, error))) {
        PrintLine(stderr, EscapeForOutput(error));
        return 2;
    }
    if (options.help) {
        PrintLine(stdout, GetUsage());
        return 0;
    }
    // Nobody is there to answer a message box: a message goes to standard
    // error as one line under the subcommand's name, a question is answered
    // No (and an input box, without a handler, is cancelled).
    Msg::setHandler([](Msg::Kind, const QString &text) {
        PrintLine(stderr, QStringLiteral("velmora get: ") + EscapeForOutput(text));
        return false;
    });
    // Without windows the browser engine runs in a child process.
    UseChildProcessForChecks();
    const int status = downloadAll(options, entries);
    Msg::setHandler({});
    return status;
}
