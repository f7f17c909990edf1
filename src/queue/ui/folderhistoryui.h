#pragma once
// The save-folder history in a drop-down box, and the folder picker of the
// browse buttons ("..."), over the file and rules of queue/savefolderhistory.h.
#include <QString>

class QComboBox;
class QWidget;

// Replaces the box's entries with the folders of the file; without a file
// the box keeps what it has.
void LoadFolderHistory(QComboBox *box, const QString &filePath);
// Writes the box's entries to the file; errors are not reported.
void SaveFolderHistory(const QComboBox *box, const QString &filePath);
// Opens the platform's folder chooser on BrowseInitialFolder(startFolder);
// the chosen folder, or the start folder when cancelled, ending in "/".
QString BrowseForFolder(QWidget *owner, const QString &startFolder, const QString &prompt, bool includeFiles);
