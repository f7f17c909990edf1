#include "queue/notices.h"

#include "app/paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

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

void PlayNotice(int n)
{
    const QString path = NoticeSoundFile(n);
    // Sound needs a GUI application's event loop; a subcommand without one
    // stays silent.
    if (path.isEmpty() || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    // One effect per sound, kept for the life of the application, so that
    // playing never waits and a sound still playing is not cut off by the
    // object going away.
    static QHash<int, QPointer<QSoundEffect>> effects;
    QPointer<QSoundEffect> &effect = effects[n];
    if (!effect) {
        effect = new QSoundEffect(QCoreApplication::instance());
        effect->setSource(QUrl::fromLocalFile(path));
    }
    effect->play();
}
