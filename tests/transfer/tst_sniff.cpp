#include "support/runprogram.h"
#include "support/testhome.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class TestSniff : public QObject {
    Q_OBJECT
private:
    struct Run {
        int exitCode = -1;
        QString out;
        QString err;
    };
    static Run sniff(const QStringList &args, const QString &workDir)
    {
        QTemporaryDir home;
        ProgramSetup setup;
        setup.home = home.path();
        setup.folder = workDir;
        setup.limitMs = 30000;
        const ProgramRun program = RunProgram(QStringList{QStringLiteral("sniff")} + args, setup);
        Run r;
        r.exitCode = program.exitCode;
        r.out = QString::fromUtf8(program.out);
        r.err = QString::fromUtf8(program.err);
        return r;
    }

private slots:
    void run_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // exact text, or "usage" for a usage message
        QTest::newRow("known and unknown types") << QStringList{"a.bin", "notes.txt"} << 0
                                                 << "pdf\ta.bin\n-\tnotes.txt\n" << "";
        QTest::newRow("missing file among others") << QStringList{"a.bin", "gone.pdf", "文献.dat"} << 1
                                                   << QStringLiteral("pdf\ta.bin\npng\t文献.dat\n")
                                                   << "velmora sniff: gone.pdf: no such file\n";
        QTest::newRow("folder is not a file") << QStringList{"sub"} << 1 << ""
                                              << "velmora sniff: sub: no such file\n";
        QTest::newRow("separator") << QStringList{"--", "-dash.bin"} << 0 << "pdf\t-dash.bin\n" << "";
        // Names that look like options of the toolkit reach the command too.
        QTest::newRow("toolkit option as a name") << QStringList{"--", "-reverse"} << 0 << "pdf\t-reverse\n" << "";
        QTest::newRow("no files") << QStringList() << 2 << "" << "usage";
        QTest::newRow("only the separator") << QStringList{"--"} << 2 << "" << "usage";
        QTest::newRow("unknown option") << QStringList{"-x", "a.bin"} << 2 << "" << "usage";
        QTest::newRow("unknown long option") << QStringList{"a.bin", "--all"} << 2 << "" << "usage";
    }
    void run()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        TempHome home;
        const QString dir = home.path();
        auto write = [&dir](const QString &name, const QByteArray &bytes) {
            QFile f(dir + QLatin1Char('/') + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        write(QStringLiteral("a.bin"), "%PDF-1.4\n" + QByteArray(100, ' '));
        write(QStringLiteral("-dash.bin"), "%PDF-1.4\n" + QByteArray(100, ' '));
        write(QStringLiteral("-reverse"), "%PDF-1.4\n" + QByteArray(100, ' '));
        write(QStringLiteral("notes.txt"), "just some plain notes, nothing else");
        write(QStringLiteral("文献.dat"), QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray(40, '\0'));
        QVERIFY(QDir(dir).mkdir(QStringLiteral("sub")));

        const Run r = sniff(args, dir);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.out, out);
        if (err == QLatin1String("usage")) {
            QVERIFY2(r.err.startsWith(QLatin1String("usage: velmora sniff")), qPrintable(r.err));
            QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
            QVERIFY(r.err.endsWith(QLatin1Char('\n')));
        } else {
            QCOMPARE(r.err, err);
        }
    }
};

VELMORA_TEST_MAIN(TestSniff)
#include "tst_sniff.moc"
