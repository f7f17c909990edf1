#pragma once
// The per-user settings store (application "Velmora" -> section -> key ->
// string) and the program-wide values that every window shares.
#include "app/paths.h"

#include <QString>

QString GetSetting(const QString &section, const QString &key, const QString &defaultValue = QString());
void SaveSetting(const QString &section, const QString &key, const QString &value);

// Every section and key of the store, spelled once. Windows that remember
// something use their own objectName as the section.
namespace SettingKeys {

// Program-wide preferences.
inline const QString Settings = QStringLiteral("设置");
inline const QString DownloadMode = QStringLiteral("下载方式");          // "1" or "2"
inline const QString ProxyEnabled = QStringLiteral("代理服务器有效");    // "0" or "1"
inline const QString ProxyAddress = QStringLiteral("代理服务器网址");    // host or IP, trimmed
inline const QString ProxyPort = QStringLiteral("代理服务器端口");       // port as text, trimmed
inline const QString MaxFileSize = QStringLiteral("文件最大值");         // MB, decimal text
inline const QString SaveFolder = QStringLiteral("下载文件保存路径");    // folder ending in "/"
inline const QString LastOpenedFolder = QStringLiteral("最后一次打开的目录");

// The download window's thread-count box position (from 0).
inline const QString Download = QStringLiteral("下载");
inline const QString Threads = QStringLiteral("线程");

// The download window's same-name policy: "跳过", "覆盖" or "重命名".
inline const QString PatentDownload = QStringLiteral("专利下载");
inline const QString DuplicateFileName = QStringLiteral("重复文件名设置");

// The search window's delay box position (from 0).
inline const QString WebSearch = QStringLiteral("fWebSearch");
inline const QString WebSearchDelay = QStringLiteral("Combo1");

// Window layout keys, below the window's own section.
inline const QString FileDownload = QStringLiteral("fFileDownload");
inline const QString Resolution = QStringLiteral("分辨率"); // "W*H" in pixels, or "0*0" when maximised
inline const QString Top = QStringLiteral("上");            // twips
inline const QString Left = QStringLiteral("左");
inline const QString Width = QStringLiteral("宽");
inline const QString Height = QStringLiteral("高");

// The copy/move dialog.
inline const QString CopyMove = QStringLiteral("Form_Copy_Move");
inline const QString DestinationFolder = QStringLiteral("目的文件夹");
inline const QString OpIndex = QStringLiteral("OpIndex"); // 1-5

} // namespace SettingKeys

// Defaults returned when a key is absent.
namespace SettingDefaults {
inline constexpr int DownloadMode = 2;
inline constexpr int ProxyEnabled = 0;
inline constexpr double MaxFileSizeMB = 10;
inline constexpr int Threads = 2;
inline const QString DuplicateFileName = QStringLiteral("重命名");
inline constexpr int WebSearchDelay = 1;
inline const QString Resolution = QStringLiteral("000"); // never matches a screen
inline constexpr int Top = 100;
inline constexpr int Left = 100;
inline constexpr int Width = 15000;
inline constexpr int Height = 10000;
inline constexpr int OpIndex = 4;
// Both folders default to the program's folder; the destination keeps its
// trailing separator as the copy/move dialog stores it.
inline QString LastOpenedFolder() { return Paths::dataDir(); }
inline QString DestinationFolder() { return Paths::dataDir() + QLatin1Char('/'); }
} // namespace SettingDefaults

// Numbers are stored as plain decimal text ("2.5", "10"), never in exponent form.
QString DecimalText(double value);

// Readers for numeric keys. A missing key yields defaultValue. A stored text
// that is not a number of the kind asked for (a whole number for the int
// reader, a finite decimal number for the double reader) is ignored: value
// keeps what it had. Returns true when value was set.
bool ReadSettingInt(const QString &section, const QString &key, int defaultValue, int &value);
bool ReadSettingDouble(const QString &section, const QString &key, double defaultValue, double &value);

struct ProgramValues {
    int DownloadMode = SettingDefaults::DownloadMode; // 1 = one file at a time (proxy capable), 2 = up to six at once
    int ProxyEnabled = SettingDefaults::ProxyEnabled; // 1 = send mode-1 requests through ProxyAddress:ProxyPort
    QString ProxyAddress;
    QString ProxyPort;
    double MaxFileSizeMB = SettingDefaults::MaxFileSizeMB; // a file of more than this many MiB is skipped
    QString SaveFolder;          // results of the save-location dialog
    bool UseOriginalFileName = false;
    bool SaveDialogCancelled = false;
};

// The one set of program-wide values, shared by all windows. It is filled
// from the store on first use, so a window that opens before the download
// window (the options dialog from the search window) still shows and
// re-saves the stored preferences rather than the built-in defaults.
ProgramValues &Program();

// Reads the program-wide preferences from the store into Program(): mode,
// proxy, size limit and save folder, with the defaults above (the save
// folder defaults to Paths::defaultSaveFolder()). A stored value that is not
// usable (not a number, a mode other than 1 or 2, a proxy flag other than
// 0 or 1, a size limit that is not above 0) leaves the current value alone.
void LoadProgramValues();
