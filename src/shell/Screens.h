#pragma once

namespace tolvan {

class ScreenRegistry;

// Makes every screen of the program known to the registry by its name.
void registerAllScreens(ScreenRegistry& registry);

} // namespace tolvan
