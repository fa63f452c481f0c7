#pragma once

namespace tolvan {
class ScreenRegistry;
// Makes this subsystem's screens known to the registry.
void registerPmbaScreens(ScreenRegistry& registry);
} // namespace tolvan
