// The station folder from the outside: the command line of tolvan-pm, where
// the hand-over files go, and two stations running side by side.

#include "app/StartOptions.h"
#include "config/ConfigStore.h"
#include "config/StationFolder.h"
#include "mail/MailPost.h"
#include "monitor/ReceiveRouting.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace tolvan;

namespace {

struct OptionCase {
    const char* name;
    QStringList args;
    StartOptions::Action action;
    const char* station; // or the error's key words
};

class StartOptionsTest : public ::testing::TestWithParam<OptionCase> {};

QStringList filesUnder(const QString& root)
{
    QStringList out;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        out << QDir(root).relativeFilePath(it.next());
    }
    out.sort();
    return out;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

struct ProgramRun {
    int status = -1;
    QString out;
    QString err;
};

ProgramRun run(const QString& program, const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

TEST_P(StartOptionsTest, ReadsTheCommandLine)
{
    const OptionCase& c = GetParam();
    const StartOptions o = ParseStartOptions(c.args);
    EXPECT_EQ(o.action, c.action);
    if (c.action == StartOptions::Action::Error) {
        EXPECT_TRUE(o.error.contains(QString::fromUtf8(c.station))) << o.error.toStdString();
    } else {
        EXPECT_EQ(o.station, QString::fromUtf8(c.station));
    }
}

INSTANTIATE_TEST_SUITE_P(
    App, StartOptionsTest,
    ::testing::Values(
        OptionCase{"Nothing", {}, StartOptions::Action::Run, ""},
        OptionCase{"Station", {"--station", "/srv/K1ABC"}, StartOptions::Action::Run, "/srv/K1ABC"},
        OptionCase{"StationEquals", {"--station=/srv/K1 ABC"}, StartOptions::Action::Run, "/srv/K1 ABC"},
        OptionCase{"QtOptionsPassOn", {"-platform", "offscreen", "--station", "a"}, StartOptions::Action::Run, "a"},
        OptionCase{"Help", {"--station", "a", "--help"}, StartOptions::Action::Help, "a"},
        OptionCase{"Version", {"--version"}, StartOptions::Action::Version, ""},
        OptionCase{"Unknown", {"--statoin", "a"}, StartOptions::Action::Error, "unknown option \"--statoin\""},
        OptionCase{"StationWithoutFolder", {"--station"}, StartOptions::Action::Error, "needs a folder"},
        OptionCase{"EmptyStation", {"--station="}, StartOptions::Action::Error, "needs a folder"},
        OptionCase{"TwoStations", {"--station", "a", "--station", "b"}, StartOptions::Action::Error, "twice"},
        OptionCase{"StrayArgument", {"mail.txt"}, StartOptions::Action::Error, "unexpected argument"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StationCommandLine, BothProgramsAnswerHelpVersionAndWrongOptions)
{
    struct Case {
        const char* program;
        QStringList args;
        int status;
        const char* out; // start of stdout, or of stderr when status != 0
    };
    const Case cases[] = {
        {TOLVAN_PM_EXE, {"--version"}, 0, "tolvan-pm "},
        {TOLVAN_PM_EXE, {"--help"}, 0, "Usage: tolvan-pm [--station DIR]"},
        {TOLVAN_PM_EXE, {"--no-such"}, 2, "tolvan-pm: unknown option \"--no-such\""},
        {TOLVAN_PM_EXE, {"--station"}, 2, "tolvan-pm: option --station needs a folder"},
        {TOLVAN_CODEC_EXE, {"--version"}, 0, "tolvan-codec "},
        {TOLVAN_CODEC_EXE, {"--help"}, 0, "Usage: tolvan-codec COMMAND"},
        {TOLVAN_CODEC_EXE, {"--no-such"}, 2, "tolvan-codec: unknown command"},
    };
    for (const Case& c : cases) {
        const ProgramRun r = run(QString::fromUtf8(c.program), c.args);
        EXPECT_EQ(r.status, c.status) << c.program << " " << c.args.join(' ').toStdString();
        const QString& text = c.status == 0 ? r.out : r.err;
        EXPECT_TRUE(text.startsWith(QString::fromUtf8(c.out))) << text.toStdString();
    }
}

TEST(StationHandOver, HandOverFilesLiveInTheStationFolderWhateverTheWorkingFolder)
{
    QTemporaryDir tmp;
    const QString station = tmp.path() + "/K1ABC/";
    ASSERT_TRUE(QDir().mkpath(station) && QDir().mkpath(tmp.path() + "/elsewhere"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(tmp.path() + "/elsewhere");
    MailPost::SetHandOverFolder(station);
    const ConfigStore store(station);

    const ReceiveRouting::Paths paths = ReceiveRouting::DefaultPaths(store);
    EXPECT_EQ(paths.mailDat, station + "mail.dat");
    EXPECT_EQ(paths.attachmentHandOver, station + "temp");
    EXPECT_EQ(paths.attachmentFolder, station + "PMBA-Binary-Received");
    EXPECT_EQ(MailPost::HandOverPath(MailPost::kReaderHandOver), station + "temp");
    EXPECT_EQ(MailPost::SentMailFolder(store), station + "SentMail");
    ASSERT_TRUE(MailPost::WriteHandOver(MailPost::kMailHandOver, "1,2,3,4").ok());
    EXPECT_TRUE(QFile::exists(station + "mail.dat"));
    EXPECT_TRUE(QDir(tmp.path() + "/elsewhere").isEmpty());

    MailPost::SetHandOverFolder({});
    QDir::setCurrent(previous);
}

TEST(StationProcesses, TwoStationsSideBySideEachKeepToTheirOwnFolder)
{
    QTemporaryDir tmp;
    const QString root = tmp.path();
    for (const char* folder : {"/stations", "/work", "/home"}) {
        ASSERT_TRUE(QDir().mkpath(root + folder));
    }
    // Each station has a setting left beside its folder by an earlier version.
    writeFile(root + "/stations/K1ABCsend.dat", "/srv/k1abc/out\r\n");
    writeFile(root + "/stations/W2XYZreceive.dat", "/srv/w2xyz/in\r\n");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", root + "/home");
    env.insert("XDG_DATA_HOME", root + "/home/.local/share");
    env.remove("DISPLAY");
    QProcess a;
    QProcess b;
    for (auto [p, name] : {std::pair{&a, "K1ABC"}, std::pair{&b, "W2XYZ"}}) {
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(root + "/work");
        p->start(QStringLiteral(TOLVAN_PM_EXE), {"--station", root + "/stations/" + name});
        ASSERT_TRUE(p->waitForStarted(10000));
    }
    // Both are up, on their entry screens, at the same time.
    for (int i = 0; i < 100 && !(QFileInfo::exists(root + "/stations/K1ABC/send.dat") &&
                                 QFileInfo::exists(root + "/stations/W2XYZ/receive.dat"));
         ++i) {
        QThread::msleep(50);
    }
    QThread::msleep(300);
    EXPECT_EQ(a.state(), QProcess::Running) << a.readAllStandardError().toStdString();
    EXPECT_EQ(b.state(), QProcess::Running) << b.readAllStandardError().toStdString();
    for (QProcess* p : {&a, &b}) {
        p->terminate();
        p->waitForFinished(10000);
    }

    EXPECT_EQ(filesUnder(root + "/stations"), QStringList({"K1ABC/send.dat", "W2XYZ/receive.dat"}));
    QFile sent(root + "/stations/K1ABC/send.dat");
    ASSERT_TRUE(sent.open(QIODevice::ReadOnly));
    EXPECT_EQ(sent.readAll(), "/srv/k1abc/out\r\n");
    EXPECT_TRUE(filesUnder(root + "/work").isEmpty());
    EXPECT_TRUE(filesUnder(root + "/home").isEmpty());
}
