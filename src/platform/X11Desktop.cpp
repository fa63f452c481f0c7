#include "platform/X11Desktop.h"

namespace tolvan {

DesktopResult X11Desktop::findWindow(const QString&) { return DesktopResult::NotAvailable; }
DesktopResult X11Desktop::raiseWindow(const QString&, WindowShow) { return DesktopResult::NotAvailable; }
DesktopResult X11Desktop::pressKey(DesktopKey) { return DesktopResult::NotAvailable; }
DesktopResult X11Desktop::toggleMute() { return DesktopResult::NotAvailable; }
DesktopResult X11Desktop::openFileManager() { return DesktopResult::NotAvailable; }

} // namespace tolvan
