#pragma once

namespace tolvan {

class ScreenRegistry;

// Shows the auto-save switch on every loaded screen that carries it (the inbox
// and the main menu); loads no screen.
void UpdateAutoSaveDisplay(ScreenRegistry& registry, bool enabled);

} // namespace tolvan
