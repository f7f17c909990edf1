#include "app/filenames.h"

#include "app/utilities.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

namespace {

const QString kSkip = QStringLiteral("跳过");
const QString kOverwrite = QStringLiteral("覆盖");
const QString kRename = QStringLiteral("重命名");

bool fileExistsOnDisk(const QString &path) { return FileExists(FileSystemPath(path)); }

// A plain decimal integer that fits our counter; anything else (signs,
// separators, overflowing digit runs) is not a number of ours.
bool plainNumber(const QString &text, qint64 &value)
{
    if (text.isEmpty() || text.size() > 15)
        return false;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    value = text.toLongLong();
    return true;
}

QString withSlash(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString counter(qint64 n, int digits) { return QStringLiteral("%1").arg(n, digits, 10, QLatin1Char('0')); }

} // namespace

QString DuplicateNamePolicyCaption(DuplicateNamePolicy policy)
{
    switch (policy) {
    case DuplicateNamePolicy::Skip: return kSkip;
    case DuplicateNamePolicy::Overwrite: return kOverwrite;
    case DuplicateNamePolicy::Rename: break;
    }
    return kRename;
}

DuplicateNamePolicy DuplicateNamePolicyFromCaption(const QString &caption)
{
    const QString c = caption.trimmed();
    if (c == kSkip)
        return DuplicateNamePolicy::Skip;
    if (c == kOverwrite)
        return DuplicateNamePolicy::Overwrite;
    return DuplicateNamePolicy::Rename;
}

QString FitFileName(const QString &name, const QString &tail)
{
    qsizetype budget = MaxFileNameBytes - tail.toUtf8().size();
    if (name.toUtf8().size() <= budget)
        return name;
    QString out;
    for (qsizetype i = 0; i < name.size() && budget > 0; ++i) {
        const bool pair = name.at(i).isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate();
        const QString c = pair ? name.mid(i, 2) : name.mid(i, 1);
        const qsizetype bytes = c.toUtf8().size();
        if (bytes > budget)
            break;
        out += c;
        budget -= bytes;
        if (pair)
            ++i;
    }
    // A cut that ends on a dot or a space would change what the name means.
    while (out.endsWith(QLatin1Char('.')) || out.endsWith(QLatin1Char(' ')))
        out.chop(1);
    return out;
}

QString 重命名保存路径(const QString &folder, const QString &name, const QString &type,
                       DuplicateNamePolicy policy, QString &newName)
{
    const QString dir = withSlash(folder);
    // Extensions are written in lower case: a row of type "PDF" is "x.pdf".
    const QString suffix = QLatin1Char('.') + type.toLower();
    const QString fitted = FitFileName(name, suffix);
    const QString path = dir + fitted + suffix;
    newName = fitted;
    if (policy == DuplicateNamePolicy::Overwrite || !fileExistsOnDisk(path))
        return path;

    // A name that already carries a number, "report[7]", continues from it.
    // The number counts only when it closes the name: cutting at an inner
    // "[n]" would drop whatever follows it ("a[7]b" must keep its "b").
    qint64 n = 0;
    QString base = name;
    const qsizetype open = base.lastIndexOf(QLatin1Char('['));
    const qsizetype close = base.lastIndexOf(QLatin1Char(']'));
    qint64 number = 0;
    if (open >= 0 && close == base.size() - 1 && open < close
        && plainNumber(base.mid(open + 1, close - open - 1).trimmed(), number)) {
        n = number;
        base = base.left(open);
    }
    base.replace(QLatin1Char('['), QStringLiteral("『"));
    base.replace(QLatin1Char(']'), QStringLiteral("』"));

    auto numbered = [&](qint64 k) {
        if (k == 0)
            return FitFileName(base, suffix);
        const QString number = QLatin1Char('[') + counter(k, 3) + QLatin1Char(']');
        return FitFileName(base, number + suffix) + number;
    };
    newName = numbered(n);
    while (fileExistsOnDisk(dir + newName + suffix)) {
        ++n;
        newName = numbered(n);
    }
    return dir + newName + suffix;
}

QString UniqueFilePath(const QString &path)
{
    if (!fileExistsOnDisk(path))
        return path;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return path;

    const QString dir = path.left(slash + 1);
    const QString file = path.mid(slash + 1);
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    QString base = dot >= 0 ? file.left(dot) : file;
    const QString extension = dot >= 0 ? file.mid(dot + 1) : QString();
    // At most 100 characters, never splitting a surrogate pair.
    if (base.size() > 100)
        base.truncate(base.at(99).isHighSurrogate() ? 99 : 100);

    if (base.endsWith(QLatin1Char(']'))) {
        const qsizetype open = base.lastIndexOf(QLatin1Char('['));
        qint64 ignored = 0;
        if (open >= 0 && plainNumber(base.mid(open + 1, base.size() - open - 2), ignored))
            base = base.left(open);
    }

    const QString suffix = extension.isEmpty() ? QString() : QLatin1Char('.') + extension;
    QString candidate = dir + FitFileName(base, suffix) + suffix;
    qint64 n = 0;
    while (fileExistsOnDisk(candidate)) {
        ++n;
        const QString number = QLatin1Char('[') + counter(n, 4) + QLatin1Char(']');
        candidate = dir + FitFileName(base, number + suffix) + number + suffix;
    }
    return candidate;
}

bool IsOverSizeLimit(qint64 bytes, double maxMB)
{
    return double(bytes) / 1024.0 / 1024.0 > maxMB;
}

QString ShortLetterRun(const QString &text)
{
    qsizetype n = 0;
    while (n < text.size()) {
        const QChar c = text.at(n);
        if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))))
            break;
        ++n;
    }
    return n > 5 ? QString() : text.left(n);
}

