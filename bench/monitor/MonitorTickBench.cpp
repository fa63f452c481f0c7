// One monitor tick over a receive folder of 1,000 / 10,000 / 100,000 files.
// The tick runs on the user-interface thread once a second, so it has to stay
// far below that. Creating many files right after deleting many is slow on
// some file systems for a minute or two; let the machine settle first.

#include "monitor/filemonitors.h"
#include "sevenplus/SevenPlusSets.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

using tolvan::filemonitors;

namespace {

// Folders are filled once per size and shared by the benchmarks of that size.
const QString& folderOf(int count)
{
    static std::map<int, std::unique_ptr<QTemporaryDir>> folders;
    static std::map<int, QString> paths;
    auto& dir = folders[count];
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>();
        for (int i = 0; i < count; ++i) {
            QFile f(dir->filePath(QStringLiteral("MAIL - From- K1ABC--%1.dat").arg(i, 6, 10, QLatin1Char('0'))));
            f.open(QIODevice::WriteOnly);
        }
        paths[count] = dir->path();
    }
    return paths[count];
}

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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
