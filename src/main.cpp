// The `velmora` executable: without arguments the windows, with a subcommand
// one of the headless front ends of the same engine.
#include "app/termination.h"
#include "transfer/getcommand.h"
#include "transfer/sniff.h"

#include <QCoreApplication>

// A build of the engine alone (the sanitizer build of the test command) has
// the headless subcommands and no windows.
#ifndef VELMORA_ENGINE_ONLY
#include "app/ui/browserprofile.h"
#include "app/ui/fcover.h"
#include "app/ui/messageboxes.h"
#include "app/ui/startupprobe.h"
#include "app/ui/windowflow.h"
#include "queue/ui/ffiledownload.h"
#include "search/ui/fwebsearch.h"
#include "search/ui/harvestcommand.h"
#include "transfer/ui/browserfetch.h"
#include "transfer/ui/browserfetchcommand.h"

#include <QApplication>
#include <QUrl>
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
    {"harvest", runHarvestCommand, true},
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
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
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
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // before the browser engine starts
    QApplication app(argc, argv);
    nameApplication();
    MessageBoxes::install();
    // Today's PMC answers a plain PDF request with a page whose script must
    // run first; the transfers then fetch such a file through the browser.
    UseBrowserEngineForChecks();

    // Interrupted, the program still closes its transfers and their files.
    QObject::connect(&TerminationSignals::instance(), &TerminationSignals::received, &app, &QCoreApplication::quit);

    // A start page other than PMC's home page, for demonstrations and the
    // README's screenshots, which are taken without a network.
    if (const QString start = qEnvironmentVariable("VELMORA_START_PAGE"); !start.isEmpty())
        fWebSearch::setHomeUrl(QUrl::fromUserInput(start));

    fCover::Hooks hooks;
    // Every "文献检索下载" opens a fresh search window with an empty harvest list.
    hooks.searchWindow = [] { return static_cast<QWidget *>(new fWebSearch); };
    hooks.warmUp = [] { WarmUpBrowserEngine(); };
    fCover::setHooks(std::move(hooks));

    auto cover = std::make_unique<fCover>();
    InstallStartupProbe(cover.get());
    cover->load();
    const int status = app.exec();
    // Whatever is still loaded (after an interrupt) goes before the
    // application object; its transfers close their files on the way.
    WindowFlow::deleteWorkWindows();
    cover.reset();
    return status;
#endif
}
