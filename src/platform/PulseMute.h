#pragma once

#include "platform/Desktop.h"

namespace tolvan {

// Sets the mute switch of the sound server's default output (PulseAudio, or
// PipeWire through its PulseAudio service) to the given state. Waits at most
// timeoutMs in all. NotAvailable when no server answers; never starts one.
DesktopResult setDefaultOutputMute(bool muted, int timeoutMs);

} // namespace tolvan
