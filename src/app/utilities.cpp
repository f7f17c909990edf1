#include "app/utilities.h"

#include "app/messages.h"
#include "transfer/codecs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QProcess>
#include <QTableView>
#include <QTreeView>
#include <QUrl>

namespace {

const QString FolderNameWrong = QStringLiteral("文件夹名称有误！不能创建文件夹！");
const QString FileMissing = QStringLiteral("文件不存在！");

// A name is cut to 200 bytes of its GBK form; the file system stores it in
// UTF-8 (255 bytes at most), so that form is held to 200 bytes as well.
constexpr int MaxNameBytes = 200;

QString leftUtf8Bytes(const QString &text, int n)
{
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const char16_t u = text.at(i).unicode();
        // A lone surrogate is written as the three-byte replacement character.
        const int size = pair ? 4 : u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        if (bytes + size > n)
            break;
        bytes += size;
        i += pair ? 2 : 1;
    }
    return text.left(i);
}

QHeaderView *reportHeader(QAbstractItemView *list)
{
    if (auto *tree = qobject_cast<QTreeView *>(list))
        return tree->header();
    if (auto *table = qobject_cast<QTableView *>(list))
        return table->horizontalHeader();
    return nullptr; // icon and list views have no columns to size
}

Shell::Opener g_opener;
Shell::Starter g_starter;

} // namespace

bool FolderExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool FileExists(const QString &path)
{
    QString p = path;
    // "file:///home/a.pdf" names "/home/a.pdf": the third slash is the root.
    if (p.left(8).compare(QLatin1String("file:///"), Qt::CaseInsensitive) == 0)
        p = p.mid(7);
    return !p.isEmpty() && QFileInfo(p).isFile();
}

QString CreateFolderPath(const QString &path)
{
    if (path.isEmpty())
        return {};
    QString full = path;
    if (!full.startsWith(QLatin1Char('/')))
        full = QDir::currentPath() + QLatin1Char('/') + full;

    // However many slashes it begins with, the path starts at the root, which
    // is used as it is (never cleaned or created); "result" is empty for it.
    qsizetype start = 0;
    while (start < full.size() && full.at(start) == QLatin1Char('/'))
        ++start;
    const QStringList components = full.mid(start).split(QLatin1Char('/'));

    QString result;
    for (const QString &raw : components) {
        if (raw.isEmpty())
            break; // a doubled or trailing "/" ends the walk
        // A folder that exists is taken as it is written: here a hidden
        // folder (".papers") or a name with a colon is an ordinary folder,
        // and cleaning it would put the files into a new one beside it.
        // "." and ".." never pass, so the walk cannot climb.
        if (raw != QLatin1String(".") && raw != QLatin1String("..") && FolderExists(result + QLatin1Char('/') + raw)) {
            result += QLatin1Char('/') + raw;
            continue;
        }
        const QString component = SanitizeFileName(raw);
        if (component.isEmpty()) {
            Msg::error(FolderNameWrong);
            break; // the folders made so far stay
        }
        result += QLatin1Char('/') + component;
        if (!FolderExists(result))
            QDir().mkdir(result); // a failure shows in the final test
    }
    if (result.isEmpty())
        return QStringLiteral("/");
    return FolderExists(result) ? result : QString();
}

QString SanitizeFileName(const QString &name)
{
    QString s = name;
    for (const QChar c : {u'\\', u'/', u':', u'*', u'?', u'"', u'<', u'>', u'|'})
        s.remove(c);
    s.remove(QStringLiteral("\r\n"));
    s.remove(QLatin1Char('\n'));
    s.remove(QLatin1Char('\r'));
    s.remove(QChar(0));
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s.at(begin) == QLatin1Char('.'))
        ++begin;
    while (end > begin && s.at(end - 1) == QLatin1Char('.'))
        --end;
    s = s.mid(begin, end - begin);
    s = leftUtf8Bytes(LeftAnsiBytes(s, MaxNameBytes), MaxNameBytes);
    // The cut may end on a dot ("aaa.b" cut after "aaa."), which the file
    // system would then see as part of the type.
    while (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

void OpenUrlInBrowser(const QString &url, bool useOpenBrowserWindow)
{
    // An open browser window is reached through the desktop's URL handler
    // too, so both ways in start with it; the browser program itself is the
    // last resort, unchecked.
    Q_UNUSED(useOpenBrowserWindow);
    if (url.trimmed().isEmpty())
        return;
    if (Shell::open(QUrl::fromUserInput(url)))
        return;
    Shell::start(QStringLiteral("xdg-open"), {url});
}

void OpenFileWithShell(const QString &path, QWidget *owner)
{
    Q_UNUSED(owner);
    const QFileInfo info(path);
    // Hidden files count as missing here, as do folders.
    if (path.isEmpty() || !info.isFile() || info.fileName().startsWith(QLatin1Char('.'))) {
        Msg::error(FileMissing);
        return;
    }
    if (!Shell::open(QUrl::fromLocalFile(info.absoluteFilePath())))
        Shell::start(QStringLiteral("xdg-open"), {info.absoluteFilePath()});
}

bool IsFormLoaded(const QString &name)
{
    if (name.isEmpty())
        return false; // would otherwise match any unnamed window
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *w : windows)
        if (w->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void AutoSizeListColumn(QAbstractItemView *list, int column, int mode)
{
    QHeaderView *header = reportHeader(list);
    if (!header || column <= 0 || column > header->count())
        return;
    const int index = column - 1;
    int width;
    if (mode == -2)
        width = qMax(list->sizeHintForColumn(index), header->sectionSizeHint(index));
    else if (mode == -1)
        width = list->sizeHintForColumn(index);
    else if (mode >= 0)
        width = mode;
    else
        return;
    header->resizeSection(index, qMax(0, width));
}

void AutoSizeListColumns(QAbstractItemView *list, int mode)
{
    const QHeaderView *header = reportHeader(list);
    if (!header)
        return;
    const int count = header->count();
    for (int column = 1; column <= count; ++column)
        AutoSizeListColumn(list, column, mode);
}

namespace Shell {

void setOpener(Opener opener) { g_opener = std::move(opener); }

bool open(const QUrl &url)
{
    if (g_opener)
        return g_opener(url);
    return QDesktopServices::openUrl(url);
}

void setStarter(Starter starter) { g_starter = std::move(starter); }

bool start(const QString &program, const QStringList &arguments)
{
    if (g_starter)
        return g_starter(program, arguments);
    return QProcess::startDetached(program, arguments);
}

} // namespace Shell
