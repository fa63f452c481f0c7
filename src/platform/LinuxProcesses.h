#pragma once

#include "platform/Processes.h"

namespace tolvan {

// The process list from /proc, program start by path, and opening a file with
// the desktop's handler.
class LinuxProcesses : public ProcessService {
public:
    bool isRunning(const QString& executableName) override;
    QList<ProcessNames> processList() override;
    StartResult start(const QString& programPath) override;
    StartResult open(const QString& fileName, const QString& workingFolder) override;
};

} // namespace tolvan
