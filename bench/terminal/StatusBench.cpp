// What the terminal's window and the station program's main menu pay per
// tick: the main menu's look at the status file (every second), the decoding
// of a received conversation line, and the journal's sentence for an event.

#include "terminal/ChatText.h"
#include "terminal/TerminalJournal.h"
#include "terminal/TerminalStatus.h"

#include <QDateTime>
#include <QJsonObject>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <unistd.h>

using namespace tolvan;

namespace {

QJsonObject progressEvent(qint64 done)
{
    return {{QStringLiteral("event"), QStringLiteral("progress")},
            {QStringLiteral("direction"), QStringLiteral("out")},
            {QStringLiteral("peer"), QStringLiteral("N0BBB-1")},
            {QStringLiteral("name"), QStringLiteral("PHOTO.P01")},
            {QStringLiteral("done"), double(done)},
            {QStringLiteral("total"), 50000.0},
            {QStringLiteral("bytes_per_second"), 41.5}};
}

// The file exists and names this (live) process, so every check is made:
// the stat, the read, the pid and its /proc name.
void BM_MainMenuReadsTerminalStatus(benchmark::State& state)
{
    QTemporaryDir station;
    TerminalStatus status(QStringLiteral("127.0.0.1"), 8000);
    status.feed(progressEvent(21500));
    if (!status.write(station.path()).ok()) {
        state.SkipWithError("status file not written");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(TerminalStatus::ReadLine(station.path()));
    }
}
BENCHMARK(BM_MainMenuReadsTerminalStatus);

void BM_TerminalWritesStatus(benchmark::State& state)
{
    QTemporaryDir station;
    TerminalStatus status(QStringLiteral("127.0.0.1"), 8000);
    qint64 done = 0;
    for (auto _ : state) {
        status.feed(progressEvent(done = (done + 256) % 50000));
        benchmark::DoNotOptimize(status.write(station.path()));
    }
}
BENCHMARK(BM_TerminalWritesStatus);

// A full-length received line with escapes and 1252 letters in it.
void BM_DecodeReceivedLine(benchmark::State& state)
{
    QByteArray line;
    while (line.size() < ChatText::kMaxLine - 16) {
        line += "73 de N0BBB \x1b[31mred\x1b[0m caf\xe9 ";
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(ChatText::Decode(line));
    }
    state.SetBytesProcessed(state.iterations() * line.size());
}
BENCHMARK(BM_DecodeReceivedLine);

void BM_JournalSentence(benchmark::State& state)
{
    TerminalJournal journal;
    const QDateTime now = QDateTime::currentDateTime();
    const QJsonObject sent{{QStringLiteral("event"), QStringLiteral("file-sent")},
                           {QStringLiteral("to"), QStringLiteral("N0BBB-1")},
                           {QStringLiteral("name"), QStringLiteral("MAIL - N0AAA.txt")},
                           {QStringLiteral("bytes"), 1234.0},
                           {QStringLiteral("seconds"), 12.0}};
    for (auto _ : state) {
        benchmark::DoNotOptimize(journal.feed(sent, now));
    }
}
BENCHMARK(BM_JournalSentence);

} // namespace

BENCHMARK_MAIN();
