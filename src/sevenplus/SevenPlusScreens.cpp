#include "sevenplus/SevenPlusScreens.h"

namespace tolvan {
void registerSevenPlusScreens(ScreenRegistry&) {}
} // namespace tolvan
