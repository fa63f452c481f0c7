// The receive watch over a receive folder of 1,000 / 10,000 / 100,000 mails:
// one monitor tick, the watch's start, an idle second of the program's watch,
// and the received screen appearing. The tick runs on the user-interface
// thread once a second, so it has to stay far below that. Creating many files
// right after deleting many is slow on some file systems for a minute or two;
// let the machine settle first.

#include "config/ConfigStore.h"
#include "monitor/MonitorScreens.h"
#include "monitor/ReceiveWatch.h"
#include "monitor/filemonitors.h"
#include "monitor/fileoperation.h"
#include "platform/fake/FakePlatform.h"
#include "sevenplus/SevenPlusSets.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QListWidget>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tolvan;

namespace {

// A short coded mail: "TO: K1ABC", "TEST", "THIS IS A TEST", "DL1XYZ".
constexpr char kMail[] = "84 79 58 32 75 49 65 66 67,84 69 83 84,84 72 73 83 32 73 83 32 65 32 84 69 83 84,"
                         "68 76 49 88 89 90\r\n";

// Folders are filled once per size and shared by the benchmarks of that
// size: coded mails, written an hour ago, as a station's folder holds them.
const QString& folderOf(int count)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> folders;
    static std::map<int, QString> paths;
    auto& dir = folders[count];
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>();
        const timespec old[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
        for (int i = 0; i < count; ++i) {
            const QByteArray name =
                QFile::encodeName(dir->filePath(QStringLiteral("MAIL - From- K1ABC--%1.dat").arg(i, 6, 10, QLatin1Char('0'))));
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            [[maybe_unused]] const ssize_t n = ::write(fd, kMail, sizeof kMail - 1);
            ::futimens(fd, old);
            ::close(fd);
        }
        paths[count] = dir->path();
        // A folder changed within the last two seconds is listed at every
        // tick (its times may not show the next change yet); a settled one is not.
        std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    }
    return paths[count];
}

// A program folder whose receive.dat names the folder of count files.
struct Station {
    QTemporaryDir prog;
    ConfigStore store{prog.path()};
    explicit Station(int count) { (void)store.WriteStoreLine(QStringLiteral("receive.dat"), folderOf(count)); }
};

void BM_TickNoChange(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    QTimer timer;
    filemonitors monitor;
    monitor.FolderPath = folderOf(count);
    monitor.SetTimerControl(&timer);
    if (!monitor.StartMonitoring().ok()) {
        state.SkipWithError("the monitor did not start");
        return;
    }
    int events = 0;
    QObject::connect(&monitor, &filemonitors::FileReceived, [&] { ++events; });
    for (auto _ : state) {
        monitor.TimerScan_Timer();
    }
    if (events != 0) {
        state.SkipWithError("a tick without change raised the event");
    }
    state.counters["files"] = count;
}
BENCHMARK(BM_TickNoChange)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Each tick sees one file come or go: the name set changes by one name, and
// with no quiet period the new file is checked and announced in the same
// tick (its stat, the kernel's report and the format check included).
void BM_TickOneNewFile(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const QString folder = folderOf(count);
    QTimer timer;
    filemonitors monitor;
    monitor.QuietPeriod = std::chrono::milliseconds(0);
    monitor.FolderPath = folder;
    monitor.SetTimerControl(&timer);
    if (!monitor.StartMonitoring().ok()) {
        state.SkipWithError("the monitor did not start");
        return;
    }
    int events = 0;
    QObject::connect(&monitor, &filemonitors::FileReceived, [&] { ++events; });
    const QString extra = folder + QStringLiteral("/zz-new.txt");
    bool present = false;
    for (auto _ : state) {
        state.PauseTiming();
        present ? (void)QFile::remove(extra) : (void)QFile(extra).open(QIODevice::WriteOnly);
        present = !present;
        state.ResumeTiming();
        monitor.TimerScan_Timer();
    }
    QFile::remove(extra);
    state.counters["events"] = events;
}
BENCHMARK(BM_TickOneNewFile)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The 7PLUS set collector's look at the folder, which the watch adds to every
// tick: with no name come or gone it must cost next to nothing; a full look
// (a file still arriving keeps it looking) stats every file once.
void BM_SetRefresh(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const bool waiting = state.range(1) != 0;
    const QString folder = folderOf(count);
    tolvan::SevenPlusSets::Collector sets;
    const QString arriving = QStringLiteral("MAIL - From- K1ABC--000000.dat");
    const auto stillArriving = [&](const QString& name) { return waiting && name == arriving; };
    sets.Refresh(folder, stillArriving);
    for (auto _ : state) {
        sets.Refresh(folder, stillArriving);
    }
    state.counters["files"] = count;
}
BENCHMARK(BM_SetRefresh)
    ->Args({1000, 0})
    ->Args({100000, 0})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond);

