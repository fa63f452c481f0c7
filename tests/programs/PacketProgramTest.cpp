#include "config/ConfigStore.h"
#include "platform/fake/FakePlatform.h"
#include "programs/PacketProgram.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tolvan;

namespace {

// Each program's files and texts written out in full, so that a slip in the
// table or in the text patterns shows up. Empty box texts follow the pattern
// with the program's file name ("modem-x").
struct Expected {
    const char* start;
    const char* reset;
    const char* pathFile;
    const char* stateFile;
    StartMethod method;
    const char* running;
    const char* started;
    const char* startedBox;
    const char* failedBox;
    const char* question;
    const char* resetDone;
    const char* declined;
};

const Expected kPrograms[] = {
    {"Command1", "Command3", "packet.dat", "buttonstate.dat", StartMethod::Run, "WINTNC is already running",
     "WINTNC launched successfully", "", "", "Do you want to reset WINTNC?", "WINTNC has been reset",
     "Reset Cancelled"},
    {"Command4", "Command8", "soundmodempacket.dat", "buttonstates.dat", StartMethod::Run,
     "Soundmodem is already running", "Soundmodem launched successfully", "Soundmodem launched successfully.",
     "Failed to launch Soundmodem. Check the drive or path.", "Do you want to reset Soundmodem?",
     "soundmodem has been reset", "Reset Cancelled"},
    {"Command2", "Command9", "winlink.dat", "buttonstatess.dat", StartMethod::Run, "WINLINK is already running",
     "winlink launched successfully", "", "", "Do you want to reset WINLINK?", "WINLINK has been reset",
     "Reset Cancelled"},
    {"Command11", "Command12", "direwolfpacket.dat", "buttonstatesss.dat", StartMethod::ShellOpen,
     "Direwolf is already running", "Direwolf launched successfully", "", "", "Do you want to reset Direwolf?",
     "Direwolf has been reset", "reset cancelled"},
    {"serialswitch", "resetsplitter", "splitter.dat", "buttonstatessss.dat", StartMethod::ShellOpen,
     "Splitter is already running", "Splitter launched successfully", "", "", "Do you want to reset Splitter?",
     "Splitter has been reset", "reset cancelled"},
    {"Command16", "Command17", "nprmodem.dat", "thestate.dat", StartMethod::ShellOpen, "NPR Modem is already running",
     "NPR Modem launched successfully", "", "", "Do you want to reset NPR Modem?", "NPR Modem has been reset",
     "reset cancelled"},
    {"Command14", "Command15", "VARA.dat", "varastate.dat", StartMethod::Run, "VARA is already running",
     "VARA launched successfully", "", "", "Do you want to reset VARAC?", "VARAC has been reset", "Reset Cancelled"},
    {"Command19", "Command20", "TLVTerminal.dat", "TLVstate.dat", StartMethod::Run, "Terminal is already running",
     "Terminal launched successfully", "", "", "Do you want to reset Terminal?", "Terminal has been reset",
     "Reset Cancelled"},
};

class LauncherTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    ConfigStore store{tmp.path() + QStringLiteral("/prog")};
    FakeProcesses processes;
    FakeSpeaker speaker;

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        QDir().mkpath(tmp.path() + "/prog");
        QDir().mkpath(tmp.path() + "/bin");
    }
    QString storeProgram(const QString& pathFile, const QString& fileName)
    {
        const QString path = tmp.path() + "/bin/" + fileName;
        QFile(path).open(QIODevice::WriteOnly);
        EXPECT_TRUE(store.WriteStoreLine(pathFile, path).ok());
        return path;
    }
    QByteArray bytes(const QString& name)
    {
        QFile f(store.existingPath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static QString only(const ProgramOutcome& o, MsgIcon icon)
    {
        EXPECT_EQ(o.boxes.size(), 1);
        EXPECT_EQ(o.boxes.value(0).icon, icon);
        return o.boxes.value(0).text;
    }
};

class EachProgram : public LauncherTest, public ::testing::WithParamInterface<Expected> {};

} // namespace

