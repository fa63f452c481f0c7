#include "config/ConfigStore.h"
#include "monitor/filemonitorevent.h"
#include "monitor/filemonitors.h"
#include "monitor/fileoperation.h"
#include "platform/fake/FakePlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

using namespace tolvan;

namespace {

bool touch(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly);
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
    const QDir d(folder());
    for (const QString& name : c.before) {
        ASSERT_TRUE(touch(d.filePath(name)));
    }
    QSignalSpy spy(&monitor, &filemonitors::FileReceived);
    ASSERT_FALSE(monitor.StartMonitoring());
    for (int i = 0; i < c.steps.size(); ++i) {
        c.steps[i].change(d);
        monitor.TimerScan_Timer();
        EXPECT_EQ(spy.count(), c.steps[i].events) << "after step " << i;
        spy.clear();
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
        TickCase{"ReplacedBetweenTwoTicksRaisesNothing",
                 {"a"},
                 {{[](const QDir& d) {
                       QFile::remove(d.filePath("a"));
                       touch(d.filePath("a"));
                   },
                   0}}},
        TickCase{
            "RenameCountsAsNew", {"a"}, {{[](const QDir& d) { QFile::rename(d.filePath("a"), d.filePath("b")); }, 1}}},
        TickCase{"LetterCaseCounts", {"mail.txt"}, {{add("MAIL.txt"), 1}}},
        TickCase{"HiddenFilesCountFoldersDoNot", {}, {{[](const QDir& d) { d.mkdir("sub"); }, 0}, {add(".hidden"), 1}}},
        TickCase{"FolderThatGoesAndComesBack",
                 {"a"},
                 {{[](const QDir& d) { QDir(d.path()).removeRecursively(); }, 0},
                  {nothing, 0},
                  {[](const QDir& d) {
                       QDir().mkpath(d.path());
                       touch(d.filePath("a"));
                   },
                   1},
                  {nothing, 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MonitorFolder, StartSetsTheTimerToOneSecondAndRunning)
{
    timer.setInterval(250);
    EXPECT_FALSE(monitor.StartMonitoring());
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
    std::optional<MessageBoxRequest> m = bare.StartMonitoring();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->text, "Error: Timer control is not set!");
    EXPECT_EQ(m->icon, MsgIcon::None);

    bare.SetTimerControl(&timer);
    m = bare.StartMonitoring();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->text, "Error: Folder path is not set!");
    EXPECT_FALSE(timer.isActive());
    EXPECT_FALSE(bare.IsRunning());
}

TEST_F(MonitorFolder, ATimerThatGoesAwayWithItsScreenLeavesTheMonitorIdle)
{
    auto* screenTimer = new QTimer;
    monitor.SetTimerControl(screenTimer);
    ASSERT_FALSE(monitor.StartMonitoring());
    delete screenTimer;
    EXPECT_FALSE(monitor.IsRunning());
    monitor.StopMonitoring(); // must not touch the deleted timer
}

TEST_F(MonitorFolder, SinkPassesTheEventOnWithTheWatchedFolder)
{
    filemonitorevent sink;
    sink.Initialize(&monitor);
    QSignalSpy spy(&sink, &filemonitorevent::FileArrived);
    ASSERT_FALSE(monitor.StartMonitoring());
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
    ASSERT_FALSE(monitor.StartMonitoring());
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
    EXPECT_EQ(names, (QStringList{".hidden", "link-to-file", "plain"}));
    EXPECT_TRUE(filemonitors::ListFolder(dir.filePath("absent")).isEmpty());
    EXPECT_TRUE(filemonitors::ListFolder({}).isEmpty());
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
    const fileoperation::StartResult r = fileoperation::StartReceiveMonitor(store, &timer);
    EXPECT_FALSE(r.started);
    EXPECT_TRUE(r.folder.isEmpty());
    ASSERT_TRUE(r.message);
    EXPECT_TRUE(r.message->text.startsWith("Error initializing monitoring: ")) << r.message->text.toStdString();
    ASSERT_NE(fileoperation::ReceiveMonitor(), nullptr);
    EXPECT_TRUE(fileoperation::ReceiveMonitor()->FolderPath.isEmpty());
    EXPECT_FALSE(timer.isActive());
}

TEST_F(ReceiveMonitor, StartsOnTheStoredFolderAndEachStartReplacesTheLast)
{
    const QString rx = dir.filePath("rx");
    QDir().mkpath(rx);
    ASSERT_TRUE(store.WriteStoreLine("receive.dat", rx).ok());

    fileoperation::StartResult r = fileoperation::StartReceiveMonitor(store, &timer);
    ASSERT_TRUE(r.started);
    EXPECT_FALSE(r.message);
    EXPECT_EQ(r.folder, rx);
    filemonitors* first = fileoperation::ReceiveMonitor();

    r = fileoperation::StartReceiveMonitor(store, &timer);
    ASSERT_TRUE(r.started);
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
