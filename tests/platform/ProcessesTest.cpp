#include "platform/LinuxProcesses.h"
#include "platform/ProcessMatch.h"

#include "platform/PlatformTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <string>

using namespace tolvan;
using namespace tolvan::test;

namespace {

// ---- matching /proc names --------------------------------------------------

struct MatchCase {
    const char* label;
    ProcessNames process;
    QString name;
    bool expected;
};

void PrintTo(const MatchCase& c, std::ostream* out)
{
    *out << c.label;
}

const QString kWinePreloader = QStringLiteral("/usr/lib/wine/wine64-preloader");
const QString kVaraWindowsPath = QStringLiteral("C:\\Program Files\\VARA\\VARA.exe");

class ProcessMatching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(ProcessMatching, DecidesByFileNameIgnoringLetterCase)
{
    const MatchCase& c = GetParam();
    EXPECT_EQ(processMatches(c.process, c.name), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProcessMatching,
    ::testing::Values(
        MatchCase{
            "wine program found by its Windows path", {kWinePreloader, kVaraWindowsPath, "VARA.exe"}, "VARA.exe", true},
        MatchCase{"wine program in lower case", {kWinePreloader, kVaraWindowsPath, "VARA.exe"}, "vara.exe", true},
        MatchCase{"wine program in upper case", {kWinePreloader, kVaraWindowsPath, "VARA.exe"}, "VARA.EXE", true},
        MatchCase{
            "wine program by argv0 alone", {kWinePreloader, kVaraWindowsPath, "wine64-preload"}, "vara.EXE", true},
        MatchCase{
            "wine preloader is not the program", {kWinePreloader, kVaraWindowsPath, "VARA.exe"}, "VARAC.exe", false},
        MatchCase{"native program by its exe link", {"/usr/bin/direwolf", "direwolf", "direwolf"}, "DireWolf", true},
        MatchCase{"exe link when argv0 was rewritten",
                  {"/opt/sm/Soundmodem", "soundmodem: running", "sm-main"},
                  "soundmodem",
                  true},
        MatchCase{"replaced program file", {"/opt/wl/winlink (deleted)", "", ""}, "WINLINK", true},
        MatchCase{
            "argv0 when the exe link is unreadable", {"", "/home/op/bin/TolvanTerm", "TolvanTerm"}, "tolvanterm", true},
        MatchCase{"comm cut at 15 bytes", {"", "", "VeryLongProgram"}, "VeryLongProgramName", true},
        MatchCase{"cut comm in another case", {"", "", "VeryLongProgram"}, "verylongprogramNAME", true},
        MatchCase{
            "comm cut after a two-byte letter", {"", "", "\u00dcberlanger_Pro"}, "\u00fcberlanger_programmname", true},
        MatchCase{"comm cut inside a character",
                  {"", "", QString::fromUtf8("abcdefghijklmn\xe2")},
                  "ABCDEFGHIJKLMN\u20acx",
                  true},
        MatchCase{"short comm must match the whole name", {"", "", "VARA"}, "VARA.exe", false},
        MatchCase{"comm longer than the name", {"", "", "VARA.exe"}, "VARA", false},
        MatchCase{"a prefix of the file name is not enough",
                  {"/usr/bin/direwolf-gui", "direwolf-gui", "direwolf-gui"},
                  "direwolf",
                  false},
        MatchCase{"a folder named like the program is not enough",
                  {"/opt/VARA.exe/bin/run", "/opt/VARA.exe/bin/run", "run"},
                  "VARA.exe",
                  false},
        MatchCase{"a process with no readable names", {"", "", ""}, "VARA.exe", false},
        MatchCase{"an empty name matches nothing", {"", "", ""}, "", false}),
    [](const ::testing::TestParamInfo<MatchCase>& info) {
        std::string name = info.param.label;
        for (char& ch : name) {
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        }
        return name;
    });

TEST(ProcessMatching, FileNameOfPathSplitsOnBothSlashes)
{
    EXPECT_EQ(fileNameOfPath(kVaraWindowsPath), "VARA.exe");
    EXPECT_EQ(fileNameOfPath(u"/usr/bin/direwolf"), "direwolf");
    EXPECT_EQ(fileNameOfPath(u"Z:\\opt/mixed\\prog"), "prog");
    EXPECT_EQ(fileNameOfPath(u"plain"), "plain");
    EXPECT_EQ(fileNameOfPath(u"/trailing/"), "");
}

// ---- real processes -------------------------------------------------------

// Kills a started child when a test ends early.
struct KillOnExit {
    qint64 pid = 0;
    ~KillOnExit()
    {
        if (pid > 0) {
            ::kill(pid_t(pid), SIGKILL);
        }
    }
};

QString canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

// A script that waits in a loop; its name is longer than comm's 15 bytes and in mixed case.
const QByteArray kWaitingScript = "#!/bin/sh\nwhile :; do sleep 1; done\n";

// A stand-in for wine or xdg-open: writes its working folder and arguments to
// the record file and ends.
QByteArray recorderScript(const QString& recordFile)
{
    return QByteArray("#!/bin/sh\nprintf '%s|%s\\n' \"$(pwd -P)\" \"$*\" > '") + recordFile.toUtf8() +
           ".part' && mv '" + recordFile.toUtf8() + ".part' '" + recordFile.toUtf8() + "'\n";
}

class LinuxProcessesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    LinuxProcesses processes;
};

TEST_F(LinuxProcessesTest, StartedProgramRunsInItsFolderAndIsFoundIgnoringCase)
{
    const QString script = path("TolvanProbeChild.sh");
    ASSERT_TRUE(writeFile(script, kWaitingScript, true));
    ASSERT_FALSE(processes.isRunning("tolvanprobechild.SH")) << "a probe of an earlier run is still alive";

    const Result<qint64> started = processes.start(script);
    ASSERT_TRUE(started.ok()) << started.error().toStdString();
    KillOnExit guard{started.value()};
    ASSERT_GT(started.value(), 0);

    EXPECT_TRUE(waitUntil([&] { return processes.isRunning("tolvanprobechild.SH"); }));
    EXPECT_TRUE(processes.isRunning("TOLVANPROBECHILD.SH"));
    EXPECT_FALSE(processes.isRunning("TolvanProbe.sh"));
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(started.value())).symLinkTarget(), canonical(dir.path()));

    ASSERT_EQ(::kill(pid_t(started.value()), SIGTERM), 0);
    EXPECT_TRUE(waitUntil([&] { return !processes.isRunning("TolvanProbeChild.sh"); }));
}

