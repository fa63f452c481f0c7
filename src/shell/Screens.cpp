#include "shell/Screens.h"

#include "config/SetupScreens.h"
#include "mail/MailScreens.h"
#include "monitor/MonitorScreens.h"
#include "pmba/PmbaScreens.h"
#include "programs/ProgramsScreens.h"
#include "sevenplus/SevenPlusScreens.h"
#include "shell/ENTER.h"
#include "shell/ScreenRegistry.h"
#include "shell/frmdecide.h"
#include "shell/mainmenu.h"

namespace tolvan {

void registerAllScreens(ScreenRegistry& registry)
{
    registry.add(QStringLiteral("ENTER"), [](ScreenRegistry& r) { return new ENTER(r); });
    registry.add(QStringLiteral("frmdecide"), [](ScreenRegistry& r) { return new frmdecide(r); });
    registry.add(QStringLiteral("mainmenu"), [](ScreenRegistry& r) { return new mainmenu(r); });
    registerSetupScreens(registry);
    registerMailScreens(registry);
    registerMonitorScreens(registry);
    registerPmbaScreens(registry);
    registerProgramsScreens(registry);
    registerSevenPlusScreens(registry);
}

} // namespace tolvan
