#include "transfer/headers.h"

#include "app/utilities.h"
#include "app/codecs.h"
#include "transfer/filetype.h"

#include <QStringList>

namespace {

QString headerLineValue(const QString &headers, const QString &nameWithColon)
{
    const QStringList lines = headers.split(QStringLiteral("\r\n"));
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.left(nameWithColon.size()).toLower() == nameWithColon)
            return line.mid(nameWithColon.size()).trimmed();
    }
    return QString();
}

} // namespace

QString 从网络文件Header获取ContentDisposition(const QString &headers)
{
    return headerLineValue(headers, QStringLiteral("content-disposition:"));
}

QString 从下载头信息ContentDisposition获取文件名(const QString &value, QString &extension)
{
    extension.clear();
    const QString v = value.trimmed();
    static const QString key = QStringLiteral("filename=");
    const qsizetype at = v.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();

    QString name = v.mid(at + key.size()).trimmed();
    const qsizetype semicolon = name.indexOf(QLatin1Char(';'));
    if (semicolon >= 0)
        name = name.left(semicolon).trimmed();
    name.remove(QLatin1Char('"'));
    name.remove(QLatin1Char('\''));
    name = CleanHeaderText(name);

    QString base = name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        base = name.left(dot).trimmed();
        extension = ShortLetterRun(name.mid(dot + 1).trimmed());
    }

    const bool utf8 = value.contains(QStringLiteral("utf-8"), Qt::CaseInsensitive);
    return (utf8 ? UrlDecodeAuto(base) : UrlDecodeUtf8(base)).trimmed();
}

QString TypeFromResponseHeaders(const QString &contentType, const QString &headerBlock,
                                const QString &currentType)
{
    const QStringList parts = contentType.trimmed().split(QLatin1Char(';'));
    const QString mime = parts.value(0).trimmed();
    bool hasCharset = false;
    if (parts.size() > 1) {
        // "text/html; charset=utf-8": the space after the semicolon is usual,
        // so the parameter is trimmed before its name is compared.
        const QString param = parts.at(1).trimmed();
        hasCharset = param.left(8).toLower() == QLatin1String("charset=");
    }

    QString extension = ExtensionFromContentType(mime);
    if (extension.isEmpty()) {
        QString fromDisposition;
        从下载头信息ContentDisposition获取文件名(从网络文件Header获取ContentDisposition(headerBlock), fromDisposition);
        extension = fromDisposition;
    }
    if (extension.isEmpty() && hasCharset)
        extension = QStringLiteral("htm");
    return extension.isEmpty() ? currentType : extension;
}

QString TypeFromResponseHeaders(const QString &headerBlock, const QString &currentType)
{
    return TypeFromResponseHeaders(headerLineValue(headerBlock, QStringLiteral("content-type:")), headerBlock,
                                   currentType);
}

