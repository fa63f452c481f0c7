#pragma once

namespace tolvan {

class ScreenRegistry;

// Shows the restricted first main menu: of its buttons only settings, the
// mandatory self-test and exit stay, so a new station is checked before the
// working screens can be reached.
void ShowRestrictedMainMenu(ScreenRegistry& registry);

} // namespace tolvan
