#include "common/ChildUsage.h"
#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <random>

using namespace tolvan;
using tolvan::bench::processCpuSeconds;
using tolvan::bench::runShell;

namespace {

// The largest file a 7PLUS set can carry, so the figures compare across benches.
constexpr qsizetype kAttachmentSize = 8094720;

// A temporary folder with a random 8 MB attachment.
struct Workspace {
    QTemporaryDir dir;
    QString attachment;

    Workspace()
    {
        attachment = dir.filePath(QStringLiteral("photo.jpg"));
        QByteArray bytes(kAttachmentSize, Qt::Uninitialized);
        std::mt19937 rng(11);
        for (char& c : bytes) {
            c = static_cast<char>(rng());
        }
        QFile f(attachment);
        if (f.open(QIODevice::WriteOnly)) {
            f.write(bytes);
        }
        QDir(dir.path()).mkpath(QStringLiteral("out"));
    }
};

void BM_PmbaCreate(benchmark::State& state)
{
    Workspace w;
    const QString mail = w.dir.filePath(QStringLiteral("mail.pmb"));
    for (auto _ : state) {
        QFile::remove(mail);
        const Result<qint64> r =
            ModPMBA::PMBA_CreateBinaryMail(w.attachment, mail, QStringLiteral("TO"), QStringLiteral("FROM"),
                                           QStringLiteral("SUBJECT"), QStringLiteral("MESSAGE"));
        if (!r.ok()) {
            state.SkipWithError("create failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * kAttachmentSize);
}
BENCHMARK(BM_PmbaCreate)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PmbaDecode(benchmark::State& state)
{
    Workspace w;
    const QString mail = w.dir.filePath(QStringLiteral("mail.pmb"));
    if (!ModPMBA::PMBA_CreateBinaryMail(w.attachment, mail, QStringLiteral("TO"), QStringLiteral("FROM"),
                                        QStringLiteral("SUBJECT"), QStringLiteral("MESSAGE"))
             .ok()) {
        state.SkipWithError("create failed");
        return;
    }
    const QString out = w.dir.filePath(QStringLiteral("out"));
    for (auto _ : state) {
        const Result<ModPMBA::DecodedPmbaMail> r = ModPMBA::PMBA_DecodeBinaryMail(mail, out);
        if (!r.ok()) {
            state.SkipWithError("decode failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * kAttachmentSize);
}
BENCHMARK(BM_PmbaDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FileMailWriteAndRead(benchmark::State& state)
{
    Workspace w;
    const QString mail = w.dir.filePath(QStringLiteral("File - mail.txt"));
    for (auto _ : state) {
        QFile::remove(mail);
        const Result<qint64> written = FileMail::Write(w.attachment, mail, QStringLiteral("TO"), QStringLiteral("FROM"),
                                                       QStringLiteral("SUBJECT"), QStringLiteral("MESSAGE"));
        const Result<FileMail::Mail> read = FileMail::Read(mail);
        if (!written.ok() || !read.ok()) {
            state.SkipWithError("file mail round trip failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * kAttachmentSize);
}
BENCHMARK(BM_FileMailWriteAndRead)->Unit(benchmark::kMillisecond)->UseRealTime();

QByteArray randomBytes(qsizetype n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    std::mt19937 rng(5);
    for (char& c : bytes) {
        c = static_cast<char>(rng());
    }
    return bytes;
}

// Our Base64 beside the one Qt ships, on the same bytes.
void BM_Base64EncodeQt(benchmark::State& state)
{
    const QByteArray data = randomBytes(kAttachmentSize);
    for (auto _ : state) {
        benchmark::DoNotOptimize(data.toBase64());
    }
    state.SetBytesProcessed(state.iterations() * kAttachmentSize);
}
BENCHMARK(BM_Base64EncodeQt)->Unit(benchmark::kMillisecond);

void BM_Base64EncodeOwn(benchmark::State& state)
{
    const QByteArray data = randomBytes(kAttachmentSize);
    for (auto _ : state) {
        benchmark::DoNotOptimize(FileMail::Base64Encode(data));
    }
    state.SetBytesProcessed(state.iterations() * kAttachmentSize);
}
BENCHMARK(BM_Base64EncodeOwn)->Unit(benchmark::kMillisecond);

void BM_Base64DecodeQt(benchmark::State& state)
{
    const QByteArray text = randomBytes(kAttachmentSize).toBase64();
    for (auto _ : state) {
        benchmark::DoNotOptimize(QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors));
    }
    state.SetBytesProcessed(state.iterations() * kAttachmentSize);
}
BENCHMARK(BM_Base64DecodeQt)->Unit(benchmark::kMillisecond);

void BM_Base64DecodeOwn(benchmark::State& state)
{
    const QByteArray text = randomBytes(kAttachmentSize).toBase64();
    for (auto _ : state) {
        benchmark::DoNotOptimize(FileMail::Base64DecodeBytes(QByteArrayView(text)));
    }
    state.SetBytesProcessed(state.iterations() * kAttachmentSize);
}
BENCHMARK(BM_Base64DecodeOwn)->Unit(benchmark::kMillisecond);

// Writing and reading a file mail against coreutils doing the same Base64
// work in a pipe, interleaved so both see the same machine load. The time is
// CPU time (user + system); "ratio" is ours over the anchor's.
struct Versus {
    double ours = 0;
    double anchor = 0;
    void report(benchmark::State& state) const
    {
        const double n = double(state.iterations());
        state.counters["ours_ms"] = ours * 1000 / n;
        state.counters["anchor_ms"] = anchor * 1000 / n;
        state.counters["ratio"] = anchor > 0 ? ours / anchor : 0;
    }
};

std::string quoted(const QString& path)
{
    return "'" + path.toStdString() + "'";
}

void BM_FileMailWriteVsCoreutils(benchmark::State& state)
{
    Workspace w;
    const QString mail = w.dir.filePath(QStringLiteral("File - mail.txt"));
    const std::string anchor =
        "base64 -w0 " + quoted(w.attachment) + " | base64 -w0 > " + quoted(w.dir.filePath(QStringLiteral("a.txt")));
    Versus v;
    for (auto _ : state) {
        QFile::remove(mail);
        const double start = processCpuSeconds();
        const Result<qint64> written = FileMail::Write(w.attachment, mail, QStringLiteral("TO"), QStringLiteral("FROM"),
                                                       QStringLiteral("SUBJECT"), QStringLiteral("MESSAGE"));
        const double ours = processCpuSeconds() - start;
        const bench::Usage a = runShell(anchor);
        if (!written.ok() || !a.ok) {
            state.SkipWithError("file mail write failed");
            break;
        }
        v.ours += ours;
        v.anchor += a.cpuSeconds;
        state.SetIterationTime(ours);
    }
    v.report(state);
}
BENCHMARK(BM_FileMailWriteVsCoreutils)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_FileMailReadVsCoreutils(benchmark::State& state)
{
    Workspace w;
    const QString mail = w.dir.filePath(QStringLiteral("File - mail.txt"));
    if (!FileMail::Write(w.attachment, mail, QStringLiteral("TO"), QStringLiteral("FROM"), QStringLiteral("SUBJECT"),
                         QStringLiteral("MESSAGE"))
             .ok()) {
        state.SkipWithError("file mail write failed");
        return;
    }
    const QString out = w.dir.filePath(QStringLiteral("out"));
    const std::string anchor = "base64 -d " + quoted(mail) + " | cut -d, -f6 | base64 -d > " +
                               quoted(w.dir.filePath(QStringLiteral("a.bin")));
    Versus v;
    for (auto _ : state) {
        const double start = processCpuSeconds();
        const Result<FileMail::Mail> read = FileMail::Read(mail);
        const Result<FileMail::SavedFile> saved = FileMail::SaveCarriedFile(read.value(), out, true);
        const double ours = processCpuSeconds() - start;
        const bench::Usage a = runShell(anchor);
        if (!read.ok() || !saved.ok() || !a.ok) {
            state.SkipWithError("file mail read failed");
            break;
        }
        v.ours += ours;
        v.anchor += a.cpuSeconds;
        state.SetIterationTime(ours);
    }
    v.report(state);
}
BENCHMARK(BM_FileMailReadVsCoreutils)->Unit(benchmark::kMillisecond)->UseManualTime();

// Peak memory of a write and a read by the command-line tool, a fresh
// process each: "*_MB" is the peak beyond the tool's own idle footprint
// (its --help), "x_file" that over the attachment's size.
void BM_FileMailPeakMemory(benchmark::State& state)
{
    Workspace w;
    const std::string codec = "'" TOLVAN_CODEC "'";
    const QString mail = w.dir.filePath(QStringLiteral("File - mail.txt"));
    const std::string write = codec + " filemail-write " + quoted(mail) + " " + quoted(w.attachment) +
                              " --to T --from F --subject S --message M > /dev/null";
    const std::string read =
        codec + " filemail-read " + quoted(mail) + " " + quoted(w.dir.filePath(QStringLiteral("out"))) +
        " --yes > /dev/null";
    double idle = 0;
    double wr = 0;
    double rd = 0;
    for (auto _ : state) {
        QFile::remove(mail);
        idle = bench::peakMegabytesOf(codec + " --help > /dev/null");
        wr = bench::peakMegabytesOf(write);
        rd = bench::peakMegabytesOf(read);
        if (idle == 0 || wr == 0 || rd == 0) {
            state.SkipWithError("file mail failed");
            break;
        }
    }
    const double file = kAttachmentSize / 1e6;
    state.counters["idle_MB"] = idle;
    state.counters["write_MB"] = wr - idle;
    state.counters["write_x_file"] = (wr - idle) / file;
    state.counters["read_MB"] = rd - idle;
    state.counters["read_x_file"] = (rd - idle) / file;
}
BENCHMARK(BM_FileMailPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
