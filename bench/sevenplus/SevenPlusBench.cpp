// Throughput of the 7PLUS codec: the line coding in memory, and whole files
// of the largest size a set can carry, through the file system.

#include "common/ChildUsage.h"
#include "sevenplus/Mod7plus.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace tolvan::Mod7plus;
using tolvan::bench::processCpuSeconds;
using tolvan::bench::runShell;

namespace {

QByteArray randomBytes(qsizetype n)
{
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator rng(1);
    rng.fillRange(reinterpret_cast<quint32*>(b.data()), n / 4);
    return b;
}

std::span<const std::uint8_t> span(const QByteArray& a)
{
    return {reinterpret_cast<const std::uint8_t*>(a.constData()), size_t(a.size())};
}

void BM_EncodeLines(benchmark::State& state)
{
    const QByteArray data = randomBytes(kPartBytes);
    Values v{};
    Chars c{};
    Block line{};
    for (auto _ : state) {
        for (int k = 0; k < kBlockLines; ++k) {
            Pack7PlusLine(span(data), qsizetype(k) * kLineBytes, v);
            Encode7PlusValues(v, c);
            Protect7PlusLine(c, k, line);
            benchmark::DoNotOptimize(line);
        }
    }
    state.SetBytesProcessed(state.iterations() * kPartBytes);
}
BENCHMARK(BM_EncodeLines);

void BM_DecodeLines(benchmark::State& state)
{
    const QByteArray data = randomBytes(kPartBytes);
    std::vector<Block> lines(kBlockLines);
    Values v{};
    Chars c{};
    for (int k = 0; k < kBlockLines; ++k) {
        Pack7PlusLine(span(data), qsizetype(k) * kLineBytes, v);
        Encode7PlusValues(v, c);
        Protect7PlusLine(c, k, lines[k]);
    }
    LineBytes out{};
    for (auto _ : state) {
        for (int k = 0; k < kBlockLines; ++k) {
            benchmark::DoNotOptimize(Verify7PlusLine(lines[k], k));
            Decode7PlusLine(lines[k], out);
            benchmark::DoNotOptimize(out);
        }
    }
    state.SetBytesProcessed(state.iterations() * kPartBytes);
}
BENCHMARK(BM_DecodeLines);

const Host kYes{[](const QString&, const QString&) { return true; }, {}};

void BM_EncodeFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString src = dir.path() + "/big.bin";
    QFile f(src);
    f.open(QIODevice::WriteOnly);
    f.write(randomBytes(kMaxFileSize));
    f.close();
    for (auto _ : state) {
        if (const auto done = Encode7PlusFile(src, kYes); !done.ok()) {
            state.SkipWithError(done.error().toStdString().c_str());
        }
    }
    state.SetBytesProcessed(state.iterations() * kMaxFileSize);
}
BENCHMARK(BM_EncodeFile)->Unit(benchmark::kMillisecond);

void BM_DecodeFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString src = dir.path() + "/big.bin";
    QFile f(src);
    f.open(QIODevice::WriteOnly);
    f.write(randomBytes(kMaxFileSize));
    f.close();
    (void)Encode7PlusFile(src, kYes);
    for (auto _ : state) {
        if (const auto done = DecodeReceived7Plus(dir.path() + "/7PLUS_OUTPUT/BIG.P01", kYes); !done.ok()) {
            state.SkipWithError(done.error().toStdString().c_str());
        }
    }
    state.SetBytesProcessed(state.iterations() * kMaxFileSize);
}
BENCHMARK(BM_DecodeFile)->Unit(benchmark::kMillisecond);

// A random file of the largest size a set can carry, in a temporary folder.
struct BigFile {
    QTemporaryDir dir;
    QString path;
    BigFile()
        : path(dir.path() + "/big.bin")
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(randomBytes(kMaxFileSize));
    }
};

// Encoding into a new folder against `split` cutting the same file into as
// many files, interleaved so both see the same machine load. Every round
// works in folders of its own: deleting hundreds of files and creating them
// again at once is slow on some file systems and would time that instead.
// The time is CPU time (user + system); "ratio" is ours over split's.
void BM_EncodeFileVsSplit(benchmark::State& state)
{
    BigFile big;
    double ours = 0;
    double anchor = 0;
    int round = 0;
    for (auto _ : state) {
        const QString folder = big.dir.path() + QStringLiteral("/round%1").arg(++round);
        QDir().mkpath(folder + "/split");
        QFile::link(big.path, folder + "/big.bin");
        const double start = processCpuSeconds();
        const bool ok = Encode7PlusFile(folder + "/big.bin", kYes).ok();
        const double t = processCpuSeconds() - start;
        const tolvan::bench::Usage a =
            runShell("split -n 255 '" + big.path.toStdString() + "' '" + folder.toStdString() + "/split/x'");
        if (!ok || !a.ok) {
            state.SkipWithError("encode or split failed");
            break;
        }
        ours += t;
        anchor += a.cpuSeconds;
        state.SetIterationTime(t);
    }
    const double n = double(state.iterations());
    state.counters["ours_ms"] = ours * 1000 / n;
    state.counters["anchor_ms"] = anchor * 1000 / n;
    state.counters["ratio"] = anchor > 0 ? ours / anchor : 0;
}
BENCHMARK(BM_EncodeFileVsSplit)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

// Peak memory of an encode and a decode of the largest file by the
// command-line tool, a fresh process each: "peak_MB" is the whole process,
// "extra_MB" the part beyond the tool's idle footprint (its --help).
void BM_PeakMemory(benchmark::State& state)
{
    BigFile big;
    const std::string codec = "'" TOLVAN_CODEC "'";
    const std::string encode = codec + " 7plus-encode '" + big.path.toStdString() + "' --yes > /dev/null";
    const std::string decode =
        codec + " 7plus-decode '" + big.dir.path().toStdString() + "/7PLUS_OUTPUT/BIG.P01' --yes > /dev/null";
    double idle = 0;
    double enc = 0;
    double dec = 0;
    for (auto _ : state) {
        idle = tolvan::bench::peakMegabytesOf(codec + " --help > /dev/null");
        enc = tolvan::bench::peakMegabytesOf(encode);
        dec = tolvan::bench::peakMegabytesOf(decode);
        if (idle == 0 || enc == 0 || dec == 0) {
            state.SkipWithError("encode or decode failed");
            break;
        }
    }
    state.counters["idle_MB"] = idle;
    state.counters["encode_peak_MB"] = enc;
    state.counters["encode_extra_MB"] = enc - idle;
    state.counters["decode_peak_MB"] = dec;
    state.counters["decode_extra_MB"] = dec - idle;
}
BENCHMARK(BM_PeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
