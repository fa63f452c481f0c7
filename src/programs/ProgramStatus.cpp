#include "programs/ProgramStatus.h"

#include "config/ConfigStore.h"
#include "platform/Processes.h"
#include "programs/PacketProgram.h"

namespace tolvan {

QList<bool> RunningOf(const QList<ProcessNames>& processes, const QStringList& exeNames)
{
    QList<bool> running(exeNames.size(), false);
    qsizetype left = 0;
    for (const QString& name : exeNames) {
        left += name.isEmpty() ? 0 : 1;
    }
    for (const ProcessNames& p : processes) {
        if (left == 0) {
            break;
        }
        for (qsizetype i = 0; i < exeNames.size(); ++i) {
            if (!running[i] && !exeNames[i].isEmpty() && processMatches(p, exeNames[i])) {
                running[i] = true;
                --left;
            }
        }
    }
    return running;
}

QList<ProgramStatus> ScanProgramStatus(const ConfigStore& store, ProcessService& processes)
{
    QList<ProgramStatus> statuses;
    QStringList names;
    for (const PacketProgram& program : PacketPrograms()) {
        const StoreValue<QString> path = store.ReadStoreField(program.pathFile);
        const QString exe = path.ok() ? ProgramFileName(path.value.trimmed()) : QString();
        statuses.append({program.startButton, exe, false});
        names << exe;
    }
    const QList<bool> running = RunningOf(processes.processList(), names);
    for (qsizetype i = 0; i < statuses.size(); ++i) {
        statuses[i].running = running[i];
    }
    return statuses;
}

QString ProgramStatusText(bool running)
{
    return running ? QStringLiteral("\u25CF running") : QStringLiteral("\u25CB stopped");
}

} // namespace tolvan