// The program's watch starting on a full folder: the monitor's first look and
// the 7PLUS collector's, as the main menu starts it. CPU time of one start.
void BM_WatchStart(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    Station station(count);
    for (auto _ : state) {
        ReceiveWatch watch(station.store);
        watch.Begin();
        state.PauseTiming();
        watch.End();
        fileoperation::ReleaseReceiveMonitor();
        state.ResumeTiming();
    }
    state.counters["files"] = count;
}
BENCHMARK(BM_WatchStart)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One second of the running watch with nothing arriving: its timer's tick,
// the state check and the monitor's scan. The CPU time per iteration over one
// second is the share of a core the idle watch takes.
void BM_IdleWatchSecond(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    Station station(count);
    ReceiveWatch watch(station.store);
    watch.Begin();
    int arrivals = 0;
    QObject::connect(&watch, &ReceiveWatch::Arrived, [&] { ++arrivals; });
    for (auto _ : state) {
        watch.Check();
        if (filemonitors* monitor = fileoperation::ReceiveMonitor()) {
            monitor->TimerScan_Timer();
        }
    }
    if (arrivals != 0) {
        state.SkipWithError("an idle second announced an arrival");
    }
    watch.End();
    fileoperation::ReleaseReceiveMonitor();
    state.counters["files"] = count;
}
BENCHMARK(BM_IdleWatchSecond)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// "Read Inbox" with the watch running: the received screen loaded, shown and
// painted, its list in place. Wall-clock time, what the operator waits.
void BM_ReceivedScreenShown(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    Station station(count);
    FakeDialogs dialogs;
    FakeSpeaker speaker;
    FakeDesktop desktop;
    FakeProcesses processes;
    FakeClock clock;
    AppContext context{ConfigStore(station.prog.path()), dialogs, speaker, desktop, processes, clock,
                       LocaleText(QLocale::c())};
    ScreenRegistry registry(context);
    registerMonitorScreens(registry);
    context.receiveWatch.Begin();
    int listed = 0;
    for (auto _ : state) {
        QElapsedTimer wall;
        wall.start();
        registry.Show(QStringLiteral("received"));
        QListWidget* list = nullptr;
        if (Screen* screen = registry.loaded(QStringLiteral("received"))) {
            list = screen->findChild<QListWidget*>(QStringLiteral("File1"));
        }
        // Until the list holds the folder, however it is filled.
        while (list && list->count() < count && wall.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        QCoreApplication::processEvents();
        state.SetIterationTime(double(wall.nsecsElapsed()) / 1e9);
        listed = list ? list->count() : 0;
        state.PauseTiming();
        registry.Unload(QStringLiteral("received"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    if (listed != count) {
        state.SkipWithError("the list does not hold the folder");
    }
    context.receiveWatch.End();
    fileoperation::ReleaseReceiveMonitor();
    state.counters["files"] = count;
}
BENCHMARK(BM_ReceivedScreenShown)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
