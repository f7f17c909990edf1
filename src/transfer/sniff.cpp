// `velmora sniff FILE...`: prints the type each file's content shows, as the
// download window would find it after a transfer.
#include "transfer/sniff.h"

#include "app/commandline.h"
#include "transfer/filetype.h"

#include <QFileInfo>

#include <cstdio>

namespace {

const char kUsage[] = "usage: velmora sniff [--] FILE...\n";

} // namespace

int RunSniffCommand(const QStringList &args)
{
    QStringList files;
    bool options = true;
    for (const QString &arg : args) {
        if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (options && arg.startsWith(QLatin1Char('-'))) {
            std::fputs(kUsage, stderr);
            return 2;
        } else {
            files << arg;
        }
    }
    if (files.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    int status = 0;
    for (const QString &path : files) {
        // Only regular files are sniffed: a folder, a missing path or a
        // device is reported and the others still get their answer.
        if (!QFileInfo(path).isFile()) {
            WriteText(stderr, QStringLiteral("velmora sniff: %1: no such file\n").arg(path));
            status = 1;
            continue;
        }
        const QString type = 打开文件判断文件类型(path);
        WriteText(stdout, (type.isEmpty() ? QStringLiteral("-") : type) + QLatin1Char('\t') + path + QLatin1Char('\n'));
    }
    std::fflush(stdout);
    return status;
}
