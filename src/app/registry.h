#pragma once
// A small registry of our own, kept in a text file (Paths::registryFile())
// laid out like a registry export.
//
// Keys are addressed by their full path text, "HKEY_LOCAL_MACHINE\SOFTWARE\..."
// with "\" between the parts, as on Windows; values are 32-bit numbers
// (REG_DWORD) or texts (REG_SZ). The store holds the browser emulation entry
// written at start-up and, where someone puts them there, the Windows
// version values that start-up reads.
//
// Nothing here throws or shows a message: a store that cannot be read gives
// "Error" on reading, one that cannot be written gives false on writing.
#include <QString>
#include <QtGlobal>

// Predefined root keys and their handle values.
namespace RegistryRoot {
inline constexpr quint32 None = 0;
inline constexpr quint32 ClassesRoot = 0x80000000u;
inline constexpr quint32 CurrentUser = 0x80000001u;
inline constexpr quint32 LocalMachine = 0x80000002u;
inline constexpr quint32 Users = 0x80000003u;
inline constexpr quint32 PerformanceData = 0x80000004u;
inline constexpr quint32 CurrentConfig = 0x80000005u;
inline constexpr quint32 DynData = 0x80000006u;
} // namespace RegistryRoot

// What a read gives when the root, the key or the value cannot be read.
inline const QString RegistryError = QStringLiteral("Error");

// The key of the browser emulation entries, one value per executable name.
inline const QString BrowserEmulationKey = QStringLiteral(
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Internet Explorer\\MAIN\\FeatureControl\\FEATURE_BROWSER_EMULATION");

struct RegistryPath {
    quint32 root = RegistryRoot::None;
    QString subKey;
};

// "HKEY_CURRENT_USER" -> 0x80000001; case matters; anything else -> 0.
quint32 RootKeyFromName(const QString &name);

// "HKEY_X\A\B" -> (root of HKEY_X, "A\B"); "HKEY_X" -> (root, "").
// A path not beginning with "HKEY_" or ending in "\" has no root (0).
RegistryPath SplitRegistryPath(const QString &fullPath);

// Sets a REG_DWORD value, creating the key as needed. False when the path
// has no root, the key path is malformed or the store cannot be written.
bool WriteRegistryDword(const QString &fullPath, const QString &valueName, quint32 value);

// Sets a REG_SZ value; the same outcomes as WriteRegistryDword. (The program
// itself only writes numbers; this fills the store with version values.)
bool WriteRegistryString(const QString &fullPath, const QString &valueName, const QString &value);

// Removes one value; every failure is ignored.
void DeleteRegistryValue(quint32 root, const QString &subKey, const QString &valueName);

// The value's text, cut at its first NUL and trimmed of spaces, or "Error"
// when the root is unknown, the value is missing, is not a text, or does not
// fit the 255-byte read buffer (254 bytes in the ANSI code page plus NUL).
// defaultView chooses between the 32- and 64-bit views on Windows; this
// store has one view, so it changes nothing here.
QString ReadRegistryString(const QString &fullPath, const QString &valueName, bool defaultView = true);

// The value as unsigned decimal text, or "Error" when it cannot be read or is
// not a number.
QString ReadRegistryDword(const QString &fullPath, const QString &valueName, bool defaultView = true);

// The value name under which this program's emulation entry is kept: the
// file name of the running executable.
QString BrowserEmulationValueName();

// Mode number for a mode name ("IE10", "ie9", ...; upper-cased first), or -1
// for a name that is not in the table.
int BrowserEmulationMode(const QString &mode, bool forced);

// Records the rendering mode for this program's executable. An unknown mode
// name removes the entry and writes 0. Failures are ignored.
void SetBrowserEmulation(const QString &mode, bool forced);
