#pragma once

#include "platform/Desktop.h"

namespace tolvan {

// Window search and raising (EWMH when a window manager runs, plain Xlib
// otherwise), key synthesis through XTest, the mute toggle through PulseAudio,
// and the desktop's file manager.
class X11Desktop : public DesktopService {
public:
    DesktopResult findWindow(const QString& exactTitle) override;
    DesktopResult raiseWindow(const QString& exactTitle, WindowShow how) override;
    DesktopResult pressKey(DesktopKey key) override;
    DesktopResult setMute(bool muted) override;
    DesktopResult openFileManager(const QString& folder, LaterFailure whenFailed) override;
};

} // namespace tolvan
