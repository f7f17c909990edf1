#include "support/runprogram.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

ProgramRun RunProgram(const QStringList &args, const ProgramSetup &setup)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!setup.home.isEmpty()) {
        env.insert(QStringLiteral("VELMORA_HOME"), setup.home + QStringLiteral("/child"));
        const QString runtime = setup.home + QStringLiteral("/run");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    }
    env.insert(setup.environment);
    p.setProcessEnvironment(env);
    if (!setup.folder.isEmpty())
        p.setWorkingDirectory(setup.folder);

    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(setup.limitMs, &loop, &QEventLoop::quit);
    ProgramRun run;
    p.start(qEnvironmentVariable("VELMORA_TEST_BIN"), args);
    if (!p.waitForStarted(20000))
        return run;
    if (setup.started)
        setup.started(p);
    loop.exec();
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}
