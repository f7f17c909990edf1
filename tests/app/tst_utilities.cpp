#include "app/utilities.h"
#include "support/messagerecorder.h"
#include "support/testhome.h"


namespace {
const QString FolderNameWrong = QStringLiteral("文件夹名称有误！不能创建文件夹！");
const QString FileMissing = QStringLiteral("文件不存在！");

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

// Records what the open helpers hand to the desktop instead of launching it.
struct ShellRecorder {
    QList<QUrl> opened;
    QList<QStringList> started; // program followed by its arguments
    bool openSucceeds = true;
    ShellRecorder()
    {
        Shell::setOpener([this](const QUrl &url) {
            opened << url;
            return openSucceeds;
        });
        Shell::setStarter([this](const QString &program, const QStringList &arguments) {
            started << (QStringList{program} + arguments);
            return true;
        });
    }
    ~ShellRecorder()
    {
        Shell::setOpener({});
        Shell::setStarter({});
    }
};
} // namespace

class TestUtilities : public QObject {
    Q_OBJECT
private slots:
    void existenceTests()
    {
        TempHome home;
        const QString dir = home.folder(QStringLiteral("d"));
        touch(dir + "/a.pdf");
        touch(dir + "/.hidden");
        home.folder(QStringLiteral("d/My%20Files"));
        touch(dir + "/My%20Files/b.pdf");

        QVERIFY(FolderExists(dir));
        QVERIFY(!FolderExists(dir + "/a.pdf"));
        QVERIFY(!FolderExists(dir + "/none"));
        QVERIFY(!FolderExists(QString()));

        QVERIFY(FileExists(dir + "/a.pdf"));
        QVERIFY(FileExists(dir + "/.hidden"));
        QVERIFY(!FileExists(dir));
        QVERIFY(!FileExists(dir + "/none"));
        QVERIFY(!FileExists(QString()));
        QVERIFY(FileExists("FILE://" + dir + "/a.pdf"));
        QVERIFY(FileExists("file://" + dir + "/My%20Files/b.pdf")); // no percent-decoding
        QVERIFY(!FileExists("file://" + dir));
    }

    void createFolderPath_data()
    {
        // Paths below the temporary base folder; "expected" is "" for failure.
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("created");
        QTest::addColumn<int>("messages");
        QTest::newRow("trailing slash") << "a/b/" << "a/b" << QStringList{"a", "a/b"} << 0;
        QTest::newRow("doubled slash stops") << "a//b" << "a" << QStringList{"a"} << 0;
        QTest::newRow("illegal-only component") << "a/?" "?" "?/c" << "a" << QStringList{"a"} << 1;
        QTest::newRow("dot-dot is no way up") << "a/../c" << "a" << QStringList{"a"} << 1;
        QTest::newRow("colon removed") << "a:b/c" << "ab/c" << QStringList{"ab", "ab/c"} << 0;
        QTest::newRow("existing folders") << "f" << "f" << QStringList{"f"} << 0;
        // Existing folders are used as they are written, never cleaned into new ones.
        QTest::newRow("existing hidden folder") << ".papers/2024" << ".papers/2024" << QStringList{".papers", ".papers/2024"} << 0;
        QTest::newRow("existing folder with a colon") << "Papers: 2024/x" << "Papers: 2024/x"
                                                      << QStringList{"Papers: 2024", "Papers: 2024/x"} << 0;
        QTest::newRow("below a regular file") << "file.txt/sub/x" << "" << QStringList{} << 0;
    }
    void createFolderPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QFETCH(QStringList, created);
        QFETCH(int, messages);
        TempHome home;
        const QString base = home.folder(QStringLiteral("base"));
        home.folder(QStringLiteral("base/f"));
        home.folder(QStringLiteral("base/.papers/2024"));
        home.folder(QStringLiteral("base/Papers: 2024"));
        touch(base + "/file.txt");
        MessageRecorder rec;

        const QString result = CreateFolderPath(base + "/" + path);

        QCOMPARE(result, expected.isEmpty() ? QString() : base + "/" + expected);
        QCOMPARE(rec.count(FolderNameWrong), messages);
        QCOMPARE(rec.messages.size(), messages);
        QStringList found;
        QDirIterator it(base, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next().mid(base.size() + 1);
        for (const QString &existing : {QStringLiteral("f"), QStringLiteral(".papers"), QStringLiteral(".papers/2024"),
                                        QStringLiteral("Papers: 2024")}) {
            found.removeOne(existing);
            created.removeOne(existing);
        }
        found.sort();
        QCOMPARE(found, created);
    }

