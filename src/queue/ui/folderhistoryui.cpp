#include "queue/ui/folderhistoryui.h"

#include "queue/savefolderhistory.h"

#include <QComboBox>
#include <QFileDialog>

void LoadFolderHistory(QComboBox *box, const QString &filePath)
{
    bool found = false;
    const QStringList folders = LoadFolderHistoryLines(filePath, &found);
    if (!box || !found)
        return;
    box->clear();
    box->addItems(folders);
}

void SaveFolderHistory(const QComboBox *box, const QString &filePath)
{
    if (!box)
        return;
    QStringList folders;
    for (int i = 0; i < box->count(); ++i)
        folders << box->itemText(i);
    SaveFolderHistoryLines(folders, filePath);
}

QString BrowseForFolder(QWidget *owner, const QString &startFolder, const QString &prompt, bool includeFiles)
{
    const QFileDialog::Options options = includeFiles ? QFileDialog::Options() : QFileDialog::ShowDirsOnly;
    const QString chosen = QFileDialog::getExistingDirectory(owner, prompt, BrowseInitialFolder(startFolder), options);
    return BrowseResult(chosen, startFolder);
}
