#include "programs/ProgramsScreens.h"

#include "shell/ScreenRegistry.h"

namespace tolvan {

void registerProgramsScreens(ScreenRegistry&)
{
}

} // namespace tolvan
