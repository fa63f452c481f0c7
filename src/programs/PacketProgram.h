#pragma once

#include "platform/Dialogs.h"
#include "platform/Result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolvan {

class ConfigStore;
class ProcessService;
class Speaker;

// How a packet program is started: run by its full path, or opened by its file
// name in its own folder, the way the desktop shell opens a file.
enum class StartMethod { Run, ShellOpen };

// One external packet program of the communication center: its two buttons,
// the store files that hold its path and its start button's state, how it is
// started, and the names its spoken and shown texts use.
struct PacketProgram {
    QString program; // the program's name for the operator
    QString startButton;
    QString resetButton;
    QString pathFile;
    QString stateFile;
    StartMethod method = StartMethod::Run;
    QString startName; // in the start texts
    QString resetName; // in the reset texts

    // Texts of single programs that differ from the common pattern; empty
    // means the common one.
    QString startedSpoken;
    QString startedBox;
    QString failedBox;
    QString resetSpoken;
    bool smallDeclinedText = false; // speaks "reset cancelled" rather than "Reset Cancelled"

    QString alreadyRunningSpoken() const;
    QString alreadyRunningBox(const QString& exeName) const;
    QString startedSpokenText() const;
    QString startedBoxText(const QString& exeName) const;
    QString startFailedBoxText(const QString& exeName) const;
    QString resetQuestionText() const;
    QString resetDoneSpoken() const;
    QString resetDoneBox() const;
    QString resetDeclinedSpoken() const;
};

// Every packet program, in the order the screen's load step applies their
// button states.
const QList<PacketProgram>& PacketPrograms();
// The row whose start or reset button has this name; null when none has.
const PacketProgram* PacketProgramOfButton(const QString& buttonName);

// The part of a program path after its last "/": what the process list knows
// the program by.
QString ProgramFileName(const QString& programPath);

// What a program is started with: "-c" and the station's direwolf.conf for
// Direwolf when that file exists; nothing for every other program.
QStringList StartArguments(const PacketProgram& program, const QString& exeName, const ConfigStore& store);

// Whether at least one process with this executable file name runs, letter
// case ignored. An empty name never runs.
bool IsProcessRunning(ProcessService& processes, const QString& exeName);

// What a start or reset came to: the boxes to show, in order, and the start
// button's new enabled state (none: leave it as it is).
struct ProgramOutcome {
    enum class Kind { AlreadyRunning, Started, StartFailed, Error, ResetDone, ResetDeclined };
    Kind kind = Kind::Error;
    QList<MessageBoxRequest> boxes;
    std::optional<bool> startEnabled;
};

// Checks whether the program runs, starts it when it does not, speaks the
// outcome when sound is on and records the start button as used. A program
// path that cannot be used is reported and changes nothing.
ProgramOutcome StartPacketProgram(const PacketProgram& program, ConfigStore& store, ProcessService& processes,
                                  Speaker& speaker);

// The Yes/No question a reset asks first.
MessageBoxRequest ResetQuestion(const PacketProgram& program);
// Re-arms the start button when confirmed; never touches the program itself.
ProgramOutcome ResetPacketProgram(const PacketProgram& program, bool confirmed, ConfigStore& store, Speaker& speaker);

// Whether the start button is enabled: its stored Boolean, enabled when the
// state file does not exist. A file that holds no Boolean is a failure naming
// the fault, with the button still enabled as its value.
Result<bool> ReadButtonState(const PacketProgram& program, const ConfigStore& store);

} // namespace tolvan
