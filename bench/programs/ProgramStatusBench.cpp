// One status refresh of the communication center: every packet program's
// name matched against a process list of a busy desktop, in one pass.

#include "programs/ProgramStatus.h"

#include <benchmark/benchmark.h>

using namespace tolvan;

static void BM_RunningOf500Processes(benchmark::State& state)
{
    QList<ProcessNames> list;
    for (int i = 0; i < 500; ++i) {
        const QString name = QStringLiteral("someprogram-%1").arg(i);
        list.append({QStringLiteral("/usr/lib/desktop/bin/") + name, QStringLiteral("/usr/lib/desktop/bin/") + name,
                     name.left(kCommLength)});
    }
    // Eight programs, none of them running: the whole list is read every time.
    const QStringList names = {"WinTNC.exe", "RMS Express.exe", "soundmodem", "direwolf",
                               "VARA.exe",   "splitter.exe",    "NPRmodem",   "tolvan-terminal"};
    for (auto _ : state) {
        benchmark::DoNotOptimize(RunningOf(list, names));
    }
}
BENCHMARK(BM_RunningOf500Processes);

BENCHMARK_MAIN();