TEST_P(EachProgram, StartsDetectsAndResetsWithItsOwnFilesAndTexts)
{
    const Expected& e = GetParam();
    const PacketProgram* p = PacketProgramOfButton(e.start);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(PacketProgramOfButton(e.reset), p);
    const QString path = storeProgram(e.pathFile, "modem-x");
    const auto pattern = [](const char* fixed, const QString& common) { return *fixed ? QString(fixed) : common; };

    // Started: run by path or opened in its folder; the button is used up.
    ProgramOutcome o = StartPacketProgram(*p, store, processes, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::Started);
    if (e.method == StartMethod::Run) {
        EXPECT_EQ(processes.started, QStringList{path});
    } else {
        EXPECT_EQ(processes.opened, (QList<QPair<QString, QString>>{{"modem-x", tmp.path() + "/bin"}}));
    }
    EXPECT_EQ(only(o, MsgIcon::Information), pattern(e.startedBox, "modem-x launched successfully."));
    EXPECT_EQ(o.startEnabled, false);
    EXPECT_EQ(bytes(e.stateFile), "False\r\n");

    // Declined reset: nothing changes.
    o = ResetPacketProgram(*p, false, store, speaker);
    EXPECT_EQ(only(o, MsgIcon::Information), "Reset cancelled.");
    EXPECT_FALSE(o.startEnabled.has_value());
    EXPECT_EQ(bytes(e.stateFile), "False\r\n");

    // Confirmed reset: re-armed in list form; the program is not touched.
    const MessageBoxRequest q = ResetQuestion(*p);
    EXPECT_EQ(q.text, e.question);
    EXPECT_EQ(q.title, "Reset Confirmation");
    EXPECT_EQ(q.icon, MsgIcon::Question);
    EXPECT_EQ(q.buttons, MsgButtons::YesNo);
    o = ResetPacketProgram(*p, true, store, speaker);
    QString doneBox = QString(e.resetDone) + "."; // the box starts with a capital even where speech does not
    doneBox[0] = doneBox[0].toUpper();
    EXPECT_EQ(only(o, MsgIcon::Information), doneBox);
    EXPECT_EQ(o.startEnabled, true);
    EXPECT_EQ(bytes(e.stateFile), "#TRUE#\r\n");
    EXPECT_TRUE(ReadButtonState(*p, store).value());

    // Running under another case of its name: reported, not started again.
    processes.running.insert("modem-x");
    o = StartPacketProgram(*p, store, processes, speaker);
    EXPECT_EQ(only(o, MsgIcon::Information), "modem-x is already running.");
    EXPECT_EQ(processes.started.size() + processes.opened.size(), 1);
    EXPECT_EQ(bytes(e.stateFile), "False\r\n");
    EXPECT_EQ(speaker.spoken, (QStringList{e.started, e.declined, e.resetDone, e.running}));

    // Failed start: no speech, and the button is still used up.
    processes.running.clear();
    processes.startSucceeds = false;
    ResetPacketProgram(*p, true, store, speaker);
    speaker.spoken.clear();
    o = StartPacketProgram(*p, store, processes, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::StartFailed);
    const QString failed = e.method == StartMethod::Run ? "Failed to launch modem-x. Check the drive or path."
                                                        : "Failed to launch modem-x. Check the path or config.";
    EXPECT_EQ(only(o, MsgIcon::Exclamation), pattern(e.failedBox, failed));
    EXPECT_EQ(o.startEnabled, false);
    EXPECT_EQ(bytes(e.stateFile), "False\r\n");
    EXPECT_TRUE(speaker.spoken.isEmpty());

    // Sound off: the same boxes, nothing spoken.
    ASSERT_TRUE(store.WriteStoreNumber("soundsettings.dat", 0).ok());
    processes.startSucceeds = true;
    EXPECT_EQ(StartPacketProgram(*p, store, processes, speaker).boxes.size(), 1);
    EXPECT_EQ(ResetPacketProgram(*p, true, store, speaker).boxes.size(), 1);
    EXPECT_EQ(ResetPacketProgram(*p, false, store, speaker).boxes.size(), 1);
    EXPECT_TRUE(speaker.spoken.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Programs, EachProgram, ::testing::ValuesIn(kPrograms),
                         [](const auto& info) { return std::string(info.param.start); });

namespace {

struct BadPath {
    const char* name;
    std::optional<QByteArray> stored; // none: no program-path file
    const char* message;              // start of the one box
};

class UnusablePath : public LauncherTest, public ::testing::WithParamInterface<std::tuple<const char*, BadPath>> {};

} // namespace

// The shell-open programs used to end in an unhandled error here. Every
// program now explains the path and leaves its button and state file alone.
TEST_P(UnusablePath, IsReportedAndChangesNothing)
{
    const auto& [button, bad] = GetParam();
    const PacketProgram& p = *PacketProgramOfButton(button);
    QDir().mkpath(tmp.path() + "/bin/folder");
    if (bad.stored) {
        QFile f(store.StorePath(p.pathFile));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(*bad.stored).replace("$BIN", tmp.path().toUtf8() + "/bin"));
    }
    processes.running = {"blank", "folder"}; // never asked about a name that is no program

    const ProgramOutcome o = StartPacketProgram(p, store, processes, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::Error);
    EXPECT_TRUE(only(o, MsgIcon::Critical).startsWith(bad.message)) << o.boxes.value(0).text.toStdString();
    EXPECT_FALSE(o.startEnabled.has_value());
    EXPECT_FALSE(store.StoreFileExists(p.stateFile));
    EXPECT_TRUE(processes.started.isEmpty() && processes.opened.isEmpty());
    EXPECT_TRUE(speaker.spoken.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    RunAndShellOpen, UnusablePath,
    ::testing::Combine(::testing::Values("Command1", "Command11", "serialswitch"),
                       ::testing::Values(BadPath{"NoFile", std::nullopt, "Error: No program has been chosen"},
                                         BadPath{"Empty", QByteArray(), "Error: No program has been chosen"},
                                         BadPath{"Blank", QByteArray("blank\r\n"), "Error: No program has been chosen"},
                                         BadPath{"EmptyLine", QByteArray("\r\n"), "Error: No program has been chosen"},
                                         BadPath{"Relative", QByteArray("modem.exe\r\n"), "Error: \"modem.exe\" is no"},
                                         BadPath{"Folder", QByteArray("$BIN/folder\r\n"), "Error: \""})),
    [](const auto& info) { return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name; });

TEST_F(LauncherTest, RunMethodReportsAMissingProgramUnlessItsNameIsRunning)
{
    const PacketProgram& vara = *PacketProgramOfButton("Command14");
    const QString gone = tmp.path() + "/elsewhere/VARA.exe";
    ASSERT_TRUE(store.WriteStoreLine(vara.pathFile, gone).ok());
    ProgramOutcome o = StartPacketProgram(vara, store, processes, speaker);
    EXPECT_EQ(only(o, MsgIcon::Critical), "Error: File not found: " + gone);
    EXPECT_FALSE(o.startEnabled.has_value());

    // Any process of that file name counts, wherever it was started from.
    processes.running.insert("vara.exe");
    o = StartPacketProgram(vara, store, processes, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::AlreadyRunning);
    EXPECT_EQ(o.startEnabled, false);
}

// Direwolf starts with the station's configuration, written first from the
// call sign when missing, or with its own beside it; without either it is
// refused, saying what to do. The terminal gets the station folder; other
// programs get no arguments.
TEST_F(LauncherTest, ProgramsAreStartedWithTheArgumentsTheyNeed)
{
    const PacketProgram& direwolf = *PacketProgramOfButton("Command11");
    const QString conf = tmp.path() + "/prog/direwolf.conf";
    storeProgram(direwolf.pathFile, "direwolf");
    ProgramOutcome o = StartPacketProgram(direwolf, store, processes, speaker);
    EXPECT_TRUE(only(o, MsgIcon::Critical).contains("type the station's call sign", Qt::CaseInsensitive));
    EXPECT_FALSE(o.startEnabled.has_value());
    EXPECT_TRUE(processes.opened.isEmpty());

    QFile own(tmp.path() + "/bin/direwolf.conf");
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.close();
    StartPacketProgram(direwolf, store, processes, speaker); // its own, read from its folder
    QFile::remove(own.fileName());
    ASSERT_TRUE(store.WriteStoreLine("terminalcall.dat", "N0CALL-5").ok());
    StartPacketProgram(direwolf, store, processes, speaker); // the station's, written now
    EXPECT_TRUE(QFile(conf).open(QIODevice::ReadOnly));
    storeProgram(direwolf.pathFile, "modem-x");
    StartPacketProgram(direwolf, store, processes, speaker);
    const PacketProgram& splitter = *PacketProgramOfButton("serialswitch");
    storeProgram(splitter.pathFile, "direwolf");
    StartPacketProgram(splitter, store, processes, speaker);
    EXPECT_EQ(processes.openedArguments, (QList<QStringList>{{}, {"-c", conf}, {}, {}}));

    // The station's terminal is told this station's folder, so that it works
    // on the same folders and its state reaches this main menu.
    const PacketProgram& terminal = *PacketProgramOfButton("Command19");
    storeProgram(terminal.pathFile, "tolvan-terminal");
    StartPacketProgram(terminal, store, processes, speaker);
    storeProgram(terminal.pathFile, "other-terminal");
    StartPacketProgram(terminal, store, processes, speaker);
    EXPECT_EQ(processes.startedArguments, (QList<QStringList>{{"--station", store.programFolder()}, {}}));
}
