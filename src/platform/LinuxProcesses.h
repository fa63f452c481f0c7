#pragma once

#include "platform/Processes.h"

namespace tolvan {

// The process list from /proc, program start by path, and opening a file with
// the desktop's handler.
class LinuxProcesses : public ProcessService {
public:
    bool isRunning(const QString& executableName) override;
    QList<ProcessNames> processList() override;
    Result<qint64> start(const QString& programPath) override;
    Result<qint64> open(const QString& fileName, const QString& workingFolder, const QStringList& arguments) override;
};

} // namespace tolvan