    void createFolderPathRootAndRelative()
    {
        TempHome home;
        MessageRecorder rec;
        const QString base = home.folder(QStringLiteral("base"));
        // A leading "//" is the root like "/", not a network path.
        QCOMPARE(CreateFolderPath("/" + base + "/n"), base + "/n");
        QCOMPARE(CreateFolderPath(QStringLiteral("/")), QStringLiteral("/"));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(base);
        const QString relative = CreateFolderPath(QStringLiteral("r/s"));
        QDir::setCurrent(previous);
        QCOMPARE(QFileInfo(relative).canonicalFilePath(), QFileInfo(base + "/r/s").canonicalFilePath());
        QVERIFY(QFileInfo(base + "/r/s").isDir());
        QVERIFY(rec.messages.isEmpty());
    }

    void sanitizeFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const QString wen = QStringLiteral("文");
        QTest::newRow("illegal characters and dots") << "..a/b:c?.pdf.." << "abc.pdf";
        QTest::newRow("all illegal") << "???" << "";
        QTest::newRow("every illegal character") << "a\\/:*?\"<>|b" << "ab";
        QTest::newRow("line breaks and NUL") << QStringLiteral("a\r\nb\nc\rd") + QChar(0) + "e" << "abcde";
        QTest::newRow("spaces stay, tabs become spaces") << " a\tb " << " a b ";
        QTest::newRow("control characters go")
            << QString("a") + QChar(0x1b) + "]0;x" + QChar(0x07) + "b" + QChar(0x7f) + QChar(0x01) + "c" << "a]0;xbc";
        QTest::newRow("only dots") << "..." << "";
        QTest::newRow("cut that ends on a dot") << QString(199, 'a') + ".b" << QString(199, 'a');
        QTest::newRow("300 ASCII to 200") << QString(300, 'x') << QString(200, 'x');
        // 100 characters would fill 200 bytes of GBK but 300 of UTF-8.
        QTest::newRow("150 Chinese to 200 bytes of UTF-8") << wen.repeated(150) << wen.repeated(66);
        QTest::newRow("emoji kept whole") << "x" + QStringLiteral("😀").repeated(60) << "x" + QStringLiteral("😀").repeated(49);
    }
    void sanitizeFileName()
    {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(SanitizeFileName(name), expected);
    }

    void openFileWithShell()
    {
        TempHome home;
        const QString dir = home.folder(QStringLiteral("d"));
        touch(dir + "/a b.pdf");
        touch(dir + "/.hidden.pdf");
        MessageRecorder rec;
        ShellRecorder shell;

        for (const QString &missing : {dir + "/none.pdf", dir + "/.hidden.pdf", dir, QString()}) {
            rec.clear();
            OpenFileWithShell(missing);
            QCOMPARE(rec.texts(), QStringList{FileMissing});
            QCOMPARE(rec.messages.first().kind, Msg::Kind::Error);
        }
        QVERIFY(shell.opened.isEmpty());
        QVERIFY(shell.started.isEmpty());

        rec.clear();
        OpenFileWithShell(dir + "/a b.pdf");
        QCOMPARE(shell.opened, QList<QUrl>{QUrl::fromLocalFile(dir + "/a b.pdf")});
        QVERIFY(shell.started.isEmpty());

        shell.openSucceeds = false;
        OpenFileWithShell(dir + "/a b.pdf");
        QCOMPARE(shell.started, QList<QStringList>{(QStringList{"xdg-open", dir + "/a b.pdf"})});
        QVERIFY(rec.messages.isEmpty());
    }

    void openUrlInBrowser()
    {
        ShellRecorder shell;
        OpenUrlInBrowser(QStringLiteral("https://example.org/a?b=1"));
        OpenUrlInBrowser(QStringLiteral("https://example.org/c"), true);
        QCOMPARE(shell.opened, (QList<QUrl>{QUrl("https://example.org/a?b=1"), QUrl("https://example.org/c")}));
        QVERIFY(shell.started.isEmpty());

        shell.openSucceeds = false;
        OpenUrlInBrowser(QStringLiteral("https://example.org/d"));
        QCOMPARE(shell.started, QList<QStringList>{(QStringList{"xdg-open", "https://example.org/d"})});
    }
};

VELMORA_TEST_MAIN(TestUtilities)
#include "tst_utilities.moc"
