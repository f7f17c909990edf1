#pragma once
// `velmora sniff FILE...`: prints the type each file's content shows, as the
// download window would find it after a transfer.
#include <QStringList>

// Returns the exit status.
int RunSniffCommand(const QStringList &args);
