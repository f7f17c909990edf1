#pragma once
// `velmora browser-fetch URL REFERER OUTDIR`: the hidden subcommand behind
// the child-process fetcher of `velmora get` (transfer/processfetch.h). It
// fetches URL through a hidden page of the program's browser profile, puts
// the file into OUTDIR and reports on standard output in the lines that
// ProcessBrowserFetcher reads. Exit status 0 with a file, 1 without, 2 for a
// usage error.
#include <QStringList>

int RunBrowserFetchCommand(const QStringList &args);
