#include "app/utilities.h"

#include "app/messages.h"
#include "app/codecs.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
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
    // Names come from page titles, URLs and headers: a control character
    // there would reach the file name and, printed, the user's terminal
    // (ESC and BEL rewrite it). A tab is a space; the others go.
    s.replace(QLatin1Char('\t'), QLatin1Char(' '));
    s.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
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

void OpenFileWithShell(const QString &path)
{
    const QFileInfo info(path);
    // Hidden files count as missing here, as do folders.
    if (path.isEmpty() || !info.isFile() || info.fileName().startsWith(QLatin1Char('.'))) {
        Msg::error(FileMissing);
        return;
    }
    if (!Shell::open(QUrl::fromLocalFile(info.absoluteFilePath())))
        Shell::start(QStringLiteral("xdg-open"), {info.absoluteFilePath()});
}

namespace Shell {

void setOpener(Opener opener) { g_opener = std::move(opener); }

bool open(const QUrl &url)
{
    if (g_opener)
        return g_opener(url);
    // Without a window system there is no desktop service to ask; the
    // desktop's own opener is tried as a program.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString()});
}

void setStarter(Starter starter) { g_starter = std::move(starter); }

bool start(const QString &program, const QStringList &arguments)
{
    if (g_starter)
        return g_starter(program, arguments);
    return QProcess::startDetached(program, arguments);
}

} // namespace Shell
