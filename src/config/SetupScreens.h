#pragma once

namespace tolvan {
class ScreenRegistry;
// Makes this subsystem's screens known to the registry.
void registerSetupScreens(ScreenRegistry& registry);
} // namespace tolvan
