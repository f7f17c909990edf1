// The `velmora` executable: without arguments the windows, with a subcommand
// one of the headless front ends of the same engine.
#include "app/termination.h"
#include "transfer/getcommand.h"
#include "transfer/sniff.h"

#include <QCoreApplication>

// A build of the engine alone (the sanitizer build of the test command) has
// the headless subcommands and no windows.
#ifndef VELMORA_ENGINE_ONLY
#include "app/ui/messageboxes.h"
#include "queue/ui/ffiledownload.h"
#include "transfer/ui/browserfetch.h"
#include "transfer/ui/browserfetchcommand.h"

#include <QApplication>
#include <QPointer>
#endif

#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

using CommandFunction = int (*)(const QStringList &args);

// Every subcommand, listed here rather than registered from its own file,
// so that none can silently drop out of the link.
struct Subcommand {
    const char *name;
    CommandFunction run;
    bool needsBrowserEngine; // the rest run without any window system
};

const Subcommand kSubcommands[] = {
    {"sniff", RunSniffCommand, false},
    {"get", RunGetCommand, false},
#ifndef VELMORA_ENGINE_ONLY
    // Hidden: the browser engine's fetch of a checked row for `get`.
    {"browser-fetch", RunBrowserFetchCommand, true},
#endif
};

const Subcommand *findSubcommand(const char *name)
{
    for (const Subcommand &s : kSubcommands)
        if (std::strcmp(s.name, name) == 0)
            return &s;
    return nullptr;
}

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
}

int runSubcommand(const Subcommand &command, int argc, char **argv)
{
    // The subcommand's arguments as given: the application object takes its
    // own options ("-style", "-reverse", ...) out of argv, even after "--".
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    std::unique_ptr<QCoreApplication> app;
#ifndef VELMORA_ENGINE_ONLY
    if (command.needsBrowserEngine) {
        // The browser engine needs a GUI application; without a display it
        // renders offscreen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    }
#endif
    if (!app)
        app = std::make_unique<QCoreApplication>(argc, argv);
    nameApplication();
    return command.run(args);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", VELMORA_VERSION);
        return 0;
    }
    // The browser engine refuses to start as root with its sandbox on.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    if (argc >= 2 && argv[1][0] != '-') {
        const Subcommand *command = findSubcommand(argv[1]);
        if (!command) {
            std::fprintf(stderr, "velmora: unknown subcommand '%s'\n", argv[1]);
            return 2;
        }
        return runSubcommand(*command, argc, argv);
    }

#ifdef VELMORA_ENGINE_ONLY
    std::fprintf(stderr, "velmora: this build has no windows; use a subcommand\n");
    return 2;
#else
    QApplication app(argc, argv);
    nameApplication();
    MessageBoxes::install();
    // Rows behind a browser check are fetched through the engine.
    UseBrowserEngineForChecks();

    // Interrupted, the program still closes its transfers and their files.
    QObject::connect(&TerminationSignals::instance(), &TerminationSignals::received, &app, &QCoreApplication::quit);
    // The download window stands in for the start window until that exists.
    // Closing it unloads it (its list is gone, it no longer counts as
    // loaded); an interrupt deletes it on the way out all the same.
    auto *window = new fFileDownload;
    const QPointer<fFileDownload> alive(window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    MessageBoxes::setParent(window);
    window->show();
    const int status = app.exec();
    delete alive.data(); // null when closing already deleted it
    return status;
#endif
}
