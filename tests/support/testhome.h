#pragma once
// Every test runs against a fresh VELMORA_HOME so that no test reads or
// writes the real user's settings, data folder or browser profile.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Points VELMORA_HOME at a new temporary folder for its lifetime and puts the
// previous value back afterwards.
class TempHome {
public:
    TempHome();
    ~TempHome();
    QString path() const { return m_dir.path(); }
    // A fresh sub-folder of the home (created), handy as a save folder.
    QString folder(const QString &name) const;
private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious;
};

// Runs an engine test class under a QCoreApplication with a VELMORA_HOME of
// its own: the engine needs no window system. Use instead of QTEST_MAIN.
#define VELMORA_TEST_MAIN(TestObject)                                                     \
    int main(int argc, char **argv)                                                       \
    {                                                                                     \
        TempHome home;                                                                    \
        QCoreApplication app(argc, argv);                                                 \
        QCoreApplication::setApplicationName(QStringLiteral("Velmora"));                 \
        QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));                \
        TestObject tc;                                                                    \
        QTEST_SET_MAIN_SOURCE_PATH                                                        \
        return QTest::qExec(&tc, argc, argv);                                             \
    }
