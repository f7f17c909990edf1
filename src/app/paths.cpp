#include "app/paths.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString below(const QString &sub, QStandardPaths::StandardLocation fallback)
{
    const QString h = Paths::home();
    QString dir = h.isEmpty() ? QStandardPaths::writableLocation(fallback) + QStringLiteral("/Velmora")
                              : h + QLatin1Char('/') + sub;
    QDir().mkpath(dir);
    return dir;
}
} // namespace

namespace Paths {

QString home()
{
    QString h = qEnvironmentVariable("VELMORA_HOME");
    while (h.size() > 1 && h.endsWith(QLatin1Char('/')))
        h.chop(1);
    return h;
}

QString configDir() { return below(QStringLiteral("config"), QStandardPaths::GenericConfigLocation); }
QString dataDir() { return below(QStringLiteral("data"), QStandardPaths::GenericDataLocation); }
QString settingsFile() { return configDir() + QStringLiteral("/Velmora.ini"); }
QString registryFile() { return configDir() + QStringLiteral("/registry.ini"); }

QString browserProfileDir()
{
    const QString h = home();
    QString dir = h.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                                    + QStringLiteral("/Velmora/browser")
                              : h + QStringLiteral("/browser");
    QDir().mkpath(dir);
    return dir;
}

QString defaultSaveFolder()
{
    QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (downloads.isEmpty())
        downloads = QDir::homePath() + QStringLiteral("/Downloads");
    return downloads + QStringLiteral("/12345");
}

} // namespace Paths
