#include "app/registry.h"

#include "app/paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QSaveFile>
#include <QStringEncoder>

#include <array>
#include <optional>
#include <utility>

// The store file is written like a registry export, one section per key and
// one line per value:
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\...\FEATURE_BROWSER_EMULATION]
//   "velmora"=dword:00002711
//   "ProductName"="Windows 10 Pro"
//   @="the key's default value"
//
// Inside quotes, \\ \" \n \r \t and \0 stand for themselves. Key and value
// names are matched without regard to case, as Windows does, and keep the
// spelling they were first written with. Blank lines and lines starting
// with ";" are skipped. A file with any other line is never rewritten: the
// values that do parse can still be read, but writes fail, so a hand-edited
// store is not cut short by the program.

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

const QChar kSeparator = QLatin1Char('\\');

QString rootName(quint32 root)
{
    for (const auto &[name, handle] : kRoots)
        if (handle == root)
            return QString::fromLatin1(name);
    return QString();
}

struct Value {
    QString name;
    bool isDword = false;
    quint32 dword = 0;
    QString text;
};

struct Key {
    QString path; // full path as first written
    QMap<QString, Value> values; // by case-folded name
};

struct Store {
    QMap<QString, Key> keys; // by case-folded full path
    bool readable = true;    // the file exists but could not be opened
    bool clean = true;       // every line parsed
};

QString fold(const QString &s) { return s.toCaseFolded(); }

// The full key path of root + sub-key, or nothing when it cannot name a key:
// an unknown root, or an empty or unprintable part ("A\\B", "\A").
std::optional<QString> keyPath(quint32 root, const QString &subKey)
{
    QString path = rootName(root);
    if (path.isEmpty())
        return std::nullopt;
    if (subKey.isEmpty())
        return path;
    for (const QString &part : subKey.split(kSeparator)) {
        if (part.isEmpty())
            return std::nullopt;
        for (const QChar c : part)
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                return std::nullopt;
    }
    return path + kSeparator + subKey;
}

std::optional<QString> keyPath(const QString &fullPath)
{
    const RegistryPath split = SplitRegistryPath(fullPath);
    if (split.root == RegistryRoot::None)
        return std::nullopt;
    return keyPath(split.root, split.subKey);
}

QString quoted(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '"': out += QStringLiteral("\\\""); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case 0: out += QStringLiteral("\\0"); break;
        default: out += c;
        }
    }
    return out + QLatin1Char('"');
}

// Reads a quoted text starting at line[pos] == '"'; pos ends after the
// closing quote.
std::optional<QString> unquote(QStringView line, qsizetype &pos)
{
    if (pos >= line.size() || line[pos] != QLatin1Char('"'))
        return std::nullopt;
    QString out;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == QLatin1Char('"')) {
            ++pos;
            return out;
        }
        if (c != QLatin1Char('\\')) {
            out += c;
            continue;
        }
        if (++pos >= line.size())
            return std::nullopt;
        switch (line[pos].unicode()) {
        case '\\': out += QLatin1Char('\\'); break;
        case '"': out += QLatin1Char('"'); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case 't': out += QLatin1Char('\t'); break;
        case '0': out += QChar(0); break;
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

bool parseValueLine(QStringView line, Value &value)
{
    qsizetype pos = 0;
    if (line.startsWith(QLatin1Char('@'))) {
        value.name.clear();
        pos = 1;
    } else {
        const auto name = unquote(line, pos);
        if (!name)
            return false;
        value.name = *name;
    }
    const QStringView rest = line.mid(pos).trimmed();
    if (!rest.startsWith(QLatin1Char('=')))
        return false;
    const QStringView data = rest.mid(1).trimmed();
    if (data.startsWith(QLatin1String("dword:"))) {
        const QStringView digits = data.mid(6);
        bool ok = false;
        value.dword = digits.size() <= 8 ? digits.toUInt(&ok, 16) : 0;
        value.isDword = true;
        return ok;
    }
    qsizetype at = 0;
    const auto text = unquote(data, at);
    if (!text || at != data.size())
        return false;
    value.text = *text;
    return true;
}

Store parse(const QString &content)
{
    Store store;
    Key *current = nullptr;
    for (QStringView line : QStringView(content).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const auto path = keyPath(line.mid(1, line.size() - 2).toString());
            if (!path) {
                store.clean = false;
                current = nullptr;
                continue;
            }
            Key &key = store.keys[fold(*path)];
            if (key.path.isEmpty())
                key.path = *path;
            current = &key;
            continue;
        }
        Value value;
        if (!current || !parseValueLine(line, value)) {
            store.clean = false;
            continue;
        }
        current->values.insert(fold(value.name), value);
    }
    return store;
}

