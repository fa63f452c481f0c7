#include "shell/Screens.h"

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
    registerSevenPlusScreens(registry);
}

} // namespace tolvan
