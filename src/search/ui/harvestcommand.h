#pragma once
// `velmora harvest [--all-types] [--pages] [--delay S] [--export FILE] PAGE...`
//
// Reads saved or live result pages without a window, as "加入本页到列表"
// does (or, with --pages, as "加入全部到列表" does), into one harvest list,
// and prints a line per row: TITLE<TAB>URL<TAB>TYPE, the form
// `velmora get --from` reads. Exit status 0, 1 when a page could not be
// loaded or the export could not be written, 2 for a usage error.
#include <QStringList>

int runHarvestCommand(const QStringList &args);

struct HarvestOptions {
    bool allTypes = false;   // untick "仅下载PDF文件"
    bool pages = false;      // the paging run from each page
    int delaySeconds = 2;    // pause between pages of the run
    QString exportFile;      // also write the harvest export there
    QStringList pageArgs;    // file paths or http, https and file URLs
    bool help = false;
};

// False with a message for a usage error.
bool ParseHarvestArguments(const QStringList &args, HarvestOptions &options, QString &error);
QString HarvestUsage();
// One output line (without its line end) for a row of the list.
QString HarvestOutputLine(const QString &title, const QString &url, const QString &type);
