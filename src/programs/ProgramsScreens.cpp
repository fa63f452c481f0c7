#include "programs/ProgramsScreens.h"

#include "programs/PACKETWINLINK.h"
#include "shell/ScreenRegistry.h"

namespace tolvan {

void registerProgramsScreens(ScreenRegistry& registry)
{
    registry.add(QStringLiteral("PACKETWINLINK"), [](ScreenRegistry& r) { return new PACKETWINLINK(r); });
}

} // namespace tolvan
