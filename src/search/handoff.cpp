#include "search/handoff.h"

#include "app/settings.h"
#include "app/utilities.h"
#include "queue/downloadlist.h"
#include "search/harvestlist.h"

#include <QUrl>

namespace {

const QString Unnamed = QStringLiteral("未命名");

QString withoutExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 ? name.left(dot).trimmed() : name;
}

// The last path segment that names more than the file's type: today's PMC
// PDF links end in ".../PMC123/pdf/", where "pdf" says nothing of the file.
QString lastPathSegment(const QUrl &url, const QString &type)
{
    const QStringList segments = url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = segments.size() - 1; i >= 0; --i) {
        const QString name = SanitizeFileName(withoutExtension(segments.at(i)));
        if (name.isEmpty())
            continue;
        if (i > 0 && !type.isEmpty() && name.compare(type, Qt::CaseInsensitive) == 0)
            continue;
        return name;
    }
    return {};
}

} // namespace

QString FileNameFromUrl(const QString &url, bool stripExtension)
{
    QString name = url;
    name.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const qsizetype slash = name.lastIndexOf(QLatin1Char('\\'));
    if (slash >= 0)
        name = name.mid(slash + 1).trimmed();
    if (stripExtension)
        name = withoutExtension(name);
    return name;
}

QString HandOffFileName(const QString &url, const QString &title, const QString &type, bool useOriginalFileName)
{
    const QString fromUrl = SanitizeFileName(FileNameFromUrl(url, true));
    QString name = useOriginalFileName ? fromUrl : SanitizeFileName(StripLineBreaks(title).trimmed());
    if (name.isEmpty())
        name = fromUrl;
    if (!name.isEmpty())
        return name;
    const QUrl parsed(url.trimmed());
    name = lastPathSegment(parsed, type);
    if (name.isEmpty())
        name = SanitizeFileName(parsed.host());
    return name.isEmpty() ? Unnamed : name;
}

bool 加入下载列表(DownloadList &list, const QString &url, const QString &title, const QString &type,
                  const QString &saveFolder, bool useOriginalFileName)
{
    if (url.isEmpty() || list.indexOfKey(url) >= 0)
        return false;
    QString folder = saveFolder;
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return list.add(url, HandOffFileName(url, title, type, useOriginalFileName), SanitizeFileName(type), folder);
}

bool 加入下载列表(DownloadList &list, const QString &url, const QString &title, const QString &type)
{
    const ProgramValues &p = Program();
    return 加入下载列表(list, url, title, type, p.SaveFolder, p.UseOriginalFileName);
}
