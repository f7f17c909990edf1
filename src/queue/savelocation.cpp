#include "queue/savelocation.h"

#include "app/messages.h"
#include "app/settings.h"
#include "app/utilities.h"
#include "queue/savefolderhistory.h"

namespace {

// How many folders the creation walk has to pass for the path: those before
// the first empty component (a doubled or trailing "/" ends the walk).
int componentsToWalk(const QString &path)
{
    int n = 0;
    const QStringList parts = path.split(QLatin1Char('/'));
    qsizetype i = 0;
    while (i < parts.size() && parts.at(i).isEmpty())
        ++i; // the root
    for (; i < parts.size() && !parts.at(i).isEmpty(); ++i)
        ++n;
    return n;
}

// The folder for the typed text, created, or "" when the text names none.
// The creation walk ends early on a name that is nothing but illegal
// characters ("???") and answers with the part made so far, for "/???" the
// root: the files would then go to a folder the user never chose.
QString createSaveFolder(const QString &folderText)
{
    QString text = folderText.trimmed();
    // A relative text would depend on the program's current folder.
    if (!text.startsWith(QLatin1Char('/')))
        return {};
    if (!text.endsWith(QLatin1Char('/')))
        text += QLatin1Char('/');
    const QString folder = CreateFolderPath(text);
    if (folder.isEmpty() || folder.split(QLatin1Char('/'), Qt::SkipEmptyParts).size() != componentsToWalk(text))
        return {};
    return folder;
}

} // namespace

SaveLocationStart openSaveLocation(const QStringList &currentItems)
{
    SaveLocationStart start;
    bool found = false;
    start.history = LoadFolderHistoryLines(SaveListFilePath(), &found);
    if (!found)
        start.history = currentItems;
    ProgramValues &p = Program();
    p.SaveFolder = GetSetting(SettingKeys::Settings, SettingKeys::SaveFolder, Paths::defaultSaveFolder());
    start.folderText = p.SaveFolder;
    start.useOriginalFileName = p.UseOriginalFileName;
    return start;
}

bool acceptSaveLocation(const QString &folderText, bool useOriginalFileName, QStringList &history)
{
    ProgramValues &p = Program();
    p.UseOriginalFileName = useOriginalFileName;

    const QString folder = createSaveFolder(folderText);
    if (folder.isEmpty()) {
        Msg::error(SaveLocationText::FolderWrong);
        return false;
    }

    p.SaveFolder = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    SaveSetting(SettingKeys::Settings, SettingKeys::SaveFolder, p.SaveFolder);
    p.SaveDialogCancelled = false;
    history.append(folder.trimmed());
    SaveFolderHistoryLines(history, SaveListFilePath());
    return true;
}

void cancelSaveLocation() { Program().SaveDialogCancelled = true; }
