#include "app/subcommands.h"
#include "search/ui/harvestcommand.h"

static SubcommandRegistration registerHarvest(QStringLiteral("harvest"), runHarvestCommand);
