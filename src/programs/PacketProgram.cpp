#include "programs/PacketProgram.h"

#include "config/ConfigStore.h"
#include "platform/Processes.h"
#include "platform/Speech.h"
#include "shell/Notify.h"
#include "terminal/DirewolfConf.h"

#include <QDir>
#include <QFileInfo>

namespace tolvan {

namespace {

PacketProgram row(const char* program, const char* startButton, const char* resetButton, const char* pathFile,
                  const char* stateFile, StartMethod method, const char* startName, const char* resetName)
{
    PacketProgram p;
    p.program = QString::fromLatin1(program);
    p.startButton = QString::fromLatin1(startButton);
    p.resetButton = QString::fromLatin1(resetButton);
    p.pathFile = QString::fromLatin1(pathFile);
    p.stateFile = QString::fromLatin1(stateFile);
    p.method = method;
    p.startName = QString::fromLatin1(startName);
    p.resetName = QString::fromLatin1(resetName);
    return p;
}

QList<PacketProgram> makeTable()
{
    using enum StartMethod;
    QList<PacketProgram> t;
    t << row("WINTNC", "Command1", "Command3", "packet.dat", "buttonstate.dat", Run, "WINTNC", "WINTNC");

    PacketProgram soundmodem = row("Soundmodem", "Command4", "Command8", "soundmodempacket.dat", "buttonstates.dat",
                                   Run, "Soundmodem", "Soundmodem");
    soundmodem.startedBox = QStringLiteral("Soundmodem launched successfully.");
    soundmodem.failedBox = QStringLiteral("Failed to launch Soundmodem. Check the drive or path.");
    soundmodem.resetSpoken = QStringLiteral("soundmodem has been reset");
    t << soundmodem;

    PacketProgram winlink =
        row("WINLINK", "Command2", "Command9", "winlink.dat", "buttonstatess.dat", Run, "WINLINK", "WINLINK");
    winlink.startedSpoken = QStringLiteral("winlink launched successfully");
    t << winlink;

    for (PacketProgram p : {row("Direwolf", "Command11", "Command12", "direwolfpacket.dat", "buttonstatesss.dat",
                                ShellOpen, "Direwolf", "Direwolf"),
                            row("Splitter", "serialswitch", "resetsplitter", "splitter.dat", "buttonstatessss.dat",
                                ShellOpen, "Splitter", "Splitter"),
                            row("NPR Modem", "Command16", "Command17", "nprmodem.dat", "thestate.dat", ShellOpen,
                                "NPR Modem", "NPR Modem")}) {
        p.smallDeclinedText = true;
        t << p;
    }
    t << row("VARAC", "Command14", "Command15", "VARA.dat", "varastate.dat", Run, "VARA", "VARAC");
    t << row("TOLVAN Terminal", "Command19", "Command20", "TLVTerminal.dat", "TLVstate.dat", Run, "Terminal",
             "Terminal");
    return t;
}

MessageBoxRequest box(const QString& text, MsgIcon icon)
{
    return {text, {}, icon, MsgButtons::Ok, MsgAnswer::Ok};
}

ProgramOutcome error(const QString& description)
{
    ProgramOutcome o;
    o.kind = ProgramOutcome::Kind::Error;
    o.boxes << box(QStringLiteral("Error: ") + description, MsgIcon::Critical);
    return o;
}

// Why a stored program path cannot be started or searched for; empty when it
// can. The store holds "blank" until a program is chosen, and a bare folder
// while the operator is still looking for the program.
QString unusablePath(const PacketProgram& program, const QString& path)
{
    const QString choose = QStringLiteral(" Choose its program file with SETUP on the entry screen.");
    if (path.isEmpty() || path.compare(QStringLiteral("blank"), Qt::CaseInsensitive) == 0) {
        return QStringLiteral("No program has been chosen for %1.").arg(program.program) + choose;
    }
    if (!QDir::isAbsolutePath(path) || ProgramFileName(path).isEmpty()) {
        return QStringLiteral("\"%1\" is not the full path of a program for %2.").arg(path, program.program) + choose;
    }
    if (QFileInfo(path).isDir()) {
        return QStringLiteral("\"%1\" is a folder, not a program for %2.").arg(path, program.program) + choose;
    }
    return {};
}

} // namespace

QString PacketProgram::alreadyRunningSpoken() const
{
    return startName + QStringLiteral(" is already running");
}

QString PacketProgram::alreadyRunningBox(const QString& exeName) const
{
    return exeName + QStringLiteral(" is already running.");
}

QString PacketProgram::startedSpokenText() const
{
    return startedSpoken.isEmpty() ? startName + QStringLiteral(" launched successfully") : startedSpoken;
}

QString PacketProgram::startedBoxText(const QString& exeName) const
{
    return startedBox.isEmpty() ? exeName + QStringLiteral(" launched successfully.") : startedBox;
}

QString PacketProgram::startFailedBoxText(const QString& exeName) const
{
    if (!failedBox.isEmpty()) {
        return failedBox;
    }
    return QStringLiteral("Failed to launch ") + exeName
        + (method == StartMethod::Run ? QStringLiteral(". Check the drive or path.")
                                      : QStringLiteral(". Check the path or config."));
}

QString PacketProgram::resetQuestionText() const
{
    return QStringLiteral("Do you want to reset ") + resetName + u'?';
}

QString PacketProgram::resetDoneSpoken() const
{
    return resetSpoken.isEmpty() ? resetName + QStringLiteral(" has been reset") : resetSpoken;
}

QString PacketProgram::resetDoneBox() const
{
    return resetName + QStringLiteral(" has been reset.");
}

QString PacketProgram::resetDeclinedSpoken() const
{
    return smallDeclinedText ? QStringLiteral("reset cancelled") : QStringLiteral("Reset Cancelled");
}

const QList<PacketProgram>& PacketPrograms()
{
    static const QList<PacketProgram> table = makeTable();
    return table;
}

const PacketProgram* PacketProgramOfButton(const QString& buttonName)
{
    for (const PacketProgram& p : PacketPrograms()) {
        if (p.startButton == buttonName || p.resetButton == buttonName) {
            return &p;
        }
    }
    return nullptr;
}

QString ProgramFileName(const QString& programPath)
{
    return programPath.mid(programPath.lastIndexOf(u'/') + 1);
}

namespace {

bool isDirewolf(const PacketProgram& program, const QString& exeName)
{
    return program.startButton == QLatin1String("Command11") &&
           (exeName.compare(QLatin1String("direwolf"), Qt::CaseInsensitive) == 0 ||
            exeName.compare(QLatin1String("direwolf.exe"), Qt::CaseInsensitive) == 0);
}

} // namespace

Result<QStringList> StartArguments(const PacketProgram& program, const QString& exeName, const QString& folder,
                                   const ConfigStore& store)
{
    if (!isDirewolf(program, exeName) || store.programFolder().isEmpty()) {
        return QStringList{};
    }
    // Direwolf without a configuration listens on no port the terminal knows
    // and answers to no call sign: the station's own is named explicitly.
    const QString conf = DirewolfConf::PathFor(store);
    if (QFileInfo(conf).isFile()) {
        return QStringList{QStringLiteral("-c"), conf};
    }
    if (QFileInfo(QDir(folder), DirewolfConf::kFileName).isFile()) {
        return QStringList{}; // the operator's own, which Direwolf reads from its folder
    }
    if (!DirewolfConf::CallSignStored(store)) {
        return Fail(QStringLiteral("Direwolf needs a configuration, and there is none yet: neither the station's "
                                   "(%1) nor a direwolf.conf in %2. Type the station's call sign in \"Station call "
                                   "sign\" on the SETTINGS screen; the station's configuration is then written, and "
                                   "Direwolf starts with it.")
                        .arg(conf, folder));
    }
    const Result<DirewolfConf::Outcome> written = DirewolfConf::WriteForStation(store);
    if (!written.ok()) {
        return Fail(
            QStringLiteral("The Direwolf configuration %1 could not be written: %2").arg(conf, written.error()));
    }
    return QStringList{QStringLiteral("-c"), conf};
}

QStringList RunArguments(const PacketProgram& program, const QString& exeName, const ConfigStore& store)
{
    // The station's own terminal works on this station's folders and writes
    // its state where this program's main menu reads it, also when this
    // program was started on another station folder than the default one.
    if (program.startButton != QLatin1String("Command19") || store.programFolder().isEmpty() ||
        exeName.compare(QLatin1String("tolvan-terminal"), Qt::CaseInsensitive) != 0) {
        return {};
    }
    return {QStringLiteral("--station"), store.programFolder()};
}

QString ProgramOutputFile(const ConfigStore& store, const QString& exeName)
{
    if (store.programFolder().isEmpty() || exeName.isEmpty()) {
        return {};
    }
    return QDir(store.programFolder()).absoluteFilePath(QStringLiteral("logs/") + exeName + QStringLiteral(".log"));
}

QString StoppedBoxText(const QString& exeName, const EarlyEnd& end)
{
    QString text = exeName + QStringLiteral(" stopped right after it was started");
    if (end.lastLines.isEmpty()) {
        return text + QStringLiteral(" and printed nothing.");
    }
    text += QStringLiteral(". The last lines it printed:\n\n") + end.lastLines.join(u'\n');
    if (!end.outputFile.isEmpty()) {
        text += QStringLiteral("\n\nAll it printed is in %1.").arg(end.outputFile);
    }
    return text;
}

bool IsProcessRunning(ProcessService& processes, const QString& exeName)
{
    return !exeName.isEmpty() && processes.isRunning(exeName);
}

namespace {

// The texts of a program that started, or that stopped at once.
ProgramOutcome startedOutcome(const PacketProgram& program, const QString& exeName, const std::optional<EarlyEnd>& end,
                              ConfigStore& store, Speaker& speaker)
{
    ProgramOutcome o;
    if (end) {
        o.kind = ProgramOutcome::Kind::Stopped;
        Notify::AnnounceIfEnabled(store, speaker, program.startName + QStringLiteral(" stopped"));
        o.boxes << box(StoppedBoxText(exeName, *end), MsgIcon::Exclamation);
    } else {
        o.kind = ProgramOutcome::Kind::Started;
        Notify::AnnounceIfEnabled(store, speaker, program.startedSpokenText());
        o.boxes << box(program.startedBoxText(exeName), MsgIcon::Information);
    }
    return o;
}

} // namespace

ProgramOutcome StartPacketProgram(const PacketProgram& program, ConfigStore& store, ProcessService& processes,
                                  Speaker& speaker, StartReport report)
{
    const StoreValue<QString> stored = store.ReadStoreField(program.pathFile);
    // No path file (or an empty one) means no program was ever chosen: say so,
    // as for "blank", rather than naming an internal file.
    const bool neverChosen = stored.error == StoreError::FileNotFound || stored.error == StoreError::EndOfFile;
    if (!stored.ok() && !neverChosen) {
        return error(stored.message);
    }
    const QString path = stored.ok() ? stored.value : QString();
    if (const QString why = unusablePath(program, path); !why.isEmpty()) {
        return error(why);
    }
    const QString exeName = ProgramFileName(path);

    ProgramOutcome o;
    if (IsProcessRunning(processes, exeName)) {
        o.kind = ProgramOutcome::Kind::AlreadyRunning;
        Notify::AnnounceIfEnabled(store, speaker, program.alreadyRunningSpoken());
        o.boxes << box(program.alreadyRunningBox(exeName), MsgIcon::Information);
    } else {
        LaunchOptions options;
        options.outputFile = ProgramOutputFile(store, exeName);
        options.arguments = RunArguments(program, exeName, store);
        if (report) {
            options.watch = [program, exeName, &store, &speaker, report](const std::optional<EarlyEnd>& end) {
                report(startedOutcome(program, exeName, end, store, speaker));
            };
        }
        Result<qint64> started;
        if (program.method == StartMethod::Run) {
            // A program file that is not there cannot be run at all; that is an
            // error of the stored path, not a start that failed.
            if (!QFileInfo::exists(path)) {
                return error(QStringLiteral("File not found: ") + path);
            }
            started = processes.start(path, options);
        } else {
            QString folder = path.left(path.lastIndexOf(u'/'));
            if (folder.isEmpty()) {
                folder = QStringLiteral("/");
            }
            const Result<QStringList> arguments = StartArguments(program, exeName, folder, store);
            if (!arguments.ok()) {
                return error(arguments.error());
            }
            started = processes.open(exeName, folder, arguments.value(), options);
        }
        if (!started.ok()) {
            o.kind = ProgramOutcome::Kind::StartFailed;
            o.boxes << box(program.startFailedBoxText(exeName), MsgIcon::Exclamation);
        } else if (report) {
            o.kind = ProgramOutcome::Kind::Starting;
        } else {
            o = startedOutcome(program, exeName, std::nullopt, store, speaker);
        }
    }
    // Whatever came of it, the start button is used until the operator resets it.
    o.startEnabled = false;
    if (const StoreStatus written = store.WriteStoreLine(program.stateFile, false); !written.ok()) {
        o.boxes << box(QStringLiteral("Error: ") + written.message, MsgIcon::Critical);
    }
    return o;
}

MessageBoxRequest ResetQuestion(const PacketProgram& program)
{
    return {program.resetQuestionText(), QStringLiteral("Reset Confirmation"), MsgIcon::Question, MsgButtons::YesNo,
            MsgAnswer::Yes};
}

ProgramOutcome ResetPacketProgram(const PacketProgram& program, bool confirmed, ConfigStore& store, Speaker& speaker)
{
    ProgramOutcome o;
    if (!confirmed) {
        o.kind = ProgramOutcome::Kind::ResetDeclined;
        Notify::AnnounceIfEnabled(store, speaker, program.resetDeclinedSpoken());
        o.boxes << box(QStringLiteral("Reset cancelled."), MsgIcon::Information);
        return o;
    }
    o.kind = ProgramOutcome::Kind::ResetDone;
    o.startEnabled = true;
    if (const StoreStatus written = store.WriteStoreNumber(program.stateFile, true); !written.ok()) {
        // The button is armed for this visit only; the operator learns why it
        // will be disabled again next time.
        o.boxes << box(QStringLiteral("Error: ") + written.message, MsgIcon::Critical);
        return o;
    }
    Notify::AnnounceIfEnabled(store, speaker, program.resetDoneSpoken());
    o.boxes << box(program.resetDoneBox(), MsgIcon::Information);
    return o;
}

Result<bool> ReadButtonState(const PacketProgram& program, const ConfigStore& store)
{
    if (!store.StoreFileExists(program.stateFile)) {
        return true;
    }
    const StoreValue<bool> value = store.ReadStoreBool(program.stateFile);
    if (!value.ok()) {
        return {Fail(value.message), true};
    }
    return value.value;
}

} // namespace tolvan
