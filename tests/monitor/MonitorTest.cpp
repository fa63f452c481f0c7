#include "config/ConfigStore.h"
#include "mail/MailCodec.h"
#include "monitor/IncomingFile.h"
#include "monitor/ReceiveWatch.h"
#include "monitor/filemonitorevent.h"
#include "monitor/filemonitors.h"
#include "monitor/fileoperation.h"
#include "platform/fake/FakePlatform.h"
#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"
#include "sevenplus/Mod7plus.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace tolvan;

namespace {

// A small file written whole (an empty one named as a mail is still arriving).
bool touch(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}

class MonitorFolder : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QTimer timer;
    filemonitors monitor;
    QString folder() const { return dir.filePath("rx"); }
    QString at(const QString& name) const { return folder() + u'/' + name; }

    void SetUp() override
    {
        ASSERT_TRUE(QDir(dir.path()).mkdir("rx"));
        monitor.FolderPath = folder();
        monitor.QuietPeriod = std::chrono::milliseconds(0);
        monitor.SetTimerControl(&timer);
    }
};

// Each step changes the folder, then one tick runs; the number says how many
// times FileReceived must have been emitted by that tick.
struct Step {
    std::function<void(const QDir&)> change;
    int events;
};

struct TickCase {
    const char* name;
    QStringList before; // present when monitoring starts
    QList<Step> steps;
};

void PrintTo(const TickCase& c, std::ostream* os)
{
    *os << c.name;
}

auto add(const QString& name)
{
    return [name](const QDir& d) { touch(d.filePath(name)); };
}
auto remove(const QString& name)
{
    return [name](const QDir& d) { QFile::remove(d.filePath(name)); };
}
const auto nothing = [](const QDir&) {};

class MonitorTicks : public MonitorFolder, public ::testing::WithParamInterface<TickCase> {};

