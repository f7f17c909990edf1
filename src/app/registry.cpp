#include "app/registry.h"

#include "app/paths.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStringEncoder>

#include <array>
#include <optional>
#include <utility>

// Layout of the store file. Each root is an INI section; below it every key
// part and finally the value name form one QSettings key, so the file reads
// much like a registry export:
//
//   [HKEY_LOCAL_MACHINE]
//   SOFTWARE\Microsoft\Internet%20Explorer\...\velmora=dword:10001
//
// QSettings uses "/" and "\" itself, so both are escaped inside names (with
// "%"), and an empty value name (a key's default value) is written "@".
// Values carry their type: "dword:<decimal>" or "sz:<text>".

namespace {

constexpr std::array<std::pair<const char *, quint32>, 7> kRoots = {{
    {"HKEY_CLASSES_ROOT", RegistryRoot::ClassesRoot},
    {"HKEY_CURRENT_USER", RegistryRoot::CurrentUser},
    {"HKEY_LOCAL_MACHINE", RegistryRoot::LocalMachine},
    {"HKEY_USERS", RegistryRoot::Users},
    {"HKEY_PERFORMANCE_DATA", RegistryRoot::PerformanceData},
    {"HKEY_CURRENT_CONFIG", RegistryRoot::CurrentConfig},
    {"HKEY_DYN_DATA", RegistryRoot::DynData},
}};

const QString kDwordTag = QStringLiteral("dword:");
const QString kTextTag = QStringLiteral("sz:");
const QChar kSeparator = QLatin1Char('\\');

QString rootName(quint32 root)
{
    for (const auto &[name, handle] : kRoots)
        if (handle == root)
            return QString::fromLatin1(name);
    return QString();
}

QString escapeName(const QString &name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        switch (c.unicode()) {
        case '%': out += QStringLiteral("%25"); break;
        case '/': out += QStringLiteral("%2F"); break;
        case '\\': out += QStringLiteral("%5C"); break;
        case '@': out += QStringLiteral("%40"); break;
        default: out += c;
        }
    }
    return out;
}

// The QSettings key of one value, or nothing when the key path cannot name a
// key (an unknown root, or an empty part as in "A\\B" or "\A").
std::optional<QString> storeKey(quint32 root, const QString &subKey, const QString &valueName)
{
    const QString rootText = rootName(root);
    if (rootText.isEmpty())
        return std::nullopt;
    QString key = rootText;
    if (!subKey.isEmpty()) {
        for (const QString &part : subKey.split(kSeparator)) {
            if (part.isEmpty())
                return std::nullopt;
            key += QLatin1Char('/') + escapeName(part);
        }
    }
    key += QLatin1Char('/') + (valueName.isEmpty() ? QStringLiteral("@") : escapeName(valueName));
    return key;
}

std::optional<QString> storeKey(const QString &fullPath, const QString &valueName)
{
    const RegistryPath path = SplitRegistryPath(fullPath);
    if (path.root == RegistryRoot::None)
        return std::nullopt;
    return storeKey(path.root, path.subKey, valueName);
}

bool writeTagged(const QString &fullPath, const QString &valueName, const QString &tagged)
{
    const auto key = storeKey(fullPath, valueName);
    if (!key)
        return false;
    QSettings store(Paths::registryFile(), QSettings::IniFormat);
    store.setValue(*key, tagged);
    store.sync();
    return store.status() == QSettings::NoError;
}

// The stored text of a value with the given type tag, without the tag.
std::optional<QString> readTagged(const QString &fullPath, const QString &valueName, const QString &tag)
{
    const auto key = storeKey(fullPath, valueName);
    if (!key)
        return std::nullopt;
    const QSettings store(Paths::registryFile(), QSettings::IniFormat);
    const QVariant v = store.value(*key);
    // A hand-edited value with an unquoted comma reads back as a list.
    const QString text = v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(','))
                                                               : v.toString();
    if (!v.isValid() || !text.startsWith(tag))
        return std::nullopt;
    return text.mid(tag.size());
}

