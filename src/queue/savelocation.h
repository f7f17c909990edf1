#pragma once
// Where the analysis puts its files and how it names them. The save-location
// dialog is a thin window over these functions; its three results live in
// Program() (app/settings.h) for the whole run:
//   SaveFolder          the chosen folder, ending in "/"; kept across runs in
//                       the setting "设置"/"下载文件保存路径"
//   UseOriginalFileName name files by the URL's own name (true) or by the
//                       article title (false, the choice at program start)
//   SaveDialogCancelled set whenever the dialog closes: true for Cancel
#include <QString>
#include <QStringList>

namespace SaveLocationText {
inline const QString Caption = QStringLiteral("选择下载保存路径－Tolvenne软件");
inline const QString FolderLabel = QStringLiteral("保存到文件夹：");
inline const QString Browse = QStringLiteral("...");
inline const QString NameLabel = QStringLiteral("保存文件名为：");
inline const QString OriginalName = QStringLiteral("原文件名");
inline const QString TitleName = QStringLiteral("文章标题名称");
inline const QString Ok = QStringLiteral("确定");
inline const QString Cancel = QStringLiteral("取消");
inline const QString BrowsePrompt = QStringLiteral("请选择要浏览的文件夹:");
inline const QString FolderWrong = QStringLiteral("文件夹设置错误！");
} // namespace SaveLocationText

// What the dialog shows when it opens.
struct SaveLocationStart {
    QStringList history;      // the drop-down list
    QString folderText;       // the edit text
    bool useOriginalFileName = false; // "原文件名" selected, else "文章标题名称"
};

// Opening: the history from SaveList.dat (the dialog's own items when there
// is no file), the stored save folder (default: the Downloads folder +
// "/12345"), which also becomes Program().SaveFolder, and the naming choice
// of this run.
SaveLocationStart openSaveLocation(const QStringList &currentItems = {});

// OK. Creates the folder (with every missing parent); when that fails, shows
// "文件夹设置错误！" and returns false, the dialog staying open and nothing
// changed but the naming choice. Otherwise sets the three results, stores the
// folder, appends it to `history` (even when listed already) and writes the
// history file. Outer spaces of the text are ignored. Refused as well: a
// text that is not an absolute path (blank, or relative to wherever the
// program was started), and one with a name that cannot be made
// ("/papers/???/x"), which would otherwise leave the files in the part of
// the path made before it.
bool acceptSaveLocation(const QString &folderText, bool useOriginalFileName, QStringList &history);

// Cancel: only SaveDialogCancelled changes.
void cancelSaveLocation();
