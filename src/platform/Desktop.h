#pragma once

#include <QString>

namespace tolvan {

enum class DesktopResult { Done, NotFound, NotAvailable, Failed };

enum class WindowShow { Maximized, Restored };

// Keys the program synthesises on the desktop.
enum class DesktopKey { Super, AltTab };

// The desktop around the program: other programs' windows, key synthesis, the
// system mute, the file manager. Without an X display every call reports
// NotAvailable.
class DesktopService {
public:
    virtual ~DesktopService() = default;
    // Whether a top-level window with exactly this title exists.
    virtual DesktopResult findWindow(const QString& exactTitle) = 0;
    // Maximise or restore the window with exactly this title and bring it forward.
    virtual DesktopResult raiseWindow(const QString& exactTitle, WindowShow how) = 0;
    virtual DesktopResult pressKey(DesktopKey key) = 0;
    virtual DesktopResult toggleMute() = 0;
    // Opens the folder in the desktop's file manager.
    virtual DesktopResult openFileManager(const QString& folder) = 0;
};

QString describe(DesktopResult result);

} // namespace tolvan