QString trimSpaces(QString text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && text.at(from) == QLatin1Char(' '))
        ++from;
    while (to > from && text.at(to - 1) == QLatin1Char(' '))
        --to;
    return text.mid(from, to - from);
}

// Bytes of a text in the ANSI code page (GBK), without its NUL.
qsizetype ansiLength(const QString &text)
{
    QStringEncoder gbk("GBK");
    if (!gbk.isValid())
        return text.toUtf8().size();
    return QByteArray(gbk.encode(text)).size();
}

constexpr qsizetype kReadBuffer = 255; // bytes, the NUL included

} // namespace

quint32 RootKeyFromName(const QString &name)
{
    for (const auto &[text, handle] : kRoots)
        if (name == QLatin1String(text))
            return handle;
    return RegistryRoot::None;
}

RegistryPath SplitRegistryPath(const QString &fullPath)
{
    RegistryPath out;
    if (!fullPath.startsWith(QLatin1String("HKEY_")) || fullPath.endsWith(kSeparator))
        return out;
    const qsizetype cut = fullPath.indexOf(kSeparator);
    if (cut < 0) {
        out.root = RootKeyFromName(fullPath);
        return out;
    }
    out.root = RootKeyFromName(fullPath.left(cut));
    out.subKey = fullPath.mid(cut + 1);
    return out;
}

bool WriteRegistryDword(const QString &fullPath, const QString &valueName, quint32 value)
{
    return writeTagged(fullPath, valueName, kDwordTag + QString::number(value));
}

bool WriteRegistryString(const QString &fullPath, const QString &valueName, const QString &value)
{
    return writeTagged(fullPath, valueName, kTextTag + value);
}

void DeleteRegistryValue(quint32 root, const QString &subKey, const QString &valueName)
{
    const auto key = storeKey(root, subKey, valueName);
    if (!key)
        return;
    QSettings store(Paths::registryFile(), QSettings::IniFormat);
    if (!store.contains(*key))
        return;
    store.remove(*key);
    store.sync();
}

QString ReadRegistryString(const QString &fullPath, const QString &valueName, bool defaultView)
{
    Q_UNUSED(defaultView);
    const auto text = readTagged(fullPath, valueName, kTextTag);
    if (!text)
        return RegistryError;
    // The value as the Windows call hands it over: it must fit the buffer
    // with its terminating NUL, and the caller cuts at the first NUL.
    if (ansiLength(*text) + 1 > kReadBuffer)
        return RegistryError;
    const qsizetype nul = text->indexOf(QChar(0));
    return trimSpaces(nul < 0 ? *text : text->left(nul));
}

QString ReadRegistryDword(const QString &fullPath, const QString &valueName, bool defaultView)
{
    Q_UNUSED(defaultView);
    const auto text = readTagged(fullPath, valueName, kDwordTag);
    if (!text)
        return RegistryError;
    bool ok = false;
    const quint32 value = text->toUInt(&ok);
    return ok ? QString::number(value) : RegistryError;
}

QString BrowserEmulationValueName()
{
    // Without an application object there is no executable path to ask for.
    if (!QCoreApplication::instance())
        return QStringLiteral("velmora");
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

int BrowserEmulationMode(const QString &mode, bool forced)
{
    struct Row {
        const char *name;
        int forced;
        int plain;
    };
    static constexpr Row table[] = {
        {"IE10", 10001, 10000},
        {"IE9", 9999, 9000},
        {"IE8", 8888, 8000},
        {"IE7", 7000, 7000},
    };
    const QString upper = mode.toUpper();
    for (const Row &row : table)
        if (upper == QLatin1String(row.name))
            return forced ? row.forced : row.plain;
    return -1;
}

void SetBrowserEmulation(const QString &mode, bool forced)
{
    const QString name = BrowserEmulationValueName();
    int number = BrowserEmulationMode(mode, forced);
    if (number < 0) {
        const RegistryPath key = SplitRegistryPath(BrowserEmulationKey);
        DeleteRegistryValue(RegistryRoot::LocalMachine, key.subKey, name);
        number = 0;
    }
    WriteRegistryDword(BrowserEmulationKey, name, quint32(number));
}
