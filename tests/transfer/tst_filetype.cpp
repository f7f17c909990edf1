#include "support/testfiles.h"
#include "support/testhome.h"
#include "app/codecs.h"
#include "transfer/filetype.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>

#include <unistd.h>

namespace {

// Content padded with a filler so that every signature test has its bytes.
QByteArray padded(const QByteArray &head, int size = 1000, char filler = ' ')
{
    QByteArray b = head;
    b.append(QByteArray(qMax(0, size - int(head.size())), filler));
    return b;
}

QByteArray compound(const QByteArray &at512)
{
    QByteArray b = padded(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), 512, '\0');
    b.append(at512);
    return padded(b, 1024, '\0');
}

QByteArray withTail(int size, const QByteArray &tail)
{
    QByteArray b(size - tail.size(), 'x');
    return b + tail;
}

QByteArray caaText(const char *skip = nullptr)
{
    QByteArray text("[TARGET]\r\n");
    for (const char *k : {"A1=", "A2=", "b1=", "B2=", "C1=", "C2=", "D1=", "D2=", "DocType="})
        if (!skip || qstrcmp(k, skip) != 0)
            text += k + QByteArray("1\r\n");
    return text;
}

// "<html>" + "<head>" placed so that the last byte of "<head>" is at `lastIndex`.
QByteArray htmlEndingAt(qsizetype lastIndex, qsizetype size)
{
    const QByteArray tags("<html><head>");
    QByteArray b(size, 'x');
    b.replace(lastIndex + 1 - tags.size(), tags.size(), tags);
    return b;
}

} // namespace

class TestFileType : public QObject {
    Q_OBJECT
private slots:
    void extensionFromContentType_data()
    {
        QTest::addColumn<QString>("mime");
        QTest::addColumn<QString>("extension");
        QTest::newRow("pdf") << "application/pdf" << "pdf";
        QTest::newRow("octet-stream") << "application/octet-stream" << "";
        QTest::newRow("case and spaces") << " TEXT / Pl ain " << "txt";
        QTest::newRow("html") << "text/html" << "html";
        QTest::newRow("table answer cut to letters") << "video/mpeg4" << "mp";
        QTest::newRow("listed subtype with digit") << "image/g3fax" << "g";
        QTest::newRow("unlisted subtype of listed main") << "application/x-foo" << "x";
        QTest::newRow("unlisted main type") << "model/vrml" << "vrml";
        QTest::newRow("star") << "application/*" << "";
        QTest::newRow("empty subtype") << "image/" << "";
        QTest::newRow("long subtype") << "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet" << "xlsx";
        QTest::newRow("six-letter run") << "foo/abcdef" << "";
        QTest::newRow("five-letter run") << "foo/abcde1" << "abcde";
        QTest::newRow("no slash") << "pdf" << "pdf";
        QTest::newRow("two slashes") << "a/b/c" << "a";
        QTest::newRow("powerpoint") << "application/vnd.ms-powerpoint" << "ppt";
        QTest::newRow("pps only itself") << "application/pps" << "pps";
        QTest::newRow("tiff") << "image/tiff" << "tif";
        QTest::newRow("icon") << "image/x-icon" << "ico";
        QTest::newRow("mpegurl") << "audio/x-mpegurl" << "mpeg";
        QTest::newRow("rfc822") << "message/rfc822" << "mht";
        QTest::newRow("compress") << "application/x-compress" << "z";
        QTest::newRow("empty") << "" << "";
    }
    void extensionFromContentType()
    {
        QFETCH(QString, mime);
        QFETCH(QString, extension);
        QCOMPARE(ExtensionFromContentType(mime), extension);
    }

