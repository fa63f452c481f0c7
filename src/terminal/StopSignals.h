#pragma once

#include "platform/Result.h"

#include <QObject>

#include <functional>

namespace tolvan {

// SIGTERM and SIGINT, delivered to the event loop: the handler only writes a
// byte into a pipe, and stop runs from the loop between two events, never
// inside one. Once is enough: later signals are ignored while it ends.
// One per process (the signal handler has a single pipe).
Result<> CatchStopSignals(QObject* owner, std::function<void()> stop);

} // namespace tolvan