TEST_P(MonitorTicks, RaisesOnceForEachTickThatSeesANewName)
{
    const TickCase& c = GetParam();
    // With the kernel's reports on writers, and with the quiet period alone.
    for (const bool kernel : {true, false}) {
        QTemporaryDir root;
        const QString path = root.filePath("rx");
        ASSERT_TRUE(QDir().mkpath(path));
        const QDir d(path);
        for (const QString& name : c.before) {
            ASSERT_TRUE(touch(d.filePath(name)));
        }
        filemonitors m;
        m.FolderPath = path;
        m.QuietPeriod = std::chrono::milliseconds(0);
        m.UseKernelNotification = kernel;
        m.SetTimerControl(&timer);
        QSignalSpy spy(&m, &filemonitors::FileReceived);
        ASSERT_TRUE(m.StartMonitoring().ok());
        EXPECT_EQ(m.KernelNotificationActive(), kernel);
        for (int i = 0; i < c.steps.size(); ++i) {
            c.steps[i].change(d);
            m.TimerScan_Timer();
            EXPECT_EQ(spy.count(), c.steps[i].events) << "after step " << i << (kernel ? " (kernel)" : "");
            spy.clear();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Monitor, MonitorTicks,
    ::testing::Values(
        TickCase{
            "FilesPresentAtStartAreKnown", {"a", "b", "c"}, {{nothing, 0}, {nothing, 0}, {add("d"), 1}, {nothing, 0}}},
        TickCase{"TwoNewFilesGiveOneEvent",
                 {},
                 {{[](const QDir& d) {
                       touch(d.filePath("x"));
                       touch(d.filePath("y"));
                   },
                   1}}},
        TickCase{
            "DeletionRaisesNothingButReturnLaterDoes", {"a", "b"}, {{remove("a"), 0}, {nothing, 0}, {add("a"), 1}}},
        // A new file under a known name is new, however it came: written again
        // after a delete (the inode may be the same one), or renamed over it.
        TickCase{"ReplacedBetweenTwoTicksIsNew",
                 {"a"},
                 {{[](const QDir& d) {
                       QFile::remove(d.filePath("a"));
                       QFile f(d.filePath("a"));
                       f.open(QIODevice::WriteOnly);
                       f.write("again");
                   },
                   1},
                  {nothing, 0}}},
        TickCase{"RenamedOverAKnownName",
                 {"a", "b"},
                 {{[](const QDir& d) { ::rename(QFile::encodeName(d.filePath("b")), QFile::encodeName(d.filePath("a"))); },
                   1}}},
        TickCase{
            "RenameCountsAsNew", {"a"}, {{[](const QDir& d) { QFile::rename(d.filePath("a"), d.filePath("b")); }, 1}}},
        TickCase{"LetterCaseCounts", {"mail.txt"}, {{add("MAIL.txt"), 1}}},
        // A writer's partial file counts once it has its own name.
        TickCase{"HiddenNamesAndFoldersAreNoArrivals",
                 {},
                 {{[](const QDir& d) { d.mkdir("sub"); }, 0},
                  {add(".hidden"), 0},
                  {add(".tolvan-yapp-1.part"), 0},
                  {[](const QDir& d) { QFile::rename(d.filePath(".tolvan-yapp-1.part"), d.filePath("MAIL - 1.txt")); },
                   1}}},
        // What a folder holds when it comes back is new, once; later files too.
        TickCase{"FolderThatGoesAndComesBack",
                 {"a"},
                 {{[](const QDir& d) { QDir(d.path()).removeRecursively(); }, 0},
                  {nothing, 0},
                  {[](const QDir& d) {
                       QDir().mkpath(d.path());
                       touch(d.filePath("a"));
                       touch(d.filePath("b"));
                   },
                   1},
                  {nothing, 0},
                  {add("c"), 1}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorFolder, StartSetsTheTimerToOneSecondAndRunning)
{
    timer.setInterval(250);
    EXPECT_TRUE(monitor.StartMonitoring().ok());
    EXPECT_EQ(timer.interval(), 1000);
    EXPECT_TRUE(timer.isActive());
    EXPECT_TRUE(monitor.IsRunning());
    monitor.StopMonitoring();
    EXPECT_FALSE(timer.isActive());
    EXPECT_FALSE(monitor.IsRunning());
}

TEST_F(MonitorFolder, StartRefusesWithoutTimerOrFolderAndNeverTicks)
{
    filemonitors bare;
    Result<> m = bare.StartMonitoring();
    ASSERT_TRUE(m.box());
    EXPECT_EQ(m.box()->text, "Error: Timer control is not set!");
    EXPECT_EQ(m.box()->icon, MsgIcon::None);

    bare.SetTimerControl(&timer);
    m = bare.StartMonitoring();
    ASSERT_TRUE(m.box());
    EXPECT_EQ(m.box()->text, "Error: Folder path is not set!");
    EXPECT_FALSE(timer.isActive());
    EXPECT_FALSE(bare.IsRunning());
}

TEST_F(MonitorFolder, ATimerThatGoesAwayWithItsScreenLeavesTheMonitorIdle)
{
    auto* screenTimer = new QTimer;
    monitor.SetTimerControl(screenTimer);
    ASSERT_TRUE(monitor.StartMonitoring().ok());
    delete screenTimer;
    EXPECT_FALSE(monitor.IsRunning());
    monitor.StopMonitoring(); // must not touch the deleted timer
}

TEST_F(MonitorFolder, SinkPassesTheEventOnWithTheWatchedFolder)
{
    filemonitorevent sink;
    sink.Initialize(&monitor);
    QSignalSpy spy(&sink, &filemonitorevent::FileArrived);
    ASSERT_TRUE(monitor.StartMonitoring().ok());
    touch(at("new"));
    monitor.TimerScan_Timer();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][0].toString(), folder());
}

TEST_F(MonitorFolder, AReceiverThatRunsAnotherTickInsideDoesNotNest)
{
    int calls = 0;
    QObject::connect(&monitor, &filemonitors::FileReceived, [&] {
        ++calls;
        touch(at("second"));
        monitor.TimerScan_Timer(); // as if a nested event loop delivered a tick
    });
    ASSERT_TRUE(monitor.StartMonitoring().ok());
    touch(at("first"));
    monitor.TimerScan_Timer();
    EXPECT_EQ(calls, 1);
    monitor.TimerScan_Timer();
    EXPECT_EQ(calls, 2) << "the file added inside the receiver is seen at the next tick";
}

TEST_F(MonitorFolder, ListingHoldsFilesOnlyAndFileLinks)
{
    touch(at("plain"));
    touch(at(".hidden"));
    QDir(folder()).mkdir("sub");
    QFile::link(at("plain"), at("link-to-file"));
    QFile::link(dir.path(), at("link-to-folder"));
    QStringList names = filemonitors::ListFolder(folder());
    names.sort();
    EXPECT_EQ(names, (QStringList{"link-to-file", "plain"}));
    EXPECT_TRUE(filemonitors::ListFolder(dir.filePath("absent")).isEmpty());
    EXPECT_TRUE(filemonitors::ListFolder({}).isEmpty());
}

// ---- Complete arrivals -----------------------------------------------------------

// The three kinds of incoming traffic, whole.
struct Traffic {
    QString name;
    QByteArray bytes;
};

QList<Traffic> sampleTraffic(const QString& scratch)
{
    const QByteArray mail = MailCodec::FormatCodedMailLine("TO: A", "SUBJECT", "A LONGER MESSAGE", "FROM- B").toLatin1() +
                            "\r\n";
    QByteArray attachment(3000, 'x');
    for (int i = 0; i < attachment.size(); ++i) {
        attachment[i] = char(i * 7);
    }
    QFile a(scratch + "/att.bin");
    a.open(QIODevice::WriteOnly);
    a.write(attachment);
    a.close();
    EXPECT_TRUE(
        ModPMBA::PMBA_CreateBinaryMail(scratch + "/att.bin", scratch + "/out.pmb", "to", "from", "subject", "message")
            .ok());
    QFile p(scratch + "/out.pmb");
    p.open(QIODevice::ReadOnly);
    return {{"MAIL - 120000.txt", mail},
            {"PMBA - 120000.pmb", p.readAll()},
            {"File - 120000.txt", FileMail::Build({"hello", "subj", "to", "from", "carried.bin", attachment})}};
}

// A packet program writing the files in three chunks each, with pauses longer
// than the quiet period and a tick, holding each file open until its last byte.
class SlowWriter {
public:
    SlowWriter(const QString& folder, QList<Traffic> files, std::chrono::milliseconds pause)
    {
        m_thread = std::thread([folder, files, pause, this] {
            std::vector<int> fds;
            for (const Traffic& t : files) {
                fds.push_back(::open(QFile::encodeName(folder + "/" + t.name).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644));
            }
            for (int chunk = 0; chunk < 3; ++chunk) {
                for (size_t i = 0; i < fds.size(); ++i) {
                    const QByteArray& b = files[qsizetype(i)].bytes;
                    const qsizetype from = b.size() * chunk / 3;
                    const qsizetype to = b.size() * (chunk + 1) / 3;
                    [[maybe_unused]] const ssize_t n = ::write(fds[i], b.constData() + from, size_t(to - from));
                }
                if (chunk < 2) {
                    std::this_thread::sleep_for(pause);
                }
            }
            m_lastByte = true;
            for (const int fd : fds) {
                ::close(fd);
            }
        });
    }
    ~SlowWriter() { m_thread.join(); }
    bool lastByteWritten() const { return m_lastByte; }

private:
    std::atomic<bool> m_lastByte = false;
    std::thread m_thread;
};

class ArrivalWhileWriting : public MonitorFolder, public ::testing::WithParamInterface<bool> {};

TEST_P(ArrivalWhileWriting, IsAnnouncedOnceWhenTheLastByteIsThere)
{
    const QList<Traffic> traffic = sampleTraffic(dir.path());
    monitor.QuietPeriod = std::chrono::milliseconds(300);
    monitor.UseKernelNotification = GetParam();
    QStringList arrivals;
    QObject::connect(&monitor, &filemonitors::FileReceived, [&] { arrivals += monitor.Arrivals(); });
    ASSERT_TRUE(monitor.StartMonitoring().ok());
    {
        // Without the kernel's reports only the formats tell that a pause is no end.
        SlowWriter writer(folder(), traffic, std::chrono::milliseconds(450));
        while (!writer.lastByteWritten()) {
            monitor.TimerScan_Timer();
            const bool done = writer.lastByteWritten();
            for (const Traffic& t : traffic) {
                if (!done && QFile::exists(at(t.name))) {
                    EXPECT_TRUE(monitor.IsStillArriving(t.name)) << t.name.toStdString();
                }
            }
            if (!done) {
                ASSERT_TRUE(arrivals.isEmpty()) << arrivals.join(", ").toStdString();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    for (int i = 0; i < 8; ++i) {
        monitor.TimerScan_Timer();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    arrivals.sort();
    EXPECT_EQ(arrivals, (QStringList{"File - 120000.txt", "MAIL - 120000.txt", "PMBA - 120000.pmb"}));
    for (const Traffic& t : traffic) {
        EXPECT_FALSE(monitor.IsStillArriving(t.name)) << t.name.toStdString();
        QFile f(at(t.name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), t.bytes) << t.name.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Monitor, ArrivalWhileWriting, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "KernelReports" : "QuietPeriodAlone"; });

// A copy made through an unnamed temporary file gets its name by a link, and
// no close is ever reported under that name: the quiet period decides.
TEST_F(MonitorFolder, AFileLinkedInWholeArrivesOnceQuiet)
{
    monitor.QuietPeriod = std::chrono::milliseconds(200);
    QStringList arrivals;
    QObject::connect(&monitor, &filemonitors::FileReceived, [&] { arrivals += monitor.Arrivals(); });
    ASSERT_TRUE(monitor.StartMonitoring().ok());
    const int fd = ::open(QFile::encodeName(folder()).constData(), O_TMPFILE | O_WRONLY, 0644);
    if (fd < 0) {
        GTEST_SKIP() << "the file system has no unnamed temporary files";
    }
    ASSERT_EQ(::write(fd, "whole\r\n", 7), 7);
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    ASSERT_EQ(::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, QFile::encodeName(at("copy.bin")).constData(),
                       AT_SYMLINK_FOLLOW),
              0);
    ::close(fd);
    for (int i = 0; i < 6 && arrivals.isEmpty(); ++i) {
        monitor.TimerScan_Timer();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(arrivals, QStringList{"copy.bin"});
    EXPECT_FALSE(monitor.IsStillArriving("copy.bin"));
}

// Time told by the test: a tick sees the clock the test set.
class QuietClock : public MonitorFolder {
protected:
    filemonitors::SteadyTime now = std::chrono::steady_clock::now();
    QStringList arrivals;
    void SetUp() override
    {
        MonitorFolder::SetUp();
        monitor.QuietPeriod = std::chrono::seconds(3);
        monitor.Clock = [this] { return now; };
        QObject::connect(&monitor, &filemonitors::FileReceived, [this] { arrivals += monitor.Arrivals(); });
        ASSERT_TRUE(monitor.StartMonitoring().ok());
    }
    void tickAfter(int seconds)
    {
        now += std::chrono::seconds(seconds);
        monitor.TimerScan_Timer();
    }
};

// An empty mail, or one without its line end, is what came once it has been
// quiet twice over; its reader says what is wrong with it.
TEST_F(QuietClock, AShortFormatIsCompleteAfterTwiceTheQuietPeriod)
{
    ASSERT_TRUE(QFile(at("MAIL - empty.txt")).open(QIODevice::WriteOnly));
    QFile cut(at("File - cut.txt"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly) && cut.write("aGVsbG") == 6);
    cut.close();
    tickAfter(0);
    tickAfter(4);
    EXPECT_TRUE(arrivals.isEmpty());
    EXPECT_TRUE(monitor.IsStillArriving("MAIL - empty.txt"));
    tickAfter(3);
    arrivals.sort();
    EXPECT_EQ(arrivals, (QStringList{"File - cut.txt", "MAIL - empty.txt"}));
    EXPECT_FALSE(monitor.IsStillArriving("MAIL - empty.txt"));
}

// After the kernel's queue overflowed, a file whose writer is still at work
// is not taken for whole because it kept still for a while before.
TEST_F(QuietClock, AfterAnOverflowEveryFileWaitsAFullQuietPeriodAgain)
{
    const int fd = ::open(QFile::encodeName(at("photo.bin")).constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(fd, "half", 4), 4);
    tickAfter(0);
    tickAfter(10);
    EXPECT_TRUE(arrivals.isEmpty()) << "its writer holds it open";
    monitor.KernelQueueOverflowed();
    tickAfter(1);
    tickAfter(1);
    EXPECT_TRUE(arrivals.isEmpty()) << "announced at half its size";
    ASSERT_EQ(::write(fd, " and the rest", 13), 13);
    ::close(fd);
    tickAfter(1);
    tickAfter(3);
    EXPECT_EQ(arrivals, QStringList{"photo.bin"});
    EXPECT_EQ(QFileInfo(at("photo.bin")).size(), 17);
}

TEST_F(MonitorFolder, FilesPresentAtTheStartAreCompleteOnceQuiet)
{
    QFile old(at("old.txt"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("x");
    old.close();
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    old.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime);
    old.close();
    touch(at("fresh.txt"));
    monitor.QuietPeriod = std::chrono::milliseconds(2000);
    ASSERT_TRUE(monitor.StartMonitoring().ok());
    EXPECT_FALSE(monitor.IsStillArriving("old.txt"));
    EXPECT_TRUE(monitor.IsStillArriving("fresh.txt")) << "written within the quiet period";
    EXPECT_FALSE(monitor.IsStillArriving("absent.txt"));
    touch(at("between-ticks.txt"));
    EXPECT_TRUE(monitor.IsStillArriving("between-ticks.txt")) << "not seen by a tick yet";

    // A known file written again is checked again, without an announcement.
    QSignalSpy spy(&monitor, &filemonitors::FileReceived);
    ASSERT_TRUE(old.open(QIODevice::Append));
    old.write("more");
    old.close();
    EXPECT_TRUE(monitor.IsStillArriving("old.txt"));
    monitor.TimerScan_Timer();
    EXPECT_TRUE(monitor.IsStillArriving("old.txt"));
    EXPECT_TRUE(filemonitors::LooksStillArriving(at("old.txt"), std::chrono::milliseconds(2000)));
    EXPECT_FALSE(filemonitors::LooksStillArriving(at("old.txt"), std::chrono::milliseconds(0)));
    EXPECT_EQ(spy.count(), 0);
}

struct FormatCase {
    const char* name;
    const char* fileName;
    QByteArray bytes;
    bool complete;
    const char* kind;
};

void PrintTo(const FormatCase& c, std::ostream* os)
{
    *os << c.name;
}

QByteArray pmbaSample()
{
    QTemporaryDir d;
    return sampleTraffic(d.path())[1].bytes;
}

class IncomingFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(IncomingFormat, SaysWhetherBytesAreMissingAndWhatKindItIs)
{
    const FormatCase& c = GetParam();
    QTemporaryDir d;
    const QString path = d.filePath(c.fileName);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.bytes);
    f.close();
    EXPECT_EQ(IncomingFile::FormatComplete(path), c.complete);
    EXPECT_EQ(IncomingFile::Kind(path), c.kind);
}

INSTANTIATE_TEST_SUITE_P(
    Monitor, IncomingFormat,
    ::testing::Values(
        FormatCase{"CodedMailWithLineEnd", "MAIL - 1.txt", "84 79,83,72,66\r\n", true, "mail"},
        FormatCase{"CodedMailCutInFrom", "MAIL - 1.txt", "84 79,83,72,6", false, "mail"},
        FormatCase{"EmptyMail", "MAIL - 1.txt", "", false, "mail"},
        FormatCase{"PlainTextMailWithoutLineEnd", "MAIL - 1.txt", "Hello there", true, "mail"},
        FormatCase{"FileMailWithLineEnd", "File - 1.txt", "aGVsbG8=\r\n", true, "filemail"},
        FormatCase{"FileMailCut", "File - 1.txt", "aGVsbG", false, "filemail"},
        FormatCase{"MailWordInContent", "note.txt", "see the mail", true, "mail"},
        FormatCase{"Unknown", "noise.bin", "nothing", true, "unknown"},
        FormatCase{"EmptyUnknown", "empty", "", true, "unknown"},
        FormatCase{"PmbaWhole", "x.pmb", pmbaSample(), true, "pmba"},
        FormatCase{"PmbaShort", "x.pmb", pmbaSample().left(200), false, "pmba"},
        FormatCase{"PmbaHeaderCut", "x.pmb", pmbaSample().left(14), false, "pmba"},
        FormatCase{"PmbaBadLengthIsForTheDecoder", "x.pmb",
                   QByteArray::fromHex("04000000504d424101000000ffffffff"), true, "pmba"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IncomingKind, AHugeFileIsJudgedByItsFirstBytes)
{
    QTemporaryDir d;
    QFile f(d.filePath("huge MAIL.bin"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(qint64(3) << 30)); // sparse: costs no disk
    f.close();
    EXPECT_EQ(IncomingFile::Kind(f.fileName()), "mail");
    EXPECT_TRUE(IncomingFile::FormatComplete(f.fileName()));

    // A FIFO with no writer, or a link to one, is looked at without waiting
    // for a writer; its reader names it when the operator opens it.
    const QString fifo = d.filePath("MAIL - pipe.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(fifo, d.filePath("MAIL - link.txt")));
    for (const QString& name : {fifo, d.filePath("MAIL - link.txt")}) {
        EXPECT_EQ(IncomingFile::Kind(name), "mail") << name.toStdString();
        EXPECT_TRUE(IncomingFile::FormatComplete(name)) << name.toStdString();
    }
}

TEST(IncomingKind, SevenPlusPartByItsHeaderNotItsName)
{
    QTemporaryDir d;
    QFile src(d.filePath("profile.bin"));
    ASSERT_TRUE(src.open(QIODevice::WriteOnly));
    src.write(QByteArray(5000, 'q'));
    src.close();
    const Result<QString> encoded = Mod7plus::Encode7PlusFile(src.fileName());
    ASSERT_TRUE(encoded.ok()) << encoded.error().toStdString();
    const QString part = d.filePath("7PLUS_OUTPUT/PROFILE.P01");
    ASSERT_TRUE(QFile::exists(part));
    EXPECT_EQ(IncomingFile::Kind(part), "sevenplus-part");
}

// ---- The program-wide watch ------------------------------------------------------

class WatchState : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ConfigStore store{dir.filePath("prog")};
    ReceiveWatch watch{store};
    QString rx() const { return dir.filePath("rx"); }
    using Kind = ReceiveWatch::State::Kind;
    void SetUp() override { watch.quietPeriod = std::chrono::milliseconds(0); }
    void TearDown() override
    {
        watch.End();
        fileoperation::ReleaseReceiveMonitor();
    }
};

TEST_F(WatchState, FollowsTheSettingAndTheFolderEveryTick)
{
    EXPECT_EQ(watch.state().kind, Kind::Off);
    EXPECT_EQ(watch.state().text(), "The receive folder is not watched yet");
    // One tick of the watch's timer: the state check, then the monitor's scan.
    const auto tick = [&] {
        watch.Check();
        fileoperation::ReceiveMonitor()->TimerScan_Timer();
    };
    QStringList arrived;
    QObject::connect(&watch, &ReceiveWatch::Arrived,
                     [&](const QString&, const QStringList& names) { arrived += names; });

    watch.Begin();
    EXPECT_EQ(watch.state().text(), "Not watching: receive.dat is missing");
    EXPECT_TRUE(watch.timer()->isActive()) << "the checks go on without a folder";

    ASSERT_TRUE(store.WriteStoreLine("receive.dat", "  ").ok());
    watch.Check();
    EXPECT_EQ(watch.state().text(), "Not watching: receive.dat names no folder");

    ASSERT_TRUE(store.WriteStoreLine("receive.dat", rx()).ok());
    watch.Check();
    EXPECT_EQ(watch.state().text(), "Not watching: the receive folder does not exist: " + rx());

    QDir().mkpath(rx());
    touch(rx() + "/there-before");
    tick();
    EXPECT_EQ(watch.state().text(), "Watching the receive folder: " + rx());
    touch(rx() + "/MAIL - 1.txt");
    tick();
    // A folder that appears is looked at as one that comes back.
    EXPECT_EQ(arrived, (QStringList{"there-before", "MAIL - 1.txt"}));

    // Removed and made again: what it then holds is known, later files arrive.
    QDir(rx()).removeRecursively();
    tick();
    EXPECT_EQ(watch.state().kind, Kind::FolderMissing);
    QDir().mkpath(rx());
    touch(rx() + "/back-with-it");
    tick();
    EXPECT_EQ(watch.state().kind, Kind::Watching);
    tick();
    touch(rx() + "/after");
    tick();
    EXPECT_EQ(arrived.mid(1), (QStringList{"MAIL - 1.txt", "back-with-it", "after"}));

    // A receiver that throws does not stop the watch, and the state line says so.
    bool fail = true;
    QObject::connect(&watch, &ReceiveWatch::Arrived, [&] {
        if (std::exchange(fail, false)) {
            throw std::runtime_error("no voice");
        }
    });
    touch(rx() + "/thrown");
    tick();
    tick();
    EXPECT_EQ(watch.state().text(),
              "Watching the receive folder: " + rx() + " (the last arrival notice failed: no voice)");
    touch(rx() + "/next");
    tick();
    tick();
    EXPECT_EQ(arrived.mid(3), (QStringList{"after", "thrown", "next"}));
    EXPECT_EQ(watch.state().text(), "Watching the receive folder: " + rx());

    if (geteuid() != 0) {
        QFile::setPermissions(rx(), QFile::WriteOwner);
        watch.Check();
        EXPECT_EQ(watch.state().text(), "Not watching: the receive folder cannot be read: " + rx());
        QFile::setPermissions(rx(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    watch.End();
    EXPECT_EQ(watch.state().kind, Kind::Off);
    EXPECT_FALSE(watch.timer()->isActive());
}

// ---- StartReceiveMonitor -------------------------------------------------------

class ReceiveMonitor : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QTimer timer;
    ConfigStore store{dir.filePath("prog")};
    void TearDown() override { fileoperation::ReleaseReceiveMonitor(); }
};

TEST_F(ReceiveMonitor, MissingReceiveDatLeavesAMonitorWithoutFolder)
{
    const Result<QString> r = fileoperation::StartReceiveMonitor(store, &timer);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.value().isEmpty());
    ASSERT_TRUE(r.box());
    EXPECT_TRUE(r.box()->text.startsWith("Error initializing monitoring: ")) << r.box()->text.toStdString();
    ASSERT_NE(fileoperation::ReceiveMonitor(), nullptr);
    EXPECT_TRUE(fileoperation::ReceiveMonitor()->FolderPath.isEmpty());
    EXPECT_FALSE(timer.isActive());
}

TEST_F(ReceiveMonitor, StartsOnTheStoredFolderAndEachStartReplacesTheLast)
{
    const QString rx = dir.filePath("rx");
    QDir().mkpath(rx);
    ASSERT_TRUE(store.WriteStoreLine("receive.dat", rx).ok());

    Result<QString> r = fileoperation::StartReceiveMonitor(store, &timer, std::chrono::milliseconds(0));
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(r.box());
    EXPECT_EQ(r.value(), rx);
    filemonitors* first = fileoperation::ReceiveMonitor();

    r = fileoperation::StartReceiveMonitor(store, &timer, std::chrono::milliseconds(0));
    ASSERT_TRUE(r.ok());
    EXPECT_NE(fileoperation::ReceiveMonitor(), first);
    EXPECT_EQ(fileoperation::ReceiveEvents()->Monitor(), fileoperation::ReceiveMonitor());

    // Only the new monitor answers the screen's timer.
    QSignalSpy spy(fileoperation::ReceiveEvents(), &filemonitorevent::FileArrived);
    touch(rx + "/MAIL - 1.txt");
    fileoperation::ReceiveMonitor()->TimerScan_Timer();
    EXPECT_EQ(spy.count(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// ---- DeleteListedFiles ---------------------------------------------------------

TEST_F(MonitorFolder, DeleteListedFilesDeletesOnlyOrdinaryFilesOfTheFolder)
{
    for (const char* name : {"a.txt", "b.txt", ".hidden"}) {
        touch(at(name));
    }
    QDir(folder()).mkdir("sub");
    touch(dir.filePath("outside"));
    const QStringList listed = fileoperation::ListedFiles(folder());
    EXPECT_EQ(listed, (QStringList{"a.txt", "b.txt"}));

    FakeDialogs dialogs;
    const fileoperation::DeleteResult r = fileoperation::DeleteListedFiles(
        dialogs, folder(), listed + QStringList{"../outside", "sub", ".hidden", "gone.txt"});
    EXPECT_EQ(r.deleted, 2);
    EXPECT_TRUE(r.refresh);
    ASSERT_EQ(dialogs.boxes.size(), 4);
    for (const MessageBoxRequest& b : dialogs.boxes) {
        EXPECT_TRUE(b.text.startsWith("Error deleting file: ")) << b.text.toStdString();
        EXPECT_EQ(b.icon, MsgIcon::Exclamation);
    }
    EXPECT_TRUE(QFile::exists(dir.filePath("outside")));
    EXPECT_TRUE(QFile::exists(at(".hidden")));
    EXPECT_TRUE(QFileInfo(at("sub")).isDir());
    EXPECT_TRUE(fileoperation::ListedFiles(folder()).isEmpty());
}

TEST_F(MonitorFolder, DeleteListedFilesWithNothingListedDoesNothing)
{
    FakeDialogs dialogs;
    const fileoperation::DeleteResult r = fileoperation::DeleteListedFiles(dialogs, QString(), {});
    EXPECT_FALSE(r.refresh);
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

TEST_F(MonitorFolder, DeleteListedFilesRefusesAMissingOrEmptyFolder)
{
    touch(at("a"));
    for (const QString& where : {QString(), dir.filePath("absent")}) {
        const fileoperation::DeleteResult r = fileoperation::DeleteListedFiles(where, {"a"});
        ASSERT_EQ(r.messages.size(), 1);
        EXPECT_TRUE(r.messages[0].text.startsWith("An error occurred: "));
        EXPECT_EQ(r.messages[0].icon, MsgIcon::Critical);
        EXPECT_EQ(r.deleted, 0);
    }
    EXPECT_TRUE(QFile::exists(at("a")));
}

} // namespace