    void detect_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("type");
        auto row = [](const char *name, const QByteArray &content, const char *type) {
            QTest::newRow(name) << content << QString::fromLatin1(type);
        };
        row("pdf", padded("%PDF-1.4"), "pdf");
        row("caj", padded(QByteArray("\xC8\0\0\0", 4)), "caj");
        row("CAJ zero", padded(QByteArray("CAJ\0", 4)), "kdh");
        row("KDH space", padded("KDH "), "kdh");
        row("nh", padded(QByteArray("HN\0\0", 4)), "nh");
        row("tiff little-endian", padded(QByteArray("II*\0", 4)), "tif");
        row("rtf", padded("{\\rtf1"), "rtf");
        row("exe", padded("MZ\x90"), "exe");
        row("rar", padded("Rar!\x1A"), "rar");
        row("zip", padded(QByteArray("PK\x03\x04\x14\0\0\0\x08\0", 10)), "zip");
        row("office open xml", padded(QByteArray("PK\x03\x04\x14\0\x06\0\x08\0", 10)), "docx");
        row("other zip variant", padded(QByteArray("PK\x03\x04\x0A\0\0\0\0\0", 10)), "");
        row("swf", padded("CWS\x06"), "swf");
        row("rm", padded(".RMF"), "rm");
        row("wma", padded("\x30\x26\xB2\x75\x8E"), "wma");
        row("ID3v2.3", padded("ID3\x03"), "mp3");
        row("ID3v2.4 is not listed", padded("ID3\x04"), "");
        row("png", padded("\x89PNG\r\n\x1A\n"), "png");
        row("gif89a", padded("GIF89a"), "gif");
        row("gif87a is not listed", padded("GIF87a"), "");
        row("jpeg exif big-endian", padded(QByteArray("\xFF\xD8\xFF\xE1\0\0Exif\0\0MM\0\x2A", 16)), "jpg");
        row("jpeg exif little-endian", padded(QByteArray("\xFF\xD8\xFF\xE1\0\0Exif\0\0II*\0", 16)), "");
        row("jfif", padded(QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11)), "jpg");
        row("compound doc", compound("\xEC\xA5\xC1"), "doc");
        row("compound xls", compound(QByteArray("\x09\x08\x10\0", 4)), "xls");
        row("compound ppt", compound(QByteArray("\0\0\0\xF0", 4)), "ppt");
        row("compound other", compound(QByteArray("\0\0\0\0", 4)), "");
        row("first match wins", padded("%PDF<html><head>"), "pdf");

        // The 128-byte tail only counts for files longer than 128 bytes.
        row("ID3v1 tail", withTail(1000, "TAG" + QByteArray(125, 't')), "mp3");
        row("tail of 129 bytes", withTail(129, "TAG" + QByteArray(125, 't')), "mp3");
        row("whole file of 128 bytes", withTail(128, "TAG" + QByteArray(125, 't')), "");

        row("html error page",
            padded("<!DOCTYPE html>\n<HTML lang=\"en\">\n<Head><meta charset=\"gbk\">", 5 * 1024), "htm");
        row("small page", "<html><body>not found</body></html>", "htm");
        row("gbk page", ToAnsi(QStringLiteral("<html><title>文献下载</title>中文内容</html>")), "htm");
        row("html without head, title or body", padded("<html lang=x>just text</html>"), "");
        row("tags past the first buffer", QByteArray(11000, 'x') + "<html><head>", "");
        row("last byte of the buffer", htmlEndingAt(10240, 10242), "htm");
        row("one byte past the buffer", htmlEndingAt(10241, 10242), "");
        row("page of 200 KB", padded("<html><head>", 200 * 1024), "");
        row("page under 200 KB", padded("<html><head>", 200 * 1024 - 1), "htm");

        row("caa", caaText(), "caa");
        row("caa missing a key", caaText("C2="), "");
        row("caa of 3071 bytes", padded(caaText(), 3071), "caa");
        row("caa of 3072 bytes", padded(caaText(), 3072), "");

        // The first buffer holds the file plus one byte read as 0; a test that
        // needs more than that ends detection with no type at all.
        row("empty", "", "");
        row("one byte", "%", "");
        row("pdf of four bytes", "%PDF", "pdf");
        row("three bytes and the zero after them", QByteArray("HN\0", 3), "nh");
        row("ten bytes of text", "hello text", "");
        row("tiny page", "<html>", "");
        row("compound header of 514 bytes", compound("").left(514), "");
    }
    void detect()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, type);
        TempHome home;
        const QString path = home.path() + QStringLiteral("/file.bin");
        writeFile(path, content);
        QCOMPARE(打开文件判断文件类型(path), type);
    }

    void detectMissingOrNotAFile()
    {
        TempHome home;
        QCOMPARE(打开文件判断文件类型(home.path() + QStringLiteral("/none.pdf")), QString());
        QCOMPARE(打开文件判断文件类型(home.path()), QString());
        QCOMPARE(打开文件判断文件类型(QString()), QString());
        // A path built with an empty type ends in "." and names the file without it.
        writeFile(home.path() + QStringLiteral("/paper"), "%PDF-1.5");
        QCOMPARE(打开文件判断文件类型(home.path() + QStringLiteral("/paper.")), QStringLiteral("pdf"));
    }

    void correctFileType_data()
    {
        QTest::addColumn<QString>("type");      // the row's type
        QTest::addColumn<QString>("file");      // the file the row names
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("present"); // other files in the folder
        QTest::addColumn<bool>("changed");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("newType");
        const QByteArray pdf = "%PDF-1.4 body";
        QTest::newRow("pdf saved as htm") << "htm" << "paper.htm" << pdf << QStringList() << true << "paper" << "pdf";
        QTest::newRow("target taken") << "htm" << "paper.htm" << pdf << QStringList{"paper.pdf"} << true
                                      << "paper[0001]" << "pdf";
        QTest::newRow("two targets taken") << "htm" << "paper.htm" << pdf
                                           << QStringList{"paper.pdf", "paper[0001].pdf"} << true
                                           << "paper[0002]" << "pdf";
        QTest::newRow("same type in other case") << "PDF" << "paper.pdf" << pdf << QStringList() << false
                                                 << "paper" << "PDF";
        QTest::newRow("no type") << "" << "paper" << pdf << QStringList() << true << "paper" << "pdf";
        QTest::newRow("marker type") << "xxx" << "page.xxx" << QByteArray("<html><head></head></html>")
                                     << QStringList() << true << "page" << "htm";
        QTest::newRow("unknown content") << "htm" << "paper.htm" << QByteArray("plain words here")
                                         << QStringList() << false << "paper" << "htm";
        QTest::newRow("missing file") << "htm" << "" << pdf << QStringList() << false << "paper" << "htm";
    }
    void correctFileType()
    {
        QFETCH(QString, type);
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, present);
        QFETCH(bool, changed);
        QFETCH(QString, newName);
        QFETCH(QString, newType);
        TempHome home;
        const QString folder = home.folder(QStringLiteral("save")) + QLatin1Char('/');
        if (!file.isEmpty())
            writeFile(folder + file, content);
        for (const QString &other : present)
            writeFile(folder + other, "keep " + other.toUtf8());

        ItemFile item{folder, QStringLiteral("paper"), type, QStringLiteral("http://h/p")};
        if (type == QLatin1String("xxx"))
            item.name = QStringLiteral("page");
        QCOMPARE(CorrectFileType(item), changed);
        QCOMPARE(item.name, newName);
        QCOMPARE(item.type, newType);
        QCOMPARE(item.folder, folder);
        if (!file.isEmpty())
            QCOMPARE(readFile(ItemFilePath(item)), content);
        if (changed)
            QVERIFY(!QFileInfo::exists(folder + file));
        for (const QString &other : present)
            QCOMPARE(readFile(folder + other), "keep " + other.toUtf8());
    }

    void correctFileTypeFailedMoveLeavesRow()
    {
        if (geteuid() == 0)
            QSKIP("root may write into read-only folders");
        TempHome home;
        const QString folder = home.folder(QStringLiteral("ro"));
        writeFile(folder + QStringLiteral("/paper.htm"), "%PDF-1.4");
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        ItemFile item{folder, QStringLiteral("paper"), QStringLiteral("htm"), QString()};
        const bool moved = CorrectFileType(item);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!moved);
        QCOMPARE(item.name, QStringLiteral("paper"));
        QCOMPARE(item.type, QStringLiteral("htm"));
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/paper.htm")));
    }

    void insertBaseHref_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<bool>("inserted");
        QTest::addColumn<QByteArray>("result");
        // Bytes that are not valid GBK must survive untouched.
        const QByteArray odd("\xFF\xFE\x80 \xB0\xA1", 6);
        QTest::newRow("lower-case head end")
            << "htm" << "http://h/a/p.htm" << QByteArray("<html><head>" + odd + "</head><body>" + odd + "</body>")
            << true
            << QByteArray("<html><head>" + odd + "<Base href='http://h/a/p.htm'></head><body>" + odd + "</body>");
        QTest::newRow("first of two, any case") << "HTML" << "http://h/x" << QByteArray("a</HeAd>b</HEAD>c") << true
                                                << QByteArray("a<Base href='http://h/x'></HeAd>b</HEAD>c");
        QTest::newRow("first alternative of the key") << "html" << "http://one/|http://two/"
                                                     << QByteArray("</head>") << true
                                                     << QByteArray("<Base href='http://one/'></head>");
        QTest::newRow("url cannot leave the attribute")
            << "htm" << QStringLiteral("http://h/?q='><script>文") << QByteArray("</head>") << true
            << QByteArray("<Base href='http://h/?q=%27%3E%3Cscript%3E%E6%96%87'></head>");
        QTest::newRow("no head end") << "htm" << "http://h/" << QByteArray("<html><body>x</body></html>") << false
                                     << QByteArray("<html><body>x</body></html>");
        QTest::newRow("not a page type") << "xml" << "http://h/" << QByteArray("</head>") << false
                                         << QByteArray("</head>");
        QTest::newRow("empty url") << "htm" << "|http://h/" << QByteArray("</head>") << false
                                   << QByteArray("</head>");
        // The tag straddles the 64 KiB read blocks.
        const QByteArray big = QByteArray(65536 - 3, 'x') + "</head>" + QByteArray(70000, 'y');
        QTest::newRow("large page") << "htm" << "u" << big << true
                                    << QByteArray(big).insert(65536 - 3, "<Base href='u'>");
    }
    void insertBaseHref()
    {
        QFETCH(QString, type);
        QFETCH(QString, key);
        QFETCH(QByteArray, page);
        QFETCH(bool, inserted);
        QFETCH(QByteArray, result);
        TempHome home;
        const ItemFile item{home.path(), QStringLiteral("page"), type, key};
        writeFile(ItemFilePath(item), page);
        QCOMPARE(InsertBaseHref(item), inserted);
        QCOMPARE(readFile(ItemFilePath(item)), result);
    }

    void insertBaseHrefMissingOrUnwritable()
    {
        TempHome home;
        QVERIFY(!InsertBaseHref(ItemFile{home.path(), QStringLiteral("none"), QStringLiteral("htm"), QStringLiteral("u")}));
        if (geteuid() == 0)
            QSKIP("root may write into read-only folders");
        const QString folder = home.folder(QStringLiteral("ro"));
        const ItemFile item{folder, QStringLiteral("page"), QStringLiteral("htm"), QStringLiteral("u")};
        writeFile(ItemFilePath(item), "<head></head>");
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const bool done = InsertBaseHref(item);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!done);
        QCOMPARE(readFile(ItemFilePath(item)), QByteArray("<head></head>"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"page.htm"});
    }

    void splitFileName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("extension");
        QTest::newRow("two dots") << "/d/data.tar.gz" << "data.tar" << "gz";
        QTest::newRow("six characters") << "x.abcdef" << "x" << "abcdef";
        QTest::newRow("seven characters") << "x.abcdefg" << "x.abcdefg" << "";
        QTest::newRow("no dot") << "/d/readme" << "readme" << "";
        QTest::newRow("dot only in folder") << "/d.e/readme" << "readme" << "";
        QTest::newRow("trimmed") << "  /d/ a b .pdf  " << "a b" << "pdf";
        QTest::newRow("trailing dot") << "/d/x." << "x" << "";
    }
    void splitFileName()
    {
        QFETCH(QString, path);
        QFETCH(QString, base);
        QFETCH(QString, extension);
        QString gotBase = QStringLiteral("unset");
        QCOMPARE(SplitFileName(path, gotBase), extension);
        QCOMPARE(gotBase, base);
    }
};

VELMORA_TEST_MAIN(TestFileType)
#include "tst_filetype.moc"
