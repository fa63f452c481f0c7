#include "pmba/PmbaScreens.h"

#include "pmba/sendfile.h"
#include "shell/ScreenRegistry.h"

namespace tolvan {

void registerPmbaScreens(ScreenRegistry& registry)
{
    registry.add(QStringLiteral("sendfile"), [](ScreenRegistry& r) { return new sendfile(r); });
}

} // namespace tolvan
