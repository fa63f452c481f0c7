#pragma once

namespace tolvan {
class ScreenRegistry;
// Makes the 7PLUS screens known to the registry.
void registerSevenPlusScreens(ScreenRegistry& registry);
} // namespace tolvan
