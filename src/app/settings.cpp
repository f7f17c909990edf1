#include "app/settings.h"

#include "app/paths.h"

#include <QSettings>


QString GetSetting(const QString &section, const QString &key, const QString &defaultValue)
{
    QSettings s(Paths::settingsFile(), QSettings::IniFormat);
    s.beginGroup(section);
    return s.value(key, defaultValue).toString();
}

void SaveSetting(const QString &section, const QString &key, const QString &value)
{
    QSettings s(Paths::settingsFile(), QSettings::IniFormat);
    s.beginGroup(section);
    s.setValue(key, value);
}

ProgramValues &Program()
{
    static ProgramValues values;
    return values;
}
