#include "app/utilities.h"
#include "support/testhome.h"
#include "transfer/headers.h"

#include <QFile>
#include <QRegularExpression>

namespace {

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
}

} // namespace

class TestHeaders : public QObject {
    Q_OBJECT
private slots:
    void dispositionLine_data()
    {
        QTest::addColumn<QString>("headers");
        QTest::addColumn<QString>("value");
        QTest::newRow("found and trimmed")
            << "HTTP/1.1 200 OK\r\nContent-Type: application/pdf\r\n  Content-Disposition:  attachment; filename=a.pdf \r\n"
            << "attachment; filename=a.pdf";
        QTest::newRow("capitals") << "CONTENT-DISPOSITION: inline" << "inline";
        QTest::newRow("space before colon") << "Content-Disposition : inline" << "";
        QTest::newRow("first of two") << "content-disposition:a\r\ncontent-disposition:b" << "a";
        QTest::newRow("none") << "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n" << "";
        QTest::newRow("empty") << "" << "";
    }
    void dispositionLine()
    {
        QFETCH(QString, headers);
        QFETCH(QString, value);
        QCOMPARE(从网络文件Header获取ContentDisposition(headers), value);
    }

    void dispositionFileName_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("extension");
        QTest::newRow("quoted") << "attachment; filename=\"paper.PDF\"" << "paper" << "PDF";
        QTest::newRow("utf-8 escapes without the word") << "attachment; filename=%E6%96%87%E7%8C%AE.pdf"
                                                        << QStringLiteral("文献") << "pdf";
        QTest::newRow("utf-8 mentioned") << "attachment; filename=\"%E6%96%87.pdf\"; charset=UTF-8"
                                         << QStringLiteral("文") << "pdf";
        QTest::newRow("last dot") << "attachment; filename=data.tar.gz" << "data.tar" << "gz";
        QTest::newRow("letters only") << "filename=a.mp4" << "a" << "mp";
        QTest::newRow("digit first") << "filename=archive.7z" << "archive" << "";
        QTest::newRow("too long") << "filename=x.abcdefg" << "x" << "";
        QTest::newRow("no dot") << "filename=README" << "README" << "";
        QTest::newRow("parameters after") << "inline; FILENAME= 'a b.doc' ; size=10" << "a b" << "doc";
        QTest::newRow("no filename") << "attachment" << "" << "";
        QTest::newRow("controls removed") << QStringLiteral("filename=\"a\tb\r\n.pd\0f\"") << "ab" << "pdf";
        QTest::newRow("plus is a space") << "filename=a+b.pdf" << "a b" << "pdf";
        QTest::newRow("path in the name") << "filename=\"../../etc/cron.d/x\"" << "../../etc/cron" << "d";
    }
    void dispositionFileName()
    {
        QFETCH(QString, value);
        QFETCH(QString, base);
        QFETCH(QString, extension);
        QString ext = QStringLiteral("unset");
        QCOMPARE(从下载头信息ContentDisposition获取文件名(value, ext), base);
        QCOMPARE(ext, extension);
    }

    void hostileHeaderValues()
    {
        // Whatever a server sends, the extension is a short run of letters,
        // so it can never carry a path into a file name.
        const QRegularExpression letters(QStringLiteral("^[A-Za-z]{0,5}$"));
        const QStringList values{
            QStringLiteral("filename=") + QString(1 << 20, QLatin1Char('%')),
            QStringLiteral("filename=a.") + QString(100000, QLatin1Char('/')) + QStringLiteral("pdf"),
            QStringLiteral("filename=%u%u%zz%.%2"),
            QStringLiteral("filename=/etc/passwd"),
            QStringLiteral("filename=x./../../a"),
            QStringLiteral("filename=\"\0\0.\0\0\""),
            QString(QChar(0xD800)) + QStringLiteral("filename=.") + QChar(0xDC00),
        };
        for (const QString &value : values) {
            QString ext;
            从下载头信息ContentDisposition获取文件名(value, ext);
            QVERIFY2(letters.match(ext).hasMatch(), qPrintable(ext.left(40)));
            QString type = TypeFromResponseHeaders(value, QStringLiteral("Content-Disposition: ") + value, QStringLiteral("pdf"));
            QVERIFY2(letters.match(type).hasMatch(), qPrintable(type.left(40)));
        }
    }

    void responseType_data()
    {
        QTest::addColumn<QString>("contentType");
        QTest::addColumn<QString>("headers");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("type");
        const QString pdfName = QStringLiteral("HTTP/1.1 200 OK\r\nContent-Disposition: attachment; filename=x.pdf\r\n");
        QTest::newRow("html with charset") << "text/html; charset=utf-8" << "" << "xxx" << "html";
        QTest::newRow("octet-stream keeps the row's type") << "application/octet-stream" << "" << "PDF" << "PDF";
        QTest::newRow("octet-stream takes the disposition") << "application/octet-stream" << pdfName << "htm" << "pdf";
        QTest::newRow("subtype passes through") << "application/x-foo; charset=gbk" << pdfName << "htm" << "x";
        QTest::newRow("charset alone means a page") << "application/octet-stream;charset=gbk" << "" << "pdf" << "htm";
        QTest::newRow("charset must be the first parameter")
            << "application/octet-stream; q=1; charset=gbk" << "" << "pdf" << "pdf";
        QTest::newRow("disposition before charset") << "application/octet-stream; charset=gbk" << pdfName << "htm" << "pdf";
        QTest::newRow("disposition without usable extension")
            << "application/octet-stream; charset=gbk" << "Content-Disposition: filename=a.7z" << "pdf" << "htm";
        QTest::newRow("nothing at all") << "" << "" << "caj" << "caj";
    }
    void responseType()
    {
        QFETCH(QString, contentType);
        QFETCH(QString, headers);
        QFETCH(QString, current);
        QFETCH(QString, type);
        QCOMPARE(TypeFromResponseHeaders(contentType, headers, current), type);
        // Taken from a header block, the Content-Type line gives the same answer.
        const QString block = headers + QStringLiteral("\r\ncontent-type: ") + contentType + QStringLiteral("\r\n");
        QCOMPARE(TypeFromResponseHeaders(block, current), type);
    }

    void policyCaptions()
    {
        for (auto p : {DuplicateNamePolicy::Skip, DuplicateNamePolicy::Overwrite, DuplicateNamePolicy::Rename})
            QCOMPARE(DuplicateNamePolicyFromCaption(QStringLiteral(" ") + DuplicateNamePolicyCaption(p) + QStringLiteral(" ")), p);
        QCOMPARE(DuplicateNamePolicyCaption(DuplicateNamePolicy::Skip), QStringLiteral("跳过"));
        QCOMPARE(DuplicateNamePolicyCaption(DuplicateNamePolicy::Overwrite), QStringLiteral("覆盖"));
        QCOMPARE(DuplicateNamePolicyCaption(DuplicateNamePolicy::Rename), QStringLiteral("重命名"));
        QCOMPARE(DuplicateNamePolicyFromCaption(QStringLiteral("other")), DuplicateNamePolicy::Rename);
        QCOMPARE(DuplicateNamePolicyFromCaption(QString()), DuplicateNamePolicy::Rename);
    }

    void renameSavePath_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("policy");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("file"); // the file name of the returned path
        const int skip = int(DuplicateNamePolicy::Skip), over = int(DuplicateNamePolicy::Overwrite),
                  rename = int(DuplicateNamePolicy::Rename);
        QTest::newRow("free") << QStringList() << "report" << "pdf" << rename << "report" << "report.pdf";
        QTest::newRow("overwrite keeps the path") << QStringList{"report.pdf"} << "report" << "pdf" << over
                                                  << "report" << "report.pdf";
        QTest::newRow("numbered on") << QStringList{"report.pdf", "report[001].pdf"} << "report" << "pdf" << rename
                                     << "report[002]" << "report[002].pdf";
        QTest::newRow("continues its own number") << QStringList{"report[7].pdf"} << "report[7]" << "pdf" << rename
                                                  << "report[007]" << "report[007].pdf";
        QTest::newRow("own number taken") << QStringList{"report[7].pdf", "report[007].pdf"} << "report[7]" << "pdf"
                                          << rename << "report[008]" << "report[008].pdf";
        QTest::newRow("brackets replaced") << QStringList{"a[b].pdf"} << "a[b]" << "pdf" << rename
                                           << QStringLiteral("a『b』") << QStringLiteral("a『b』.pdf");
        QTest::newRow("brackets kept when free") << QStringList() << "a[b]" << "pdf" << rename << "a[b]" << "a[b].pdf";
        QTest::newRow("inner number keeps the tail") << QStringList{"a[7]b.pdf"} << "a[7]b" << "pdf" << rename
                                                     << QStringLiteral("a『7』b") << QStringLiteral("a『7』b.pdf");
        QTest::newRow("zero number") << QStringList{"r[0].pdf", "r.pdf"} << "r[0]" << "pdf" << rename << "r[001]"
                                     << "r[001].pdf";
        QTest::newRow("type of another case is another file") << QStringList{"r.PDF"} << "r" << "pdf" << rename
                                                             << "r" << "r.pdf";
        QTest::newRow("upper-case type, lower-case extension") << QStringList{"r.pdf"} << "r" << "PDF" << rename
                                                               << "r[001]" << "r[001].pdf";
        QTest::newRow("empty type names the file without dot") << QStringList{"report"} << "report" << "" << rename
                                                               << "report[001]" << "report[001].";
        QTest::newRow("skip never replaces a file") << QStringList{"report.pdf"} << "report" << "pdf" << skip
                                                    << "report[001]" << "report[001].pdf";
        QTest::newRow("past three digits") << QStringList{"r.pdf", "r[999].pdf"} << "r[999]" << "pdf" << rename
                                           << "r[1000]" << "r[1000].pdf";
        // The whole name, number and type included, fits 255 bytes of UTF-8.
        const QString wen = QStringLiteral("文");
        QTest::newRow("long name cut before its type") << QStringList() << QString(260, 'n') << "pdf" << rename
                                                       << QString(251, 'n') << QString(251, 'n') + ".pdf";
        QTest::newRow("long name cut before its number") << QStringList{QString(251, 'n') + ".pdf"} << QString(260, 'n')
                                                         << "pdf" << rename << QString(246, 'n') + "[001]"
                                                         << QString(246, 'n') + "[001].pdf";
        QTest::newRow("cut at a character") << QStringList() << wen.repeated(90) << "htm" << over << wen.repeated(83)
                                            << wen.repeated(83) + ".htm";
    }
    void renameSavePath()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(int, policy);
        QFETCH(QString, newName);
        QFETCH(QString, file);
        TempHome home;
        const QString folder = home.folder(QStringLiteral("save"));
        for (const QString &f : present)
            touch(folder + QLatin1Char('/') + f);
        for (const QString &dir : {folder, folder + QLatin1Char('/')}) {
            QString gotName;
            QCOMPARE(重命名保存路径(dir, name, type, DuplicateNamePolicy(policy), gotName), folder + QLatin1Char('/') + file);
            QCOMPARE(gotName, newName);
        }
    }

    void renameSavePathMissingFolder()
    {
        QString newName;
        QCOMPARE(重命名保存路径(QStringLiteral("/no/such/folder"), QStringLiteral("a"), QStringLiteral("pdf"),
                                DuplicateNamePolicy::Rename, newName),
                 QStringLiteral("/no/such/folder/a.pdf"));
        QCOMPARE(newName, QStringLiteral("a"));
    }

    void uniqueFilePath_data()
    {
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("result");
        QTest::newRow("free") << QStringList() << "x.htm" << "x.htm";
        QTest::newRow("taken") << QStringList{"x.htm"} << "x.htm" << "x[0001].htm";
        QTest::newRow("next") << QStringList{"x.htm", "x[0001].htm"} << "x.htm" << "x[0002].htm";
        QTest::newRow("number dropped") << QStringList{"x[0003].htm", "x.htm"} << "x[0003].htm" << "x[0001].htm";
        QTest::newRow("number dropped, base free") << QStringList{"x[12].htm"} << "x[12].htm" << "x.htm";
        QTest::newRow("brackets not a number") << QStringList{"x[a].htm"} << "x[a].htm" << "x[a][0001].htm";
        QTest::newRow("no extension") << QStringList{"x"} << "x" << "x[0001]";
        QTest::newRow("hidden file counts") << QStringList{".x.pdf"} << ".x.pdf" << ".x[0001].pdf";
        const QString longBase(150, QLatin1Char('b'));
        QTest::newRow("long base cut") << QStringList{longBase + ".pdf", QString(100, QLatin1Char('b')) + ".pdf"}
                                       << longBase + ".pdf" << QString(100, QLatin1Char('b')) + "[0001].pdf";
    }
    void uniqueFilePath()
    {
        QFETCH(QStringList, present);
        QFETCH(QString, file);
        QFETCH(QString, result);
        TempHome home;
        const QString folder = home.folder(QStringLiteral("d")) + QLatin1Char('/');
        for (const QString &f : present)
            touch(folder + f);
        QCOMPARE(UniqueFilePath(folder + file), folder + result);
    }

    void uniqueFilePathWithoutFolder()
    {
        // A bare name has no folder to number in: it is returned as it is.
        QCOMPARE(UniqueFilePath(QStringLiteral("x.htm")), QStringLiteral("x.htm"));
    }

    void sizeLimit_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<double>("limit");
        QTest::addColumn<bool>("over");
        QTest::newRow("exactly 10 MiB") << qint64(10) * 1024 * 1024 << 10.0 << false;
        QTest::newRow("one byte more") << qint64(10) * 1024 * 1024 + 1 << 10.0 << true;
        QTest::newRow("fractional limit") << qint64(512) * 1024 + 1 << 0.5 << true;
        QTest::newRow("empty file") << qint64(0) << 0.0 << false;
        QTest::newRow("negative limit") << qint64(5) << -1.0 << true;
    }
    void sizeLimit()
    {
        QFETCH(qint64, bytes);
        QFETCH(double, limit);
        QFETCH(bool, over);
        QCOMPARE(IsOverSizeLimit(bytes, limit), over);
    }

    void fileSystemPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("onDisk");
        QTest::newRow("lone dot") << "/d/x." << "/d/x";
        QTest::newRow("relative") << "x." << "x";
        QTest::newRow("two dots kept") << "/d/x.." << "/d/x..";
        QTest::newRow("dot folder kept") << "/d/." << "/d/.";
        QTest::newRow("parent kept") << "/d/.." << "/d/..";
        QTest::newRow("ordinary") << "/d/x.pdf" << "/d/x.pdf";
    }
    void fileSystemPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, onDisk);
        QCOMPARE(FileSystemPath(path), onDisk);
    }
};

VELMORA_TEST_MAIN(TestHeaders)
#include "tst_headers.moc"
