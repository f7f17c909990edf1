#pragma once
// Every test runs against a fresh VELMORA_HOME so that no test reads or
// writes the real user's settings, data folder or browser profile.
#include <QApplication>
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

// Runs a Qt Test class with a QApplication (offscreen by default) and a
// VELMORA_HOME of its own. Use instead of QTEST_MAIN.
#define VELMORA_TEST_MAIN(TestObject)                                                     \
    int main(int argc, char **argv)                                                       \
    {                                                                                     \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                               \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                      \
        if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))                   \
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");                                  \
        TempHome home;                                                                    \
        QApplication app(argc, argv);                                                     \
        QApplication::setApplicationName(QStringLiteral("Velmora"));                     \
        QApplication::setOrganizationName(QStringLiteral("Velmora"));                    \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                          \
        TestObject tc;                                                                    \
        QTEST_SET_MAIN_SOURCE_PATH                                                        \
        return QTest::qExec(&tc, argc, argv);                                             \
    }
