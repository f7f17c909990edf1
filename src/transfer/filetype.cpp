#include "transfer/filetype.h"

#include "app/utilities.h"
#include "app/codecs.h"
#include "transfer/headers.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

#include <algorithm>
#include <initializer_list>

namespace {

// ---- Content-Type table ---------------------------------------------------

using Table = QHash<QString, QString>;

const QHash<QString, Table> &contentTypeTable()
{
    static const QHash<QString, Table> table = [] {
        QHash<QString, Table> t;
        auto add = [&t](const char *main, std::initializer_list<const char *> subtypes, const char *candidate) {
            for (const char *sub : subtypes)
                t[QLatin1String(main)].insert(QLatin1String(sub),
                                              candidate ? QLatin1String(candidate) : QLatin1String(sub));
        };
        // A null candidate means "the subtype itself".
        add("application", {"octet-stream"}, "");
        add("application", {"x-shockwave-flash"}, "swf");
        add("application", {"x-javascript"}, "js");
        add("application", {"vnd.rn-realmedia"}, "rm");
        add("application", {"vnd.ms-wpl"}, "wpl");
        add("application", {"kdh", "caj", "pdf", "caa", "nh"}, nullptr);
        add("application", {"vnd.ms-works"}, "wps");
        add("application", {"ppt", "vnd.ms-powerpoint"}, "ppt");
        add("application", {"doc", "msword"}, "doc");
        add("application", {"docx", "vnd.openxmlformats-officedocument.wordprocessingml.document"}, "docx");
        add("application", {"rtf"}, "rtf");
        add("application", {"xls", "vnd.ms-excel", "x-excel"}, "xls");
        add("application", {"xlsx", "vnd.openxmlformats-officedocument.spreadsheetml.sheet"}, "xlsx");
        add("application", {"pptx", "vnd.openxmlformats-officedocument.presentationml.presentation"}, "pptx");
        add("application", {"pps"}, "pps");
        add("application", {"ppsx", "vnd.openxmlformats-officedocument.presentationml.slideshow"}, "ppsx");
        add("application", {"dll", "x-msdownload"}, "dll");
        add("application", {"tar", "x-tar"}, "tar");
        add("application", {"tgz", "x-compressed"}, "tgz");
        add("application", {"zip", "x-zip-compressed"}, "zip");
        add("application", {"z", "x-compress"}, "z");
        add("text", {"html", "txt", "htm", "xml", "css"}, nullptr);
        add("text", {"plain"}, "txt");
        add("image", {"jpg", "jpeg", "gif", "png", "bmp", "tif", "pjpeg", "g3fax", "ief"}, nullptr);
        add("image", {"tiff"}, "tif");
        add("image", {"x-png"}, "png");
        add("image", {"x-ms-bmp"}, "bmp");
        add("image", {"x-icon"}, "ico");
        add("video", {"mpeg"}, "mpeg");
        add("video", {"mpeg4"}, "mp4");
        add("video", {"x-msvideo"}, "avi");
        add("video", {"x-ms-asf"}, "asf");
        add("video", {"x-ms-wmv"}, "wmv");
        add("video", {"quicktime"}, "mov");
        add("audio", {"amr"}, "amr");
        add("audio", {"x-ms-wma"}, "wma");
        add("audio", {"x-wav"}, "wav");
        add("audio", {"x-pn-realaudio"}, "ram");
        add("audio", {"midi"}, "mid");
        add("audio", {"x-mpegurl"}, "mpeg");
        add("message", {"rfc822"}, "mht");
        return t;
    }();
    return table;
}

// ---- Signatures ------------------------------------------------------------

struct Run {
    int offset;
    const char *bytes;
    int length;
};

struct Signature {
    std::initializer_list<Run> runs;
    const char *type;
};

#define RUN(offset, literal) Run{offset, literal, int(sizeof(literal) - 1)}

// In order: the first match wins.
const Signature kSignatures[] = {
    {{RUN(0, "%PDF")}, "pdf"},
    {{RUN(0, "\xC8\x00\x00\x00")}, "caj"},
    {{RUN(0, "CAJ\x00")}, "kdh"},
    {{RUN(0, "KDH ")}, "kdh"},
    {{RUN(0, "HN\x00\x00")}, "nh"},
    {{RUN(0, "II*\x00")}, "tif"},
    {{RUN(0, "{\\rtf")}, "rtf"},
    {{RUN(0, "MZ")}, "exe"},
    {{RUN(0, "Rar!")}, "rar"},
    {{RUN(0, "PK\x03\x04\x14\x00\x00\x00\x08")}, "zip"},
    {{RUN(0, "PK\x03\x04\x14\x00\x06\x00\x08\x00")}, "docx"},
    {{RUN(0, "CWS\x06")}, "swf"},
    {{RUN(0, ".RMF")}, "rm"},
    {{RUN(0, "\x30\x26\xB2\x75\x8E")}, "wma"},
    {{RUN(0, "ID3\x03")}, "mp3"},
    {{RUN(0, "\x89PNG\r\n\x1A\n")}, "png"},
    {{RUN(0, "GIF89a")}, "gif"},
    {{RUN(0, "\xFF\xD8\xFF\xE1"), RUN(6, "Exif"), RUN(12, "MM\x00\x2A")}, "jpg"},
    {{RUN(0, "\xFF\xD8\xFF\xE0"), RUN(4, "\x00\x10"), RUN(6, "JFIF")}, "jpg"},
};
const Run kCompoundDocument = RUN(0, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
const Run kCompoundDoc = RUN(512, "\xEC\xA5\xC1\x00");
const Run kCompoundXls = RUN(512, "\x09\x08\x10\x00");

#undef RUN

bool matches(const QByteArray &b, const Run &run)
{
    return std::equal(run.bytes, run.bytes + run.length, b.constData() + run.offset);
}

// Index one past the last byte a set of runs names.
int extent(std::initializer_list<Run> runs)
{
    int end = 0;
    for (const Run &r : runs)
        end = std::max(end, r.offset + r.length);
    return end;
}

enum class Verdict { Type, NoMatch, OutOfBytes };

// The signature tests over the first bytes. A test needs every byte it names;
// one that would look past the buffer ends the detection with no type. For
// the compound-document test the bytes at 512 are needed only once its
// header has matched, so shorter files still reach the text tests.
Verdict signatureType(const QByteArray &b, QString &type)
{
    const int size = int(b.size());
    for (const Signature &s : kSignatures) {
        if (extent(s.runs) > size)
            return Verdict::OutOfBytes;
        if (std::all_of(s.runs.begin(), s.runs.end(), [&b](const Run &r) { return matches(b, r); })) {
            type = QLatin1String(s.type);
            return Verdict::Type;
        }
    }
    if (kCompoundDocument.length > size)
        return Verdict::OutOfBytes;
    if (!matches(b, kCompoundDocument))
        return Verdict::NoMatch;
    if (516 > size)
        return Verdict::OutOfBytes;
    if (matches(b, kCompoundDoc))
        type = QStringLiteral("doc");
    else if (matches(b, kCompoundXls))
        type = QStringLiteral("xls");
    else if (uchar(b.at(515)) == 0xF0)
        type = QStringLiteral("ppt");
    return type.isEmpty() ? Verdict::NoMatch : Verdict::Type;
}

bool looksLikeHtml(const QString &text)
{
    auto has = [&text](const char *s) { return text.contains(QLatin1String(s), Qt::CaseInsensitive); };
    return (has("<html ") || has("html>")) && (has("<title>") || has("<head>") || has("<body>"));
}

bool looksLikeCaa(const QString &text)
{
    for (const char *s : {"A1=", "[TARGET]", "A2=", "B1=", "B2=", "C1=", "C2=", "D1=", "D2=", "DOCTYPE="})
        if (!text.contains(QLatin1String(s), Qt::CaseInsensitive))
            return false;
    return true;
}

constexpr qint64 kHeadBytes = 10240;
constexpr qint64 kTailBytes = 128;

QString sniff(const QString &fsPath)
{
    QFile file(fsPath);
    // Unbuffered, so that no more is read than the tests below ask for.
    if (!QFileInfo(fsPath).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QString();
    const qint64 length = file.size();
    // min(L, 10240) + 1 bytes: one past the end of a short file, which then
    // reads as 0, and the 10241st byte of a long one.
    const qint64 wanted = std::min(length, kHeadBytes) + 1;
    QByteArray b = file.read(wanted);
    if (file.error() != QFileDevice::NoError)
        return QString();
    b.resize(wanted, '\0');

    QString type;
    switch (signatureType(b, type)) {
    case Verdict::Type: return type;
    case Verdict::OutOfBytes: return QString();
    case Verdict::NoMatch: break;
    }

    if (length > kTailBytes && file.seek(length - kTailBytes)) {
        const QByteArray tail = file.read(kTailBytes);
        if (tail.startsWith("TAG"))
            return QStringLiteral("mp3");
    }
    file.close();

    const qint64 kib = length / 1024;
    if (kib < 200 && looksLikeHtml(FromAnsi(b)))
        return QStringLiteral("htm");
    // Files under 3 KB are wholly inside the first buffer already.
    if (kib < 3 && looksLikeCaa(FromAnsi(b.left(length))))
        return QStringLiteral("caa");
    return QString();
}

QString firstUrl(const QString &key)
{
    const qsizetype bar = key.indexOf(QLatin1Char('|'));
    return bar < 0 ? key : key.left(bar);
}

QString folderWithSlash(const QString &folder)
{
    return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// The URL as it may stand inside a single-quoted attribute of a page of any
// encoding: quote, angle brackets, controls and non-ASCII characters are
// percent-encoded (the last as UTF-8, as browsers send them).
QByteArray attributeUrl(const QString &url)
{
    QByteArray out;
    for (const char ch : url.toUtf8()) {
        const uchar c = uchar(ch);
        if (c < 0x20 || c >= 0x7F || c == '\'' || c == '<' || c == '>')
            out += '%' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
        else
            out += char(c);
    }
    return out;
}

// Offset of the first "</head>" (any case), or -1. Reads in blocks so that a
// large page is never held whole in memory.
qint64 findHeadEnd(QFile &file)
{
    static const QByteArray tag("</head>");
    constexpr qint64 block = 64 * 1024;
    QByteArray carry;
    qint64 carryStart = 0;
    while (true) {
        const QByteArray chunk = file.read(block);
        if (chunk.isEmpty())
            return -1;
        const QByteArray window = (carry + chunk).toLower();
        const qsizetype at = window.indexOf(tag);
        if (at >= 0)
            return carryStart + at;
        const qsizetype keep = std::min<qsizetype>(tag.size() - 1, window.size());
        carryStart += window.size() - keep;
        carry = (carry + chunk).right(keep);
    }
}

bool copyBytes(QFile &from, QSaveFile &to, qint64 count)
{
    constexpr qint64 block = 64 * 1024;
    while (count != 0) {
        const qint64 want = count < 0 ? block : std::min(block, count);
        const QByteArray chunk = from.read(want);
        if (chunk.isEmpty())
            return count < 0 && !from.error();
        if (to.write(chunk) != chunk.size())
            return false;
        if (count > 0)
            count -= chunk.size();
    }
    return true;
}

} // namespace

QString ItemFilePath(const ItemFile &item)
{
    const QString path = folderWithSlash(item.folder) + item.name;
    // The extension on disk is the type in lower case.
    return item.type.isEmpty() ? path : path + QLatin1Char('.') + item.type.toLower();
}

QString ExtensionFromContentType(const QString &mime)
{
    const QStringList parts = mime.split(QLatin1Char('/'));
    const QString main = parts.first().trimmed().toLower();
    QString candidate = main;
    if (parts.size() == 2) {
        QString sub = parts.at(1);
        sub.remove(QLatin1Char(' '));
        sub = sub.trimmed().toLower();
        const auto table = contentTypeTable().constFind(main);
        if (table == contentTypeTable().constEnd())
            candidate = sub;
        else if (sub.isEmpty() || sub == QLatin1String("*"))
            candidate.clear();
        else
            candidate = table->value(sub, sub);
    }
    return ShortLetterRun(candidate);
}

QString 打开文件判断文件类型(const QString &path)
{
    const QString fsPath = FileSystemPath(path);
    if (!FileExists(fsPath))
        return QString();
    return sniff(fsPath).toLower();
}

bool CorrectFileType(ItemFile &item)
{
    const QString current = ItemFilePath(item);
    if (!FileExists(FileSystemPath(current)))
        return false;
    const QString detected = 打开文件判断文件类型(current);
    if (detected.isEmpty() || detected.compare(item.type, Qt::CaseInsensitive) == 0)
        return false;

    const QString suffix = QLatin1Char('.') + detected;
    const QString target = UniqueFilePath(folderWithSlash(item.folder) + item.name + suffix);
    // QFile::rename refuses to replace an existing file, so a name taken in
    // the meantime fails the move instead of destroying that file.
    if (!QFile::rename(FileSystemPath(current), target) || !FileExists(target))
        return false;

    // The new name is what stands before the extension, exactly (a trimmed
    // name would no longer name the file when it has outer spaces).
    const QString file = target.mid(target.lastIndexOf(QLatin1Char('/')) + 1);
    if (file.endsWith(suffix))
        item.name = file.left(file.size() - suffix.size());
    else
        SplitFileName(target, item.name);
    item.type = detected;
    return true;
}

bool InsertBaseHref(const ItemFile &item)
{
    const QString lower = item.type.toLower();
    if (lower != QLatin1String("htm") && lower != QLatin1String("html"))
        return false;
    const QString path = FileSystemPath(ItemFilePath(item));
    if (!FileExists(path))
        return false;
    const QString url = firstUrl(item.key);
    if (url.isEmpty())
        return false;

    QFile page(path);
    if (!page.open(QIODevice::ReadOnly))
        return false;
    const qint64 at = findHeadEnd(page);
    if (at < 0 || !page.seek(0))
        return false;

    // The page's own bytes are copied unchanged around the new tag; the old
    // file is replaced only when the whole new content has been written.
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray tag = "<Base href='" + attributeUrl(url) + "'>";
    if (!copyBytes(page, out, at) || out.write(tag) != tag.size() || !copyBytes(page, out, -1)) {
        out.cancelWriting();
        return false;
    }
    page.close();
    return out.commit();
}

QString SplitFileName(const QString &path, QString &base)
{
    const QString trimmed = path.trimmed();
    const QString file = trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || file.size() - dot - 1 >= 7) {
        base = file.trimmed();
        return QString();
    }
    base = file.left(dot).trimmed();
    return file.mid(dot + 1).trimmed();
}
