#include "config/ConfigStore.h"
#include "platform/fake/FakePlatform.h"
#include "programs/PacketProgram.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tolvan;

namespace {

// What the operator hears and sees for one program, written out in full so
// that a slip in the table or in the text patterns shows up here.
struct Expected {
    const char* startButton;
    const char* resetButton;
    const char* pathFile;
    const char* stateFile;
    StartMethod method;
    const char* running;   // spoken when already running
    const char* started;   // spoken when started
    const char* startedBox; // empty: E + " launched successfully."
    const char* failedBox;  // empty: the method's pattern with E
    const char* question;
    const char* resetDone;
    const char* resetDoneBox;
    const char* declined;
};

const Expected kPrograms[] = {
    {"Command1", "Command3", "packet.dat", "buttonstate.dat", StartMethod::Run, "WINTNC is already running",
     "WINTNC launched successfully", "", "", "Do you want to reset WINTNC?", "WINTNC has been reset",
     "WINTNC has been reset.", "Reset Cancelled"},
    {"Command4", "Command8", "soundmodempacket.dat", "buttonstates.dat", StartMethod::Run,
     "Soundmodem is already running", "Soundmodem launched successfully", "Soundmodem launched successfully.",
     "Failed to launch Soundmodem. Check the drive or path.", "Do you want to reset Soundmodem?",
     "soundmodem has been reset", "Soundmodem has been reset.", "Reset Cancelled"},
    {"Command2", "Command9", "winlink.dat", "buttonstatess.dat", StartMethod::Run, "WINLINK is already running",
     "winlink launched successfully", "", "", "Do you want to reset WINLINK?", "WINLINK has been reset",
     "WINLINK has been reset.", "Reset Cancelled"},
    {"Command11", "Command12", "direwolfpacket.dat", "buttonstatesss.dat", StartMethod::ShellOpen,
     "Direwolf is already running", "Direwolf launched successfully", "", "", "Do you want to reset Direwolf?",
     "Direwolf has been reset", "Direwolf has been reset.", "reset cancelled"},
    {"serialswitch", "resetsplitter", "splitter.dat", "buttonstatessss.dat", StartMethod::ShellOpen,
     "Splitter is already running", "Splitter launched successfully", "", "", "Do you want to reset Splitter?",
     "Splitter has been reset", "Splitter has been reset.", "reset cancelled"},
    {"Command16", "Command17", "nprmodem.dat", "thestate.dat", StartMethod::ShellOpen, "NPR Modem is already running",
     "NPR Modem launched successfully", "", "", "Do you want to reset NPR Modem?", "NPR Modem has been reset",
     "NPR Modem has been reset.", "reset cancelled"},
    {"Command14", "Command15", "VARA.dat", "varastate.dat", StartMethod::Run, "VARA is already running",
     "VARA launched successfully", "", "", "Do you want to reset VARAC?", "VARAC has been reset",
     "VARAC has been reset.", "Reset Cancelled"},
    {"Command19", "Command20", "TLVTerminal.dat", "TLVstate.dat", StartMethod::Run, "Terminal is already running",
     "Terminal launched successfully", "", "", "Do you want to reset Terminal?", "Terminal has been reset",
     "Terminal has been reset.", "Reset Cancelled"},
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
        QDir().mkpath(tmp.path() + QStringLiteral("/prog"));
        QDir().mkpath(tmp.path() + QStringLiteral("/bin"));
    }

    // A program file that exists, stored as the program's path.
    QString installProgram(const QString& pathFile, const QString& fileName)
    {
        const QString path = tmp.path() + QStringLiteral("/bin/") + fileName;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_TRUE(store.WriteStoreLine(pathFile, path).ok());
        return path;
    }

    QByteArray stateBytes(const QString& stateFile)
    {
        QFile f(store.existingPath(stateFile));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    void soundOff() { ASSERT_TRUE(store.WriteStoreNumber(QStringLiteral("soundsettings.dat"), 0).ok()); }
};

class EachProgram : public LauncherTest, public ::testing::WithParamInterface<Expected> {
protected:
    const PacketProgram& program()
    {
        const PacketProgram* p = PacketProgramOfButton(QString::fromLatin1(GetParam().startButton));
        EXPECT_NE(p, nullptr);
        EXPECT_EQ(PacketProgramOfButton(QString::fromLatin1(GetParam().resetButton)), p);
        EXPECT_EQ(p->method, GetParam().method);
        return *p;
    }
    // By the names the program's files must have, not the table's own.
    QString installProgram(const QString& fileName)
    {
        return LauncherTest::installProgram(QString::fromLatin1(GetParam().pathFile), fileName);
    }
    QByteArray stateBytes() { return LauncherTest::stateBytes(QString::fromLatin1(GetParam().stateFile)); }
    static QString orPattern(const char* fixed, const QString& pattern)
    {
        return *fixed ? QString::fromLatin1(fixed) : pattern;
    }
};

} // namespace

