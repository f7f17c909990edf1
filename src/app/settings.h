#pragma once
// The per-user settings store (application "Velmora" -> section -> key ->
// string) and the program-wide values that every window shares.
#include <QString>

QString GetSetting(const QString &section, const QString &key, const QString &defaultValue = QString());
void SaveSetting(const QString &section, const QString &key, const QString &value);

struct ProgramValues {
    int DownloadMode = 2;        // 1 = one file at a time (proxy capable), 2 = up to six at once
    int ProxyEnabled = 0;        // 1 = send mode-1 requests through ProxyAddress:ProxyPort
    QString ProxyAddress;
    QString ProxyPort;
    double MaxFileSizeMB = 10;   // a file of more than this many MiB is skipped
    QString SaveFolder;          // results of the save-location dialog
    bool UseOriginalFileName = false;
    bool SaveDialogCancelled = false;
};

// The one set of program-wide values; read from the store when the windows
// open, shared by all of them.
ProgramValues &Program();
