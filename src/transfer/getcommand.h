#pragma once
// `velmora get`: the download list, the scheduler and the two transfer modes
// without a window, for scripted bulk downloads.
//
//   velmora get [--folder DIR] [--mode 1|2] [--threads N] [--interval S]
//               [--same-name skip|overwrite|rename] [--max-size MB]
//               [--proxy HOST:PORT] [--retries N] [--from FILE] [URL...]
//
// Its settings come from these options only; the user's stored settings are
// never written, and whatever the program-wide values read from them is
// replaced by the options. Messages go to standard error, never to a dialog.
#include "app/commandline.h"
#include "transfer/headers.h"

#include <QList>
#include <QString>
#include <QStringList>

struct GetOptions {
    QString folder;  // absolute, ends with "/"
    int mode = 2;
    int threads = 3;
    int interval = 0;
    DuplicateNamePolicy sameName = DuplicateNamePolicy::Rename;
    double maxSizeMB = 10;
    QString proxyHost; // empty: no proxy
    QString proxyPort;
    int retries = 0;   // rounds of re-downloading the failed rows
    QString fromFile;  // "-" reads standard input
    QStringList urls;
    bool help = false;
};

// One row to add: the URL (the row's key), its name and type.
struct GetEntry {
    QString url;
    QString name;
    QString type;
    bool operator==(const GetEntry &o) const { return url == o.url && name == o.name && type == o.type; }
};

QString GetUsage();

// Parses the arguments after "get". False with a one-line message for an
// unknown option, a missing or unusable value, or contradicting options.
bool ParseGetArguments(const QStringList &args, GetOptions &options, QString &error);

// A bare URL: named by the last segment of its path without the extension,
// which becomes the type when it is one (IsFileType); otherwise the whole
// segment is the name.
GetEntry EntryForUrl(const QString &url);
// A type as rows carry it: empty, or 1 to 8 ASCII letters and digits. Nothing
// else can be part of a file name's extension here (a "/" or ".." would
// lead out of the folder, a control character into the terminal).
bool IsFileType(const QString &type);

// A line of a --from file: a URL, or TITLE<TAB>URL<TAB>TYPE (named by the
// title, as the hand-off from the search window names rows). False for a
// blank line, and false with a message in *error for a TYPE that is not a
// file type (the whole command then stops as a usage error).
bool EntryFromLine(const QString &line, GetEntry &entry, QString *error = nullptr);


// The rows to add: those of the --from file, then the URLs given. False with
// a one-line message when the file cannot be read or there is no URL at all.
bool CollectGetEntries(const GetOptions &options, QList<GetEntry> &entries, QString &error);

// The whole subcommand; returns the exit status (0 every row finished, 1 any
// did not, 2 usage error).
int RunGetCommand(const QStringList &args);
