#include "config/SetupScreens.h"

#include "shell/ScreenRegistry.h"

namespace tolvan {

void registerSetupScreens(ScreenRegistry&)
{
}

} // namespace tolvan
