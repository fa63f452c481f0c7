#pragma once

#include "platform/Desktop.h"

namespace tolvan {

// Flips the mute switch of the sound server's default output (PulseAudio, or
// PipeWire through its PulseAudio service). Waits at most timeoutMs in all.
// NotAvailable when no server answers; never starts one.
DesktopResult toggleDefaultOutputMute(int timeoutMs);

} // namespace tolvan
