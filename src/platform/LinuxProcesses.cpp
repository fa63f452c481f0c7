#include "platform/LinuxProcesses.h"

namespace tolvan {

bool LinuxProcesses::isRunning(const QString&) { return false; }
StartResult LinuxProcesses::start(const QString&) { return {false, 0, QStringLiteral("not available")}; }
StartResult LinuxProcesses::open(const QString&, const QString&) { return {false, 0, QStringLiteral("not available")}; }

} // namespace tolvan
