#include "app/codecs.h"
#include "support/testhome.h"

namespace {
const QString Wen = QStringLiteral("文");     // GBK CE C4, UTF-8 E6 96 87
const QString Xian = QStringLiteral("献");    // GBK CF D7, UTF-8 E7 8C AE
const QString Emoji = QStringLiteral("😀");   // outside GBK, a surrogate pair
} // namespace

class TestCodecs : public QObject {
    Q_OBJECT
private slots:
    void cleanHeaderText_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("tab inside, trailing CRLF") << "  attachment;\tfilename=a.pdf\r\n" << "attachment;filename=a.pdf";
        QTest::newRow("NUL, lone CR and LF") << QStringLiteral("a\nb\rc") + QChar(0) + "d" << "abcd";
        QTest::newRow("inner spaces stay") << " a  b " << "a  b";
        QTest::newRow("empty") << "" << "";
    }
    void cleanHeaderText()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(CleanHeaderText(input), expected);
    }

    void urlDecodeUtf8_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plus and %20") << "a+b%20c" << "a b c";
        QTest::newRow("%u escapes") << "%u6587%u732E" << Wen + Xian;
        QTest::newRow("UTF-8 run") << "%E6%96%87%E7%8C%AE" << Wen + Xian;
        QTest::newRow("lower-case hex") << "%e6%96%87" << Wen;
        QTest::newRow("letters between runs") << "x%E6%96%87y%E7%8C%AE.pdf" << "x" + Wen + "y" + Xian + ".pdf";
        QTest::newRow("%u between byte runs") << "%E6%96%87%u732E%41" << Wen + Xian + "A";
        QTest::newRow("upper-case %U is no UTF-16 escape") << "%U6587" << "%U6587";
        QTest::newRow("literal percent") << "50%off.pdf" << "50%off.pdf";
        QTest::newRow("percent at the end") << "a%" << "a%";
        QTest::newRow("one hex digit at the end") << "a%4" << "a%4";
        QTest::newRow("short %u") << "%u41" << "%u41";
        QTest::newRow("invalid UTF-8 byte") << "a%FFb" << "a" + QString(QChar::ReplacementCharacter) + "b";
        QTest::newRow("plain") << "report.pdf" << "report.pdf";
    }
    void urlDecodeUtf8()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(UrlDecodeUtf8(input), expected);
    }

    void urlDecodeAuto_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("UTF-8 run") << "%E6%96%87%E7%8C%AE.pdf" << Wen + Xian + ".pdf";
        QTest::newRow("GBK run") << "%CE%C4%CF%D7.pdf" << Wen + Xian + ".pdf";
        QTest::newRow("GBK then UTF-8 in one run") << "%CE%C4%E7%8C%AE" << Wen + Xian;
        QTest::newRow("text around escapes") << "ab+%u6587-%41z" << "ab " + Wen + "-Az";
        QTest::newRow("literal percent") << "100%" << "100%";
    }
    void urlDecodeAuto()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(UrlDecodeAuto(input), expected);
    }

    void utf8BytesToTextEndsAtFirstZero()
    {
        QCOMPARE(Utf8BytesToText(QByteArray("\xE6\x96\x87x\0yz", 7)), Wen + "x");
        QCOMPARE(Utf8BytesToText(QByteArray()), QString());
    }

    void leftAnsiBytes_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("expected");
        QTest::newRow("short ASCII unchanged") << "abc.pdf" << 200 << "abc.pdf";
        QTest::newRow("ASCII cut") << "abcdef" << 4 << "abcd";
        QTest::newRow("150 Chinese to 200 bytes") << Wen.repeated(150) << 200 << Wen.repeated(100);
        QTest::newRow("split double-byte char dropped") << "a" + Wen + Xian << 4 << "a" + Wen;
        QTest::newRow("char GBK lacks is kept") << "a" + Emoji + "b" << 200 << "a" + Emoji + "b";
        QTest::newRow("surrogate pair never split") << Emoji + Emoji << 1 << Emoji;
        QTest::newRow("zero bytes") << "abc" << 0 << "";
        QTest::newRow("negative count") << "abc" << -3 << "";
    }
    void leftAnsiBytes()
    {
        QFETCH(QString, input);
        QFETCH(int, n);
        QFETCH(QString, expected);
        QCOMPARE(LeftAnsiBytes(input, n), expected);
    }

    void ansiIsGbk()
    {
        const QByteArray gbk("\xCE\xC4\xCF\xD7" "a", 5);
        QCOMPARE(ToAnsi(Wen + Xian + "a"), gbk);
        QCOMPARE(FromAnsi(gbk), Wen + Xian + "a");
    }
};

VELMORA_TEST_MAIN(TestCodecs)
#include "tst_codecs.moc"
