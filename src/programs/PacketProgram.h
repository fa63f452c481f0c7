#pragma once

#include "platform/Dialogs.h"
#include "platform/Result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tolvan {

class ConfigStore;
class ProcessService;
class Speaker;
struct EarlyEnd;

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

// What a program is started with, from its working folder: Direwolf gets
// "-c" and the station's direwolf.conf (written first, from the station's
// call sign, when missing), unless its own folder holds a direwolf.conf of
// the operator's; every other program gets nothing. A failure says what the
// operator has to do before Direwolf can start.
Result<QStringList> StartArguments(const PacketProgram& program, const QString& exeName, const QString& folder,
                                   const ConfigStore& store);

// What a program that is run (not opened) gets on its command line: the
// TOLVAN Terminal is told this station's folder; every other program nothing.
QStringList RunArguments(const PacketProgram& program, const QString& exeName, const ConfigStore& store);

// Where a started program's output is kept: "logs/" and the program's file
// name with ".log" in the station folder; empty without a station folder.
QString ProgramOutputFile(const ConfigStore& store, const QString& exeName);

// Whether at least one process with this executable file name runs, letter
// case ignored. An empty name never runs.
bool IsProcessRunning(ProcessService& processes, const QString& exeName);

// What a start or reset came to: the boxes to show, in order, and the start
// button's new enabled state (none: leave it as it is).
struct ProgramOutcome {
    // Starting: started and watched; Started or Stopped follows in the report.
    enum class Kind { AlreadyRunning, Starting, Started, Stopped, StartFailed, Error, ResetDone, ResetDeclined };
    Kind kind = Kind::Error;
    QList<MessageBoxRequest> boxes;
    std::optional<bool> startEnabled;
};

// The rest of a watched start, told once: Started, or Stopped when the
// program ended within the first seconds, with its last lines in the box.
using StartReport = std::function<void(const ProgramOutcome& later)>;

// Checks whether the program runs, starts it when it does not, speaks the
// outcome when sound is on and records the start button as used. A program
// path that cannot be used is reported and changes nothing. With a report,
// a started program is watched first: the outcome is Starting, and report
// gets the started or stopped texts (and speaks them) a few seconds later.
ProgramOutcome StartPacketProgram(const PacketProgram& program, ConfigStore& store, ProcessService& processes,
                                  Speaker& speaker, StartReport report = {});

// The box of a program that ended right after its start.
QString StoppedBoxText(const QString& exeName, const EarlyEnd& end);

// The Yes/No question a reset asks first.
MessageBoxRequest ResetQuestion(const PacketProgram& program);
// Re-arms the start button when confirmed; never touches the program itself.
ProgramOutcome ResetPacketProgram(const PacketProgram& program, bool confirmed, ConfigStore& store, Speaker& speaker);

// Whether the start button is enabled: its stored Boolean, enabled when the
// state file does not exist. A file that holds no Boolean is a failure naming
// the fault, with the button still enabled as its value.
Result<bool> ReadButtonState(const PacketProgram& program, const ConfigStore& store);

} // namespace tolvan
