#include "app/versiontext.h"

#include "app/registry.h"

#include <QSysInfo>

namespace {

QString read(const QString &name)
{
    return ReadRegistryString(WindowsVersionKey, name, true);
}

// A value that could not be read leaves its place empty instead of putting
// the word "Error" into the text the user sees.
QString orEmpty(const QString &value)
{
    return value == RegistryError ? QString() : value;
}

QString describe(const QString &product, const QString &release, const QString &build)
{
    return product + QStringLiteral(" 版本:") + release + QStringLiteral(" (内部版本:") + build
           + QLatin1Char(')');
}

// The operating system's own description, in the same form.
QString fromOperatingSystem()
{
    QString release = QSysInfo::productVersion();
    if (release.isEmpty() || release == QLatin1String("unknown"))
        release = QSysInfo::kernelVersion();
    const QString build = (QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion()).trimmed();
    return describe(QSysInfo::prettyProductName(), release, build);
}

} // namespace

QString ReadWindowsVersionText()
{
    const QString product = read(QStringLiteral("ProductName"));
    if (product == RegistryError || product.isEmpty())
        return fromOperatingSystem();

    const QString current = read(QStringLiteral("CurrentVersion"));
    const QString buildNumber = read(QStringLiteral("CurrentBuildNumber"));
    QString release = read(QStringLiteral("ReleaseId"));
    if (release == RegistryError)
        release = current; // older systems have no release id

    const QString buildLab = read(QStringLiteral("BuildLab"));
    const QString servicePack = read(QStringLiteral("CSDVersion"));
    const QString ubr = ReadRegistryDword(WindowsVersionKey, QStringLiteral("UBR"), false);

    QString build;
    if (ubr != RegistryError) {
        build = orEmpty(buildNumber) + QLatin1Char('.') + ubr;
    } else {
        build = orEmpty(buildLab);
        if (servicePack != RegistryError)
            build += QStringLiteral(" : ") + servicePack;
    }
    return describe(product, orEmpty(release), build);
}

QString SystemBitness()
{
    const QString arch = QSysInfo::currentCpuArchitecture();
    const bool wide = arch.contains(QLatin1String("64")) || arch == QLatin1String("s390x")
                      || arch == QLatin1String("sparcv9");
    return wide ? QStringLiteral("64") : QStringLiteral("32");
}

QString MakeWindowsVersionText()
{
    return ReadWindowsVersionText() + QLatin1Char('[') + SystemBitness() + QStringLiteral("位]");
}

QString WindowsVersionText()
{
    static const QString text = MakeWindowsVersionText();
    return text;
}
