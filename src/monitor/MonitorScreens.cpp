#include "monitor/MonitorScreens.h"

#include "shell/ScreenRegistry.h"

namespace tolvan {

void registerMonitorScreens(ScreenRegistry&)
{
}

} // namespace tolvan
