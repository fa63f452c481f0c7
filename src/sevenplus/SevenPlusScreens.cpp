#include "sevenplus/SevenPlusScreens.h"

#include "sevenplus/frm7Plus.h"
#include "shell/ScreenRegistry.h"

namespace tolvan {

void registerSevenPlusScreens(ScreenRegistry& registry)
{
    registry.add(QStringLiteral("frm7Plus"), [](ScreenRegistry& r) { return new frm7Plus(r); });
}

} // namespace tolvan
