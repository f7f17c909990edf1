#include "app/settings.h"

#include "app/paths.h"

#include <QLocale>
#include <QSettings>

#include <cmath>

QString GetSetting(const QString &section, const QString &key, const QString &defaultValue)
{
    QSettings s(Paths::settingsFile(), QSettings::IniFormat);
    s.beginGroup(section);
    const QVariant v = s.value(key, defaultValue);
    // A hand-edited line with an unquoted comma reads back as a list.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

void SaveSetting(const QString &section, const QString &key, const QString &value)
{
    QSettings s(Paths::settingsFile(), QSettings::IniFormat);
    s.beginGroup(section);
    s.setValue(key, value);
}

QString DecimalText(double value)
{
    // Shortest text that reads back as the same number, always in fixed
    // notation and with "." whatever the user's locale.
    return QLocale::c().toString(value, 'f', QLocale::FloatingPointShortest);
}

namespace {
// A marker that cannot be a stored value, so that "absent" and "stored"
// can be told apart through GetSetting.
const QString kAbsent = QStringLiteral("\u0001<absent>");

ProgramValues &storage()
{
    static ProgramValues values;
    return values;
}
} // namespace

bool ReadSettingInt(const QString &section, const QString &key, int defaultValue, int &value)
{
    const QString text = GetSetting(section, key, kAbsent);
    if (text == kAbsent) {
        value = defaultValue;
        return true;
    }
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok)
        return false;
    value = n;
    return true;
}

bool ReadSettingDouble(const QString &section, const QString &key, double defaultValue, double &value)
{
    const QString text = GetSetting(section, key, kAbsent);
    if (text == kAbsent) {
        value = defaultValue;
        return true;
    }
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return false;
    value = d;
    return true;
}

void LoadProgramValues()
{
    namespace K = SettingKeys;
    namespace D = SettingDefaults;
    ProgramValues &p = storage();

    int mode = p.DownloadMode;
    if (ReadSettingInt(K::Settings, K::DownloadMode, D::DownloadMode, mode) && (mode == 1 || mode == 2))
        p.DownloadMode = mode;

    int proxy = p.ProxyEnabled;
    if (ReadSettingInt(K::Settings, K::ProxyEnabled, D::ProxyEnabled, proxy) && (proxy == 0 || proxy == 1))
        p.ProxyEnabled = proxy;

    p.ProxyAddress = GetSetting(K::Settings, K::ProxyAddress, QString()).trimmed();
    p.ProxyPort = GetSetting(K::Settings, K::ProxyPort, QString()).trimmed();

    // A limit of 0 or below would skip every file without saying why.
    double size = p.MaxFileSizeMB;
    if (ReadSettingDouble(K::Settings, K::MaxFileSize, D::MaxFileSizeMB, size) && size > 0)
        p.MaxFileSizeMB = size;

    p.SaveFolder = GetSetting(K::Settings, K::SaveFolder, Paths::defaultSaveFolder());
}

ProgramValues &Program()
{
    static const bool loaded = [] {
        LoadProgramValues();
        return true;
    }();
    Q_UNUSED(loaded);
    return storage();
}