TEST_F(LinuxProcessesTest, FindsItsOwnProgramByExecutableName)
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    EXPECT_TRUE(processes.isRunning(QFileInfo(self).fileName().toUpper()));
    EXPECT_FALSE(processes.isRunning(""));
}

TEST_F(LinuxProcessesTest, StartRefusesWhatCannotRunAndSaysWhy)
{
    ASSERT_TRUE(writeFile(path("NoPermission"), kWaitingScript, false));
    ASSERT_TRUE(writeFile(path("NotAProgram"), "just text, no interpreter line\n", true));

    const struct {
        QString programPath;
        QString reasonContains;
    } cases[] = {
        {"", "No program path"},
        {path("Missing/Prog"), "not found"},
        {dir.path(), "is a folder"},
        {path("NoPermission"), "not executable"},
        {path("NotAProgram"), "Cannot start"},
    };
    for (const auto& c : cases) {
        const Result<qint64> r = processes.start(c.programPath);
        EXPECT_FALSE(r.ok()) << c.programPath.toStdString();
        EXPECT_EQ(r.value(), 0);
        EXPECT_TRUE(r.error().contains(c.reasonContains)) << r.error().toStdString();
        if (!c.programPath.isEmpty()) {
            EXPECT_TRUE(r.error().contains(QFileInfo(c.programPath).absoluteFilePath())) << r.error().toStdString();
        }
    }
}

TEST_F(LinuxProcessesTest, WindowsProgramStartsThroughWineInItsFolder)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("bin") && QDir(dir.path()).mkpath("VARA"));
    const QString record = path("wine-call.txt");
    ASSERT_TRUE(writeFile(path("bin/wine"), recorderScript(record), true));
    // Windows programs need no execute permission; the suffix is matched in any case.
    const QString program = path("VARA/VARA.EXE");
    ASSERT_TRUE(writeFile(program, "MZ", false));
    const ScopedEnv env("PATH", path("bin").toUtf8() + ":" + qgetenv("PATH"));

    const Result<qint64> r = processes.start(program);
    ASSERT_TRUE(r.ok()) << r.error().toStdString();
    EXPECT_GT(r.value(), 0);
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(record); }));
    EXPECT_EQ(readAll(record), (canonical(path("VARA")) + "|" + program + "\n").toUtf8());
}

TEST_F(LinuxProcessesTest, WindowsProgramWithoutWineFailsWithReason)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("empty-bin"));
    const QString program = path("VARA.exe");
    ASSERT_TRUE(writeFile(program, "MZ", false));
    const ScopedEnv env("PATH", path("empty-bin").toUtf8());

    const Result<qint64> r = processes.start(program);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.error().contains("wine")) << r.error().toStdString();
    EXPECT_TRUE(r.error().contains(program)) << r.error().toStdString();
}

TEST_F(LinuxProcessesTest, OpenHandsADocumentToTheDesktopHandlerInTheFolder)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("bin") && QDir(dir.path()).mkpath("work"));
    const QString record = path("xdg-open-call.txt");
    ASSERT_TRUE(writeFile(path("bin/xdg-open"), recorderScript(record), true));
    ASSERT_TRUE(writeFile(path("work/notes.txt"), "hello\n", false));
    const ScopedEnv env("PATH", path("bin").toUtf8() + ":" + qgetenv("PATH"));

    const Result<qint64> r = processes.open("notes.txt", path("work"), {});
    ASSERT_TRUE(r.ok()) << r.error().toStdString();
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(record); }));
    EXPECT_EQ(readAll(record), (canonical(path("work")) + "|notes.txt\n").toUtf8());
}

TEST_F(LinuxProcessesTest, OpenRunsAProgramItselfInTheFolder)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("direwolf"));
    const QString record = path("direwolf-call.txt");
    ASSERT_TRUE(writeFile(path("direwolf/direwolf"), recorderScript(record), true));

    const Result<qint64> r = processes.open("direwolf", path("direwolf"), {"-c", "/st/direwolf.conf"});
    ASSERT_TRUE(r.ok()) << r.error().toStdString();
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(record); }));
    EXPECT_EQ(readAll(record), (canonical(path("direwolf")) + "|-c /st/direwolf.conf\n").toUtf8());
}

TEST_F(LinuxProcessesTest, OpenFailsWithReason)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("empty-bin"));
    ASSERT_TRUE(writeFile(path("notes.txt"), "hello\n", false));

    Result<qint64> r = processes.open("missing.txt", dir.path(), {});
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.error().contains("not found")) << r.error().toStdString();

    r = processes.open("notes.txt", path("no-such-folder"), {});
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.error().contains("does not exist")) << r.error().toStdString();

    const ScopedEnv env("PATH", path("empty-bin").toUtf8());
    r = processes.open("notes.txt", dir.path(), {});
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.error().contains("xdg-open")) << r.error().toStdString();
}

} // namespace
