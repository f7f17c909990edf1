#include "queue/savefolderhistory.h"

#include "app/paths.h"
#include "app/codecs.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

namespace {

// Only spaces count as outer blanks of a line; a tab may be part of a name.
QString trimSpaces(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

bool representableInAnsi(const QString &text) { return FromAnsi(ToAnsi(text)) == text; }

// The newest `FolderHistoryLimit` entries the loader will take in full.
QStringList boundedForLoader(const QStringList &folders)
{
    QStringList entries;
    QSet<QString> seen;
    for (const QString &folder : folders) {
        const QString line = trimSpaces(folder);
        if (line.isEmpty())
            continue;
        // The first of equal entries is the one the loader keeps.
        if (!seen.contains(line.toLower())) {
            seen.insert(line.toLower());
            entries.append(folder);
        }
    }
    if (entries.size() > FolderHistoryLimit)
        entries = entries.mid(entries.size() - FolderHistoryLimit);
    return entries;
}

} // namespace

QString SaveListFilePath() { return Paths::dataDir() + QStringLiteral("/SaveList.dat"); }

QStringList LoadFolderHistoryLines(const QString &filePath, bool *found)
{
    if (found)
        *found = false;
    QStringList items;
    if (!QFileInfo(filePath).isFile())
        return items;
    if (found)
        *found = true;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return items;
    const QByteArray bytes = file.readAll();

    QSet<QString> seen;
    int accepted = 0;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = pos;
        while (end < bytes.size() && bytes.at(end) != '\r' && bytes.at(end) != '\n')
            ++end;
        const QString line = trimSpaces(FromAnsi(bytes.mid(pos, end - pos)));
        pos = end;
        if (pos < bytes.size() && bytes.at(pos) == '\r')
            ++pos;
        if (pos < bytes.size() && bytes.at(pos) == '\n')
            ++pos;
        if (line.isEmpty())
            continue;
        if (++accepted > FolderHistoryLimit)
            break;
        const QString folded = line.toLower();
        if (seen.contains(folded))
            continue;
        seen.insert(folded);
        items.append(line);
    }
    return items;
}

QByteArray FolderHistoryBytes(const QStringList &folders)
{
    QStringList entries;
    for (const QString &folder : folders)
        if (representableInAnsi(folder))
            entries.append(folder);
    qsizetype nonEmpty = 0;
    for (const QString &entry : entries)
        nonEmpty += !trimSpaces(entry).isEmpty();
    if (nonEmpty > FolderHistoryLimit)
        entries = boundedForLoader(entries);

    if (entries.isEmpty())
        return QByteArrayLiteral("\r\n");
    QByteArray bytes;
    for (const QString &entry : entries)
        bytes += ToAnsi(entry) + "\r\n";
    return bytes;
}

bool SaveFolderHistoryLines(const QStringList &folders, const QString &filePath)
{
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = FolderHistoryBytes(folders);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString BrowseInitialFolder(const QString &startFolder)
{
    QString initial = startFolder;
    if (initial.trimmed().isEmpty())
        return QStringLiteral("/");
    const qsizetype slash = initial.left(initial.size() - 1).lastIndexOf(QLatin1Char('/'));
    if (slash >= 0)
        initial = initial.left(slash + 1);
    return QFileInfo(initial).isDir() ? initial : QStringLiteral("/");
}

QString BrowseResult(const QString &chosen, const QString &startFolder)
{
    QString result = chosen.isEmpty() ? startFolder : chosen;
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}
