#include "app/messages.h"
#include "app/subcommands.h"
#include "app/termination.h"
#include "queue/ffiledownload.h"

#include <QApplication>
#include <QPointer>

#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", VELMORA_VERSION);
        return 0;
    }
    // The browser engine refuses to start as root with its sandbox on.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    const bool subcommand = argc >= 2 && argv[1][0] != '-';
    // Subcommands work without a display.
    if (subcommand && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // The subcommand's arguments as given: QApplication takes its own options
    // ("-style", "-reverse", ...) out of argv, even after "--".
    const QString name = subcommand ? QString::fromLocal8Bit(argv[1]) : QString();
    QStringList subcommandArgs;
    for (int i = 2; subcommand && i < argc; ++i)
        subcommandArgs << QString::fromLocal8Bit(argv[i]);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    QApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));

    if (subcommand) {
        const Subcommands::Function *fn = Subcommands::find(name);
        if (!fn) {
            std::fprintf(stderr, "velmora: unknown subcommand '%s'\n", qPrintable(name));
            return 2;
        }
        return (*fn)(subcommandArgs);
    }

    // Interrupted, the program still closes its transfers and their files.
    QObject::connect(&TerminationSignals::instance(), &TerminationSignals::received, &app, &QCoreApplication::quit);
    // The download window stands in for the start window until that exists.
    // Closing it unloads it (its list is gone, it no longer counts as
    // loaded); an interrupt deletes it on the way out all the same.
    auto *window = new fFileDownload;
    const QPointer<fFileDownload> alive(window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    Msg::setParent(window);
    window->show();
    const int status = app.exec();
    delete alive.data(); // null when closing already deleted it
    return status;
}
