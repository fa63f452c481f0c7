// Throughput of the 7PLUS codec: the line coding in memory, and whole files
// of the largest size a set can carry, through the file system.

#include "sevenplus/Mod7plus.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace tolvan::Mod7plus;

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
    QString msg;
    for (auto _ : state) {
        if (!Encode7PlusFile(src, msg, kYes)) {
            state.SkipWithError(msg.toStdString().c_str());
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
    QString msg;
    Encode7PlusFile(src, msg, kYes);
    for (auto _ : state) {
        if (!DecodeReceived7Plus(dir.path() + "/7PLUS_OUTPUT/BIG.P01", msg, kYes)) {
            state.SkipWithError(msg.toStdString().c_str());
        }
    }
    state.SetBytesProcessed(state.iterations() * kMaxFileSize);
}
BENCHMARK(BM_DecodeFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
