#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <random>

using namespace tolvan;

namespace {

constexpr qsizetype kAttachmentSize = 8 * 1024 * 1024;

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
        const ModPMBA::CreateResult r =
            ModPMBA::PMBA_CreateBinaryMail(w.attachment, mail, QStringLiteral("TO"), QStringLiteral("FROM"),
                                           QStringLiteral("SUBJECT"), QStringLiteral("MESSAGE"));
        if (!r.ok) {
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
    ModPMBA::PMBA_CreateBinaryMail(w.attachment, mail, QStringLiteral("TO"), QStringLiteral("FROM"),
                                   QStringLiteral("SUBJECT"), QStringLiteral("MESSAGE"));
    const QString out = w.dir.filePath(QStringLiteral("out"));
    for (auto _ : state) {
        const ModPMBA::DecodeResult r = ModPMBA::PMBA_DecodeBinaryMail(mail, out);
        if (!r.ok) {
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
        const FileMail::WriteResult written =
            FileMail::Write(w.attachment, mail, QStringLiteral("TO"), QStringLiteral("FROM"),
                            QStringLiteral("SUBJECT"), QStringLiteral("MESSAGE"));
        const FileMail::ReadResult read = FileMail::Read(mail);
        if (!written.ok || !read.ok) {
            state.SkipWithError("file mail round trip failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * kAttachmentSize);
}
BENCHMARK(BM_FileMailWriteAndRead)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
