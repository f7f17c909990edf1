#pragma once
// Subcommands of the `velmora` executable (`velmora sniff`, `velmora get`, ...).
// Each one registers itself from its own source file with a static
// SubcommandRegistration, so adding a subcommand never touches main().
#include <QStringList>
#include <functional>

namespace Subcommands {

// args are the arguments after the subcommand's name. The function runs with
// a QApplication already constructed (offscreen unless QT_QPA_PLATFORM says
// otherwise) and returns the process exit status.
using Function = std::function<int(const QStringList &args)>;

void add(const QString &name, Function fn);
const Function *find(const QString &name);

} // namespace Subcommands

struct SubcommandRegistration {
    SubcommandRegistration(const QString &name, Subcommands::Function fn) { Subcommands::add(name, std::move(fn)); }
};
