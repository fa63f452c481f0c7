// The launcher with the real process list and program start: a small script
// stands in for a packet program.

#include "config/ConfigStore.h"
#include "platform/LinuxProcesses.h"
#include "platform/PlatformTestSupport.h"
#include "platform/fake/FakePlatform.h"
#include "programs/PacketProgram.h"
#include "programs/ProgramStatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>

using namespace tolvan;
using namespace tolvan::test;

namespace {

class RealProcess : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    ConfigStore store{tmp.path() + QStringLiteral("/prog")};
    LinuxProcesses processes;
    FakeSpeaker speaker;
    QString pidFile;

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        QDir().mkpath(tmp.path() + "/prog");
        QDir().mkpath(tmp.path() + "/bin");
        pidFile = tmp.path() + "/script.pid";
    }
    void TearDown() override
    {
        // Only the script this test started, by the id it wrote down.
        bool ok = false;
        const qint64 pid = readAll(pidFile).trimmed().toLongLong(&ok);
        if (ok && pid > 1) {
            ::kill(pid_t(pid), SIGTERM);
        }
    }

    // Notes its id, then runs until told to stop, a minute at the longest.
    QString script(const QString& name)
    {
        const QString path = tmp.path() + "/bin/" + name;
        const QByteArray body = "#!/bin/sh\necho $$ > '" + pidFile.toUtf8()
            + "'\ntrap 'exit 0' TERM\ni=0\nwhile [ $i -lt 300 ]; do sleep 0.2; i=$((i+1)); done\n";
        EXPECT_TRUE(writeFile(path, body, true));
        return path;
    }
};

} // namespace

TEST_F(RealProcess, AStartedScriptIsFoundRunningByItsFileNameInAnyCase)
{
    const PacketProgram& wintnc = *PacketProgramOfButton(QStringLiteral("Command1"));
    const QString name = QStringLiteral("TlvModem%1.sh").arg(::getpid());
    ASSERT_TRUE(store.WriteStoreLine(wintnc.pathFile, script(name)).ok());
    ASSERT_FALSE(IsProcessRunning(processes, name));

    ProgramOutcome first = StartPacketProgram(wintnc, store, processes, speaker);
    ASSERT_EQ(first.kind, ProgramOutcome::Kind::Started) << first.boxes.value(0).text.toStdString();
    EXPECT_TRUE(waitUntil([&] { return IsProcessRunning(processes, name.toUpper()); }));
    EXPECT_TRUE(IsProcessRunning(processes, name.toLower()));
    EXPECT_TRUE(waitUntil([&] { return !readAll(pidFile).isEmpty(); }));

    const ProgramOutcome second = StartPacketProgram(wintnc, store, processes, speaker);
    EXPECT_EQ(second.kind, ProgramOutcome::Kind::AlreadyRunning);
    ASSERT_EQ(second.boxes.size(), 1);
    EXPECT_EQ(second.boxes[0].text, name + " is already running.");
}

TEST_F(RealProcess, AWindowsProgramWithoutWineFailsToLaunch)
{
    const QString empty = tmp.path() + "/nopath";
    QDir().mkpath(empty);
    const ScopedEnv path("PATH", empty.toUtf8()); // no wine to be found
    const PacketProgram& vara = *PacketProgramOfButton(QStringLiteral("Command14"));
    const QString exe = tmp.path() + "/bin/VARA.exe";
    ASSERT_TRUE(writeFile(exe, "MZ", false));
    ASSERT_TRUE(store.WriteStoreLine(vara.pathFile, exe).ok());

    const ProgramOutcome o = StartPacketProgram(vara, store, processes, speaker);
    EXPECT_EQ(o.kind, ProgramOutcome::Kind::StartFailed);
    ASSERT_EQ(o.boxes.size(), 1);
    EXPECT_EQ(o.boxes[0].text, "Failed to launch VARA.exe. Check the drive or path.");
    EXPECT_EQ(o.startEnabled, false);
}

TEST_F(RealProcess, AStartedChildShowsRunningInTheStatusScan)
{
    const PacketProgram& wintnc = *PacketProgramOfButton(QStringLiteral("Command1"));
    const QString name = QStringLiteral("TlvStatus%1.sh").arg(::getpid());
    ASSERT_TRUE(store.WriteStoreLine(wintnc.pathFile, script(name)).ok());
    const auto wintncRunning = [&] { return ScanProgramStatus(store, processes).value(0).running; };
    EXPECT_FALSE(wintncRunning());
    ASSERT_EQ(StartPacketProgram(wintnc, store, processes, speaker).kind, ProgramOutcome::Kind::Started);
    EXPECT_TRUE(waitUntil(wintncRunning));
}

// A watched start: a program that prints and ends at once is reported stopped
// with what it printed; one that keeps running is reported started once the
// watch time is over. Neither start waits: the report comes from the event loop.
TEST_F(RealProcess, AProgramEndingAtOnceIsReportedStoppedWithItsLastLines)
{
    processes.setWatchTime(600);
    const PacketProgram& wintnc = *PacketProgramOfButton(QStringLiteral("Command1"));
    const QString failing = tmp.path() + "/bin/nosound.sh";
    ASSERT_TRUE(writeFile(failing, "#!/bin/sh\necho starting\necho 'Could not open audio device' >&2\nexit 1\n", true));
    std::optional<ProgramOutcome> later;
    const StartReport report = [&later](const ProgramOutcome& o) { later = o; };
    const auto reported = [&later] {
        QCoreApplication::processEvents();
        return later.has_value();
    };

    ASSERT_TRUE(store.WriteStoreLine(wintnc.pathFile, failing).ok());
    ProgramOutcome now = StartPacketProgram(wintnc, store, processes, speaker, report);
    EXPECT_EQ(now.kind, ProgramOutcome::Kind::Starting);
    EXPECT_TRUE(now.boxes.isEmpty());
    EXPECT_FALSE(later.has_value());
    ASSERT_TRUE(waitUntil(reported));
    EXPECT_EQ(later->kind, ProgramOutcome::Kind::Stopped);
    const QString log = tmp.path() + "/prog/logs/nosound.sh.log";
    ASSERT_EQ(later->boxes.size(), 1);
    EXPECT_EQ(later->boxes[0].text, StoppedBoxText("nosound.sh", {{"starting", "Could not open audio device"}, log}));

    later.reset();
    ASSERT_TRUE(store.WriteStoreLine(wintnc.pathFile, script(QStringLiteral("TlvWatch%1.sh").arg(::getpid()))).ok());
    QElapsedTimer clock;
    clock.start();
    now = StartPacketProgram(wintnc, store, processes, speaker, report);
    ASSERT_TRUE(waitUntil(reported));
    EXPECT_GE(clock.elapsed(), 550);
    EXPECT_EQ(later->kind, ProgramOutcome::Kind::Started);
    EXPECT_EQ(later->boxes.value(0).text, QStringLiteral("TlvWatch%1.sh launched successfully.").arg(::getpid()));
}
