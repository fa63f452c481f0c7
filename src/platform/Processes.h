#pragma once

#include "platform/ProcessMatch.h"
#include "platform/Result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tolvan {

// How a started program ended within the first seconds after its start.
struct EarlyEnd {
    QStringList lastLines; // the last lines it printed, standard output and error together
    QString outputFile;    // where all of its output went; empty when it was not kept
};

// A watch on a program just started: told once, later, from the event loop
// (never from within the start itself), with the early end when the program
// ended within the watch time, or with nothing when it still runs then.
using StartWatch = std::function<void(const std::optional<EarlyEnd>& end)>;

// Where a started program's output goes, and who hears how its start went.
struct LaunchOptions {
    QStringList arguments; // for start(): the program's command line after its name
    QString outputFile;    // replaced at each start; empty: the output is dropped
    StartWatch watch;   // none: nobody is told
};

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
    // operator. A failed start is not watched.
    virtual Result<qint64> start(const QString& programPath, const LaunchOptions& options = {}) = 0;
    // Open a file with the desktop's handler for it, in the given working folder;
    // a program is run with the arguments. A file handed to the desktop's
    // handler is not watched: the handler ends at once by design, and the
    // watch is told the start went well.
    virtual Result<qint64> open(const QString& fileName, const QString& workingFolder, const QStringList& arguments,
                                const LaunchOptions& options = {}) = 0;
};

} // namespace tolvan
