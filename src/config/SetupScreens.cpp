#include "config/SetupScreens.h"

#include "config/DIRCHANGE.h"
#include "shell/ScreenRegistry.h"
#include "shell/frsettings.h"

namespace tolvan {

void registerSetupScreens(ScreenRegistry& registry)
{
    registry.add(QStringLiteral("DIRCHANGE"), [](ScreenRegistry& r) { return new DIRCHANGE(r); });
    registry.add(QStringLiteral("frsettings"), [](ScreenRegistry& r) { return new frsettings(r); });
}

} // namespace tolvan
