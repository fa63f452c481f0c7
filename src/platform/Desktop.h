#pragma once

#include <QString>

#include <functional>

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
    // Mutes or unmutes the desktop's sound output, whatever its state was:
    // the caller says which state it shows, so shown and real never part.
    virtual DesktopResult setMute(bool muted) = 0;
    // Called once with the reason when a request that was under way fails.
    using LaterFailure = std::function<void(const QString& why)>;
    // Opens the folder in the desktop's file manager. Done means the opener
    // started; when it ends in failure later, whenFailed is called (on the
    // event loop) with its words.
    virtual DesktopResult openFileManager(const QString& folder, LaterFailure whenFailed) = 0;
};

QString describe(DesktopResult result);

} // namespace tolvan
