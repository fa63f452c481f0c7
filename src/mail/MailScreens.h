#pragma once

namespace tolvan {
class ScreenRegistry;
// Makes this subsystem's screens known to the registry.
void registerMailScreens(ScreenRegistry& registry);
} // namespace tolvan
