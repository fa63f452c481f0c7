#pragma once

#include "platform/Processes.h"

#include <QObject>

#include <memory>

namespace tolvan {

// The process list from /proc, program start by path, and opening a file with
// the desktop's handler.
//
// A started program's output goes to the file its start names, and a watch
// looks at the program for the first seconds after its start: a program that
// cannot work (no sound card, a bad configuration) ends in that time, and its
// last lines say why.
class LinuxProcesses : public ProcessService {
public:
    LinuxProcesses();
    // Watches still running end with it, unreported.
    ~LinuxProcesses() override;
    LinuxProcesses(const LinuxProcesses&) = delete;
    LinuxProcesses& operator=(const LinuxProcesses&) = delete;

    static constexpr int kWatchMs = 3000;
    // How long a started program is watched.
    void setWatchTime(int ms) { m_watchMs = ms; }

    bool isRunning(const QString& executableName) override;
    QList<ProcessNames> processList() override;
    Result<qint64> start(const QString& programPath, const LaunchOptions& options = {}) override;
    Result<qint64> open(const QString& fileName, const QString& workingFolder, const QStringList& arguments,
                        const LaunchOptions& options = {}) override;

    // The last lines (at most `count`, empty ones left out) of a text file,
    // from its last 8 KiB.
    static QStringList LastLines(const QString& path, int count);

private:
    Result<qint64> watched(const Result<qint64>& started, const LaunchOptions& options);

    int m_watchMs = kWatchMs;
    std::unique_ptr<QObject> m_watches; // parent of the watches' timers
};

} // namespace tolvan