TEST(PacketProgramTable, HasOneRowPerProgramWithDistinctButtonsAndFiles)
{
    ASSERT_EQ(PacketPrograms().size(), std::size(kPrograms));
    QSet<QString> names;
    for (const PacketProgram& p : PacketPrograms()) {
        for (const QString& n : {p.startButton, p.resetButton, p.pathFile.toLower(), p.stateFile.toLower()}) {
            EXPECT_FALSE(names.contains(n)) << n.toStdString();
            names.insert(n);
        }
    }
    EXPECT_EQ(PacketProgramOfButton(QStringLiteral("Command5")), nullptr);
}

TEST_P(EachProgram, AlreadyRunningIsReportedNotStartedAndStillDisablesTheButton)
{
    const Expected& e = GetParam();
    installProgram(QStringLiteral("Packet.EXE"));
    processes.running.insert(QStringLiteral("packet.exe"));

    const ProgramOutcome o = StartPacketProgram(program(), store, processes, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::AlreadyRunning);
    EXPECT_TRUE(processes.started.isEmpty());
    EXPECT_TRUE(processes.opened.isEmpty());
    EXPECT_EQ(speaker.spoken, QStringList{e.running});
    ASSERT_EQ(o.boxes.size(), 1);
    EXPECT_EQ(o.boxes[0].text, "Packet.EXE is already running.");
    EXPECT_EQ(o.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(o.startEnabled, false);
    EXPECT_EQ(stateBytes(), "False\r\n");
}

TEST_P(EachProgram, StartRunsOrOpensTheStoredProgram)
{
    const Expected& e = GetParam();
    const QString path = installProgram(QStringLiteral("modem-x"));

    const ProgramOutcome o = StartPacketProgram(program(), store, processes, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::Started);
    if (e.method == StartMethod::Run) {
        EXPECT_EQ(processes.started, QStringList{path});
        EXPECT_TRUE(processes.opened.isEmpty());
    } else {
        EXPECT_TRUE(processes.started.isEmpty());
        ASSERT_EQ(processes.opened.size(), 1);
        EXPECT_EQ(processes.opened[0].first, "modem-x");
        EXPECT_EQ(processes.opened[0].second, tmp.path() + "/bin");
    }
    EXPECT_EQ(speaker.spoken, QStringList{e.started});
    ASSERT_EQ(o.boxes.size(), 1);
    EXPECT_EQ(o.boxes[0].text, orPattern(e.startedBox, "modem-x launched successfully."));
    EXPECT_EQ(o.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(o.startEnabled, false);
    EXPECT_EQ(stateBytes(), "False\r\n");
}

TEST_P(EachProgram, FailedStartIsSilentAndStillDisablesTheButton)
{
    const Expected& e = GetParam();
    installProgram(QStringLiteral("modem-x"));
    processes.startSucceeds = false;

    const ProgramOutcome o = StartPacketProgram(program(), store, processes, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::StartFailed);
    EXPECT_TRUE(speaker.spoken.isEmpty());
    ASSERT_EQ(o.boxes.size(), 1);
    const QString pattern = e.method == StartMethod::Run ? "Failed to launch modem-x. Check the drive or path."
                                                         : "Failed to launch modem-x. Check the path or config.";
    EXPECT_EQ(o.boxes[0].text, orPattern(e.failedBox, pattern));
    EXPECT_EQ(o.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(o.startEnabled, false);
    EXPECT_EQ(stateBytes(), "False\r\n");
}

TEST_P(EachProgram, ConfirmedResetRearmsTheButtonInListForm)
{
    const Expected& e = GetParam();
    installProgram(QStringLiteral("modem-x"));
    StartPacketProgram(program(), store, processes, speaker);
    speaker.spoken.clear();

    const MessageBoxRequest q = ResetQuestion(program());
    EXPECT_EQ(q.text, e.question);
    EXPECT_EQ(q.title, "Reset Confirmation");
    EXPECT_EQ(q.icon, MsgIcon::Question);
    EXPECT_EQ(q.buttons, MsgButtons::YesNo);

    const ProgramOutcome o = ResetPacketProgram(program(), true, store, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::ResetDone);
    EXPECT_EQ(speaker.spoken, QStringList{e.resetDone});
    ASSERT_EQ(o.boxes.size(), 1);
    EXPECT_EQ(o.boxes[0].text, e.resetDoneBox);
    EXPECT_EQ(o.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(o.startEnabled, true);
    EXPECT_EQ(stateBytes(), "#TRUE#\r\n");
    EXPECT_TRUE(ReadButtonState(program(), store).enabled);
    // A reset never touches the program itself.
    EXPECT_EQ(processes.started.size() + processes.opened.size(), 1);
}

TEST_P(EachProgram, DeclinedResetChangesNothing)
{
    const Expected& e = GetParam();
    installProgram(QStringLiteral("modem-x"));
    StartPacketProgram(program(), store, processes, speaker);
    speaker.spoken.clear();

    const ProgramOutcome o = ResetPacketProgram(program(), false, store, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::ResetDeclined);
    EXPECT_EQ(speaker.spoken, QStringList{e.declined});
    ASSERT_EQ(o.boxes.size(), 1);
    EXPECT_EQ(o.boxes[0].text, "Reset cancelled.");
    EXPECT_FALSE(o.startEnabled.has_value());
    EXPECT_EQ(stateBytes(), "False\r\n");
    EXPECT_FALSE(ReadButtonState(program(), store).enabled);
}

TEST_P(EachProgram, WithSoundOffTheBoxesComeWithoutSpeech)
{
    soundOff();
    installProgram(QStringLiteral("modem-x"));
    const ProgramOutcome started = StartPacketProgram(program(), store, processes, speaker);
    processes.running.insert(QStringLiteral("modem-x"));
    const ProgramOutcome running = StartPacketProgram(program(), store, processes, speaker);
    const ProgramOutcome reset = ResetPacketProgram(program(), true, store, speaker);
    const ProgramOutcome declined = ResetPacketProgram(program(), false, store, speaker);
    EXPECT_TRUE(speaker.spoken.isEmpty());
    for (const ProgramOutcome* o : {&started, &running, &reset, &declined}) {
        EXPECT_EQ(o->boxes.size(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, EachProgram, ::testing::ValuesIn(kPrograms),
                         [](const auto& info) { return std::string(info.param.startButton); });

// ---- a program path that cannot be used ------------------------------------

namespace {

struct BadPath {
    const char* name;
    std::optional<QByteArray> stored; // none: the path file does not exist
    const char* message;              // the start of the box text
};

class UnusablePath : public LauncherTest, public ::testing::WithParamInterface<std::tuple<const char*, BadPath>> {};

} // namespace

// The shell-open programs used to end with an unhandled error here; every
// program now reports the path and leaves its button and state file alone.
TEST_P(UnusablePath, IsReportedAndChangesNothing)
{
    const auto& [button, bad] = GetParam();
    const PacketProgram& p = *PacketProgramOfButton(QString::fromLatin1(button));
    QDir().mkpath(tmp.path() + "/bin/folder");
    if (bad.stored) {
        QByteArray bytes = *bad.stored;
        bytes.replace("$BIN", tmp.path().toUtf8() + "/bin");
        QFile f(store.StorePath(p.pathFile));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    processes.running.insert(QStringLiteral("blank"));
    processes.running.insert(QStringLiteral("folder"));

    const ProgramOutcome o = StartPacketProgram(p, store, processes, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::Error);
    ASSERT_EQ(o.boxes.size(), 1);
    EXPECT_TRUE(o.boxes[0].text.startsWith(QString::fromLatin1(bad.message))) << o.boxes[0].text.toStdString();
    EXPECT_EQ(o.boxes[0].icon, MsgIcon::Critical);
    EXPECT_FALSE(o.startEnabled.has_value());
    EXPECT_FALSE(store.StoreFileExists(p.stateFile));
    EXPECT_TRUE(processes.started.isEmpty());
    EXPECT_TRUE(processes.opened.isEmpty());
    EXPECT_TRUE(speaker.spoken.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    RunAndShellOpen, UnusablePath,
    ::testing::Combine(::testing::Values("Command1", "Command11", "serialswitch"),
                       ::testing::Values(BadPath{"missing", std::nullopt, "Error: File not found: "},
                                         BadPath{"empty", QByteArray(), "Error: Input past end of file"},
                                         BadPath{"blank", QByteArray("blank\r\n"),
                                                 "Error: No program has been chosen for "},
                                         BadPath{"emptyline", QByteArray("\r\n"),
                                                 "Error: No program has been chosen for "},
                                         BadPath{"relative", QByteArray("modem.exe\r\n"), "Error: \"modem.exe\" is not "},
                                         BadPath{"folder", QByteArray("$BIN/folder\r\n"), "Error: \""})),
    [](const auto& info) { return std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name; });

TEST_F(LauncherTest, RunMethodReportsAMissingProgramFileAndChangesNothing)
{
    const PacketProgram& p = *PacketProgramOfButton(QStringLiteral("Command1"));
    const QString path = tmp.path() + "/bin/gone.exe";
    ASSERT_TRUE(store.WriteStoreLine(p.pathFile, path).ok());

    const ProgramOutcome o = StartPacketProgram(p, store, processes, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::Error);
    ASSERT_EQ(o.boxes.size(), 1);
    EXPECT_EQ(o.boxes[0].text, "Error: File not found: " + path);
    EXPECT_FALSE(o.startEnabled.has_value());
    EXPECT_FALSE(store.StoreFileExists(p.stateFile));
    EXPECT_TRUE(processes.started.isEmpty());
}

TEST_F(LauncherTest, AProgramOfTheSameFileNameRunningCountsEvenWhenTheStoredFileIsGone)
{
    const PacketProgram& p = *PacketProgramOfButton(QStringLiteral("Command14"));
    ASSERT_TRUE(store.WriteStoreLine(p.pathFile, tmp.path() + "/elsewhere/VARA.exe").ok());
    processes.running.insert(QStringLiteral("vara.exe"));

    const ProgramOutcome o = StartPacketProgram(p, store, processes, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::AlreadyRunning);
    EXPECT_EQ(o.startEnabled, false);
}

TEST_F(LauncherTest, ShellOpenOfAProgramAtTheTopFolderWorksInThatFolder)
{
    const PacketProgram& p = *PacketProgramOfButton(QStringLiteral("Command11"));
    ASSERT_TRUE(store.WriteStoreLine(p.pathFile, QStringLiteral("/direwolf")).ok());
    StartPacketProgram(p, store, processes, speaker);
    ASSERT_EQ(processes.opened.size(), 1);
    EXPECT_EQ(processes.opened[0], qMakePair(QStringLiteral("direwolf"), QStringLiteral("/")));
}

TEST_F(LauncherTest, ButtonStateReadsBothWriteFormsAndReportsNonsense)
{
    const PacketProgram& p = PacketPrograms().first();
    EXPECT_FALSE(ReadButtonState(p, store).exists);
    EXPECT_TRUE(ReadButtonState(p, store).enabled);
    for (const auto& [content, enabled] : {std::pair{"False\r\n", false}, {"#TRUE#\r\n", true}, {"#FALSE#\r\n", false},
                                           {"True\r\n", true}, {"0\r\n", false}}) {
        ASSERT_TRUE(store.WriteStoreLine(p.stateFile, QString::fromLatin1(content).trimmed()).ok());
        const ButtonState s = ReadButtonState(p, store);
        EXPECT_TRUE(s.exists);
        EXPECT_EQ(s.enabled, enabled) << content;
        EXPECT_TRUE(s.error.isEmpty());
    }
    ASSERT_TRUE(store.WriteStoreLine(p.stateFile, QStringLiteral("maybe")).ok());
    const ButtonState s = ReadButtonState(p, store);
    EXPECT_TRUE(s.enabled);
    EXPECT_FALSE(s.error.isEmpty());
}

TEST(ProgramFileName, IsThePartAfterTheLastSlash)
{
    EXPECT_EQ(ProgramFileName("/opt/wine/drive_c/VARA/VARA.exe"), "VARA.exe");
    EXPECT_EQ(ProgramFileName("/direwolf"), "direwolf");
    EXPECT_EQ(ProgramFileName("blank"), "blank");
    FakeProcesses none;
    EXPECT_FALSE(IsProcessRunning(none, QString()));
}
