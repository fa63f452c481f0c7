#include "pmba/PmbaScreens.h"

#include "shell/ScreenRegistry.h"

namespace tolvan {

void registerPmbaScreens(ScreenRegistry&)
{
}

} // namespace tolvan
