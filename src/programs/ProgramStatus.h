#pragma once

#include "platform/ProcessMatch.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tolvan {

class ConfigStore;
class ProcessService;

// Whether each packet program runs now, for the marks beside the start
// buttons of the communication center.
struct ProgramStatus {
    QString startButton;
    QString exeName; // from the program's stored path; empty when none is set
    bool running = false;
};

// For each name, whether a process of the list runs it; one pass over the list.
QList<bool> RunningOf(const QList<ProcessNames>& processes, const QStringList& exeNames);

// Every packet program, with its stored path read now and one scan of the
// process list for all of them.
QList<ProgramStatus> ScanProgramStatus(const ConfigStore& store, ProcessService& processes);

// A mark and a word, so the state does not rest on colour alone.
QString ProgramStatusText(bool running);

} // namespace tolvan
