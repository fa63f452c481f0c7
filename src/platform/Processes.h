#pragma once

#include "platform/ProcessMatch.h"
#include "platform/Result.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace tolvan {

// The process list and program start.
class ProcessService {
public:
    virtual ~ProcessService() = default;
    // Whether a program with this executable file name runs (letter case ignored;
    // a program run under a Windows compatibility layer is found by the file name
    // at the end of its Windows-style path).
    virtual bool isRunning(const QString& executableName) = 0;
    // The names of every running process, from one scan of the process list,
    // for checking many programs at once (see processMatches).
    virtual QList<ProcessNames> processList() = 0;
    // Start the program at this full path with its folder as working folder.
    // The value is the started process's id; a failure says why, for the
    // operator.
    virtual Result<qint64> start(const QString& programPath) = 0;
    // Open a file with the desktop's handler for it, in the given working folder;
    // a program is run with the arguments.
    virtual Result<qint64> open(const QString& fileName, const QString& workingFolder,
                                const QStringList& arguments) = 0;
};

} // namespace tolvan
