#include "app/subcommands.h"

#include <QHash>

namespace {
QHash<QString, Subcommands::Function> &registry()
{
    static QHash<QString, Subcommands::Function> r;
    return r;
}
} // namespace

namespace Subcommands {

void add(const QString &name, Function fn) { registry().insert(name, std::move(fn)); }

const Function *find(const QString &name)
{
    auto it = registry().constFind(name);
    return it == registry().constEnd() ? nullptr : &it.value();
}

} // namespace Subcommands
