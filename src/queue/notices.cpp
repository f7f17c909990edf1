#include "queue/notices.h"

#include "app/paths.h"

#include <QFile>

QString NoticeSoundFile(int n)
{
    if (n != 101 && n != 102 && n != 103)
        return {};
    const QString path = Paths::dataDir() + QLatin1Char('/') + QString::number(n) + QStringLiteral(".wav");
    if (QFile::exists(path))
        return path;
    QFile resource(QStringLiteral(":/notices/%1.wav").arg(n));
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = resource.readAll();
    // Written under another name first, so a broken write never leaves a
    // truncated sound that would be taken as present next time.
    const QString partial = path + QStringLiteral(".part");
    QFile out(partial);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size()) {
        out.close();
        QFile::remove(partial);
        return {};
    }
    out.close();
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        return QFile::exists(path) ? path : QString();
    }
    return path;
}

namespace {
NoticePlayer g_player;
}

void setNoticePlayer(NoticePlayer player) { g_player = std::move(player); }

void PlayNotice(int n)
{
    if (!g_player)
        return; // no sound device of ours: nothing is heard
    const QString path = NoticeSoundFile(n);
    if (!path.isEmpty())
        g_player(path);
}