QString serialize(const Store &store)
{
    QString out = QStringLiteral("; Velmora registry store\n");
    for (const Key &key : store.keys) {
        if (key.values.isEmpty())
            continue;
        out += QStringLiteral("\n[") + key.path + QStringLiteral("]\n");
        for (const Value &v : key.values) {
            out += v.name.isEmpty() ? QStringLiteral("@") : quoted(v.name);
            out += v.isDword ? QStringLiteral("=dword:%1").arg(v.dword, 8, 16, QLatin1Char('0'))
                             : QLatin1Char('=') + quoted(v.text);
            out += QLatin1Char('\n');
        }
    }
    return out;
}

Store load()
{
    QFile file(Paths::registryFile());
    if (!file.exists())
        return Store();
    if (!file.open(QIODevice::ReadOnly)) {
        Store broken;
        broken.readable = false;
        return broken;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    Store store = parse(utf8.decode(file.readAll()));
    // Bytes in another encoding would come back as replacement characters.
    if (utf8.hasError())
        store.clean = false;
    return store;
}

// Runs change() over the store under the store's lock and writes the result.
// False when the store cannot be locked, read, parsed or written; the file
// is then as it was.
template <typename Change>
bool update(Change change)
{
    const QString path = Paths::registryFile();
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(2000))
        return false;
    Store store = load();
    if (!store.readable || !store.clean)
        return false;
    if (!change(store))
        return true; // nothing to change
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(serialize(store).toUtf8());
    return file.commit();
}

bool writeValue(const QString &fullPath, const Value &value)
{
    const auto path = keyPath(fullPath);
    if (!path)
        return false;
    return update([&](Store &store) {
        Key &key = store.keys[fold(*path)];
        if (key.path.isEmpty())
            key.path = *path;
        Value &stored = key.values[fold(value.name)];
        const QString spelling = stored.name.isEmpty() ? value.name : stored.name;
        stored = value;
        stored.name = spelling;
        return true;
    });
}

std::optional<Value> readValue(const QString &fullPath, const QString &valueName)
{
    const auto path = keyPath(fullPath);
    if (!path)
        return std::nullopt;
    const Store store = load();
    const auto key = store.keys.constFind(fold(*path));
    if (key == store.keys.constEnd())
        return std::nullopt;
    const auto value = key->values.constFind(fold(valueName));
    if (value == key->values.constEnd())
        return std::nullopt;
    return *value;
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
    Value v;
    v.name = valueName;
    v.isDword = true;
    v.dword = value;
    return writeValue(fullPath, v);
}

bool WriteRegistryString(const QString &fullPath, const QString &valueName, const QString &value)
{
    Value v;
    v.name = valueName;
    v.text = value;
    return writeValue(fullPath, v);
}

void DeleteRegistryValue(quint32 root, const QString &subKey, const QString &valueName)
{
    const auto path = keyPath(root, subKey);
    if (!path)
        return;
    update([&](Store &store) {
        const auto key = store.keys.find(fold(*path));
        return key != store.keys.end() && key->values.remove(fold(valueName)) > 0;
    });
}

QString ReadRegistryString(const QString &fullPath, const QString &valueName, bool defaultView)
{
    Q_UNUSED(defaultView);
    const auto value = readValue(fullPath, valueName);
    if (!value || value->isDword)
        return RegistryError;
    // The value as the Windows call hands it over: it must fit the buffer
    // with its terminating NUL, and the caller cuts at the first NUL.
    if (ansiLength(value->text) + 1 > kReadBuffer)
        return RegistryError;
    const qsizetype nul = value->text.indexOf(QChar(0));
    return trimSpaces(nul < 0 ? value->text : value->text.left(nul));
}

QString ReadRegistryDword(const QString &fullPath, const QString &valueName, bool defaultView)
{
    Q_UNUSED(defaultView);
    const auto value = readValue(fullPath, valueName);
    if (!value || !value->isDword)
        return RegistryError;
    return QString::number(value->dword);
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