QString FileSystemPath(const QString &path)
{
    // Only a single trailing dot after a real name: "x." is "x", but "x..",
    // "." and ".." are left as they are.
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype fileLength = path.size() - slash - 1;
    if (fileLength >= 2 && path.endsWith(QLatin1Char('.')) && path.at(path.size() - 2) != QLatin1Char('.'))
        return path.left(path.size() - 1);
    return path;
}

bool OpenPartFile(QFile &file, const QString &target, QIODevice::OpenMode extra)
{
    const QFileInfo info(FileSystemPath(target));
    const QString dir = info.absolutePath();
    if (info.isDir() || !QFileInfo(dir).isDir())
        return false;
    // A bounded name: the target's own may already use all the bytes a name
    // can have.
    QString stem = info.fileName().left(40);
    if (!stem.isEmpty() && stem.back().isHighSurrogate())
        stem.chop(1);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString name = QStringLiteral("%1/.%2.%3.part")
                                 .arg(dir, stem)
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        file.setFileName(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly | extra))
            return true;
        if (!QFileInfo::exists(name))
            break; // not a name clash: other names will not help
    }
    return false;
}

namespace {
std::filesystem::path nativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}
} // namespace

bool ReplaceFile(const QString &from, const QString &to)
{
    std::error_code ec;
    std::filesystem::rename(nativePath(from), nativePath(to), ec);
    return !ec;
}

bool MoveFileInto(const QString &from, const QString &to)
{
    if (ReplaceFile(from, to))
        return true;
    QFile source(from);
    QFile part;
    bool ok = source.open(QIODevice::ReadOnly) && OpenPartFile(part, to);
    if (ok) {
        QByteArray buffer;
        while (ok && !source.atEnd()) {
            buffer = source.read(256 * 1024);
            ok = !buffer.isEmpty() && part.write(buffer) == buffer.size();
        }
        ok = ok && part.flush();
        part.close();
        ok = ok && ReplaceFile(part.fileName(), to);
        if (!ok)
            part.remove();
    }
    source.close();
    QFile::remove(from);
    return ok;
}
