#pragma once
// Runs the program under test (VELMORA_TEST_BIN) as a child process while
// this thread's event loop keeps going, so loopback servers of the test go
// on answering it.
#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

struct ProgramRun {
    int exitCode = -1; // -1: it did not start, crashed or outlasted the limit
    QByteArray out;
    QByteArray err;
};

struct ProgramSetup {
    // Non-empty: the child keeps its data in home + "/child" and gets a
    // runtime folder of its own in home + "/run" (which keeps Qt's start-up
    // notes off standard error).
    QString home;
    QString folder;                  // working folder; empty: this one
    QProcessEnvironment environment; // set on top of this process's own
    int limitMs = 120000;
    std::function<void(QProcess &)> started; // called once the child runs
};

ProgramRun RunProgram(const QStringList &args, const ProgramSetup &setup = {});
