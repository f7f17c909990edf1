#include "support/testhome.h"

#include <QDir>

TempHome::TempHome()
    : m_previous(qgetenv("VELMORA_HOME")), m_hadPrevious(qEnvironmentVariableIsSet("VELMORA_HOME"))
{
    qputenv("VELMORA_HOME", m_dir.path().toLocal8Bit());
}

TempHome::~TempHome()
{
    if (m_hadPrevious)
        qputenv("VELMORA_HOME", m_previous);
    else
        qunsetenv("VELMORA_HOME");
}

QString TempHome::folder(const QString &name) const
{
    const QString p = m_dir.path() + QLatin1Char('/') + name;
    QDir().mkpath(p);
    return p;
}
