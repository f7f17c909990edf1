#include "queue/ui/noticeplayer.h"

#include "queue/notices.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

void InstallNoticePlayer()
{
    setNoticePlayer([](const QString &path) {
        // One effect per sound, kept for the life of the application, so that
        // playing never waits and a sound still playing is not cut off by the
        // object going away.
        static QHash<QString, QPointer<QSoundEffect>> effects;
        QPointer<QSoundEffect> &effect = effects[path];
        if (!effect) {
            effect = new QSoundEffect(QCoreApplication::instance());
            effect->setSource(QUrl::fromLocalFile(path));
        }
        effect->play();
    });
}
