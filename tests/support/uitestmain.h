#pragma once
// Window and browser tests: a QApplication (offscreen unless QT_QPA_PLATFORM
// says otherwise) with the browser engine's settings, and a VELMORA_HOME of
// its own. Use instead of QTEST_MAIN.
#include "support/testhome.h"

#include <QApplication>

#define VELMORA_UI_TEST_MAIN(TestObject)                                                  \
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
