#pragma once
// The save-folder history shared by the save-location and the copy/move
// dialogs: SaveList.dat in the program's folder, one folder per line, GBK,
// every line ended by CR LF; an empty history is the file "\r\n".
#include <QString>
#include <QStringList>

// At most this many non-empty lines are taken in from the file.
inline constexpr int FolderHistoryLimit = 100;

// The history file: the program's folder + "/SaveList.dat".
QString SaveListFilePath();

// The folders of the file in file order. Lines end at CR LF, CR or LF; outer
// spaces are removed and empty lines skipped. Only the first 100 non-empty
// lines are read, and a line equal to an earlier one (ignoring letter case)
// is dropped but still counts toward the 100. `found` is false when no
// ordinary file is at the path: the caller then keeps the entries it has.
// Read errors keep what was read so far.
QStringList LoadFolderHistoryLines(const QString &filePath, bool *found = nullptr);

// Writes the folders, each followed by CR LF, or a single CR LF for an empty
// list. The old file is replaced only once the new one is complete, so a
// failed write (false) leaves it as it was.
//
// The loader keeps the first 100 lines, so a folder appended to a full
// history would be written once and lost at the next load. A list of more
// than 100 non-empty entries is therefore first freed of the entries the
// loader would drop as repeats, and then of its oldest entries, down to the
// newest 100.
//
// Entries that GBK cannot represent are left out: written as "?" they would
// come back as another folder.
bool SaveFolderHistoryLines(const QStringList &folders, const QString &filePath);

// The bytes SaveFolderHistoryLines writes for the list.
QByteArray FolderHistoryBytes(const QStringList &folders);

// The folder picker's rules around the platform's chooser. The chooser opens
// on the parent of the start folder ("/a/b/" and "/a/b" both open on "/a/"),
// on "/" when the start folder is blank or that parent does not exist.
QString BrowseInitialFolder(const QString &startFolder);
// What the picker answers: the chosen folder, or the start folder when the
// user cancelled, always with a trailing "/".
QString BrowseResult(const QString &chosen, const QString &startFolder);
