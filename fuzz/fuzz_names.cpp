// libFuzzer target for the header parsing and the content sniffing. Not part
// of the normal build; see build.sh.
#include "transfer/filetype.h"
#include "transfer/headers.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

bool shortLetters(const QString &s)
{
    if (s.size() > 5)
        return false;
    for (QChar c : s)
        if (!((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);

    QString extension;
    从下载头信息ContentDisposition获取文件名(从网络文件Header获取ContentDisposition(text), extension);
    if (!shortLetters(extension) || !shortLetters(ExtensionFromContentType(text)))
        std::abort();
    const QString type = TypeFromResponseHeaders(text, QStringLiteral("pdf"));
    if (type != QLatin1String("pdf") && !shortLetters(type))
        std::abort();
    QString base;
    SplitFileName(text, base);

    const QString path = dir.path() + QStringLiteral("/input");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.write(bytes);
        f.close();
        const QString sniffed = 打开文件判断文件类型(path);
        if (sniffed.size() > 4)
            std::abort();
    }
    return 0;
}
