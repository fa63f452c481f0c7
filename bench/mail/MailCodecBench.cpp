#include "mail/MailCodec.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace tolvan;

namespace {

// A field of the largest size a mail carries, of printable code-page text.
QString longestField()
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pick(32, 255);
    QString text;
    text.reserve(MailCodec::kMaxFieldLength);
    for (qsizetype i = 0; i < MailCodec::kMaxFieldLength; ++i) {
        text.append(QChar(static_cast<char16_t>(pick(rng))));
    }
    return text;
}

void BM_ConvertToASCII(benchmark::State& state)
{
    const QString field = longestField();
    for (auto _ : state) {
        benchmark::DoNotOptimize(MailCodec::ConvertToASCII(field));
    }
    state.SetItemsProcessed(state.iterations() * field.size());
}
BENCHMARK(BM_ConvertToASCII)->Unit(benchmark::kMicrosecond);

void BM_DecodeFromASCII(benchmark::State& state)
{
    const QString coded = MailCodec::ConvertToASCII(longestField());
    for (auto _ : state) {
        benchmark::DoNotOptimize(MailCodec::DecodeFromASCII(coded));
    }
    state.SetItemsProcessed(state.iterations() * MailCodec::kMaxFieldLength);
}
BENCHMARK(BM_DecodeFromASCII)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
