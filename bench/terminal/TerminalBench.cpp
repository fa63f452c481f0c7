// tolvan-terminal over the Direwolf pair against the plain AGW stream of the
// same bytes on the same modems in the same run: payload bytes per second of
// each and their ratio, the terminal's CPU time per transferred megabyte, and
// its memory at rest and while a file goes through.

#include "AgwStream.h"
#include "terminal/DirewolfPair.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <random>

using tolvan::test::DirewolfPair;

namespace {

// CPU seconds (user + system) of a process so far, from /proc/<pid>/stat.
double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray stat = f.readAll();
    // The fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) {
        return 0;
    }
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(::sysconf(_SC_CLK_TCK));
}

// A "VmRSS" or "VmHWM" line of /proc/<pid>/status, in kilobytes.
double statusKilobytes(qint64 pid, const QByteArray& key)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key + ':')) {
            return line.mid(key.size() + 1).trimmed().split(' ').first().toDouble();
        }
    }
    return 0;
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::mt19937 rng{uint32_t(size)};
    for (char& c : bytes) {
        c = char(rng());
    }
    return bytes;
}

// One station folder with its headless terminal.
struct Terminal {
    QTemporaryDir dir;
    QProcess process;
    QByteArray out;

    QString folder(const QString& name) const { return dir.filePath(name); }
    bool start(const DirewolfPair& pair, DirewolfPair::Side side, const QStringList& extra = {})
    {
        QDir().mkpath(folder("Send"));
        QDir().mkpath(folder("Receive"));
        for (const char* name : {"send", "receive"}) {
            QFile f(folder(QStringLiteral("%1.dat").arg(name)));
            if (!f.open(QIODevice::WriteOnly) ||
                f.write(folder(name == QByteArray("send") ? "Send" : "Receive").toUtf8() + "\r\n") < 0) {
                return false;
            }
        }
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(QStringLiteral(TOLVAN_TERMINAL),
                      QStringList{"--station", dir.path() + u'/', "--headless", "--call", pair.call(side), "--tnc",
                                  QStringLiteral("127.0.0.1:%1").arg(pair.agwPort(side))} +
                          extra);
        return process.waitForStarted(5000);
    }
    // Waits for an event line holding text; samples memory meanwhile.
    bool waitFor(const QByteArray& text, int seconds, double* rssPeak = nullptr)
    {
        const QDeadlineTimer deadline(seconds * 1000);
        while (!out.contains(text)) {
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning) {
                return false;
            }
            process.waitForReadyRead(200);
            out += process.readAllStandardOutput();
            if (rssPeak) {
                *rssPeak = std::max(*rssPeak, statusKilobytes(process.processId(), "VmRSS"));
            }
        }
        return true;
    }
    ~Terminal()
    {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
};

// Arguments: baud, payload bytes.
void BM_TerminalAgainstPlainStream(benchmark::State& state)
{
    const int baud = int(state.range(0));
    const QByteArray payload = randomBytes(state.range(1));
    DirewolfPair pair(baud);
    if (const QString why = pair.start(); !why.isEmpty()) {
        state.SkipWithError(qPrintable(why));
        return;
    }
    for (auto _ : state) {
        const tolvan::bench::StreamResult plain = tolvan::bench::streamBytes(
            pair.agwPort(DirewolfPair::A), pair.call(DirewolfPair::A).toStdString(), pair.agwPort(DirewolfPair::B),
            pair.call(DirewolfPair::B).toStdString(), payload.toStdString(), 3600);
        if (!plain.ok) {
            state.SkipWithError(plain.error.c_str());
            return;
        }

        Terminal b;
        Terminal a;
        if (!b.start(pair, DirewolfPair::B) || !b.waitFor("\"tnc-connected\"", 30)) {
            state.SkipWithError("the receiving terminal did not reach its TNC");
            return;
        }
        QThread::msleep(1000);
        const qint64 bPid = b.process.processId();
        const double restKb = statusKilobytes(bPid, "VmRSS");
        const double cpuBefore = cpuSeconds(bPid);
        QFile file(a.folder("Send/payload.bin"));
        QDir().mkpath(a.folder("Send"));
        if (!file.open(QIODevice::WriteOnly) || file.write(payload) != payload.size()) {
            state.SkipWithError("cannot write the payload");
            return;
        }
        file.close();
        QElapsedTimer clock;
        clock.start();
        double peakKb = 0;
        if (!a.start(pair, DirewolfPair::A, {"--to", pair.call(DirewolfPair::B)}) ||
            !b.waitFor("\"file-received\"", 3600, &peakKb)) {
            state.SkipWithError("the terminal's transfer did not arrive");
            return;
        }
        const double seconds = clock.elapsed() / 1000.0;
        a.waitFor("\"file-sent\"", 60);
        const double megabytes = payload.size() / 1e6;
        state.counters["plain_Bps"] = payload.size() / plain.totalSeconds;
        state.counters["terminal_Bps"] = payload.size() / seconds;
        state.counters["terminal_vs_plain_pct"] = 100.0 * plain.totalSeconds / seconds;
        state.counters["recv_cpu_s_per_MB"] = (cpuSeconds(bPid) - cpuBefore) / megabytes;
        state.counters["send_cpu_s_per_MB"] = cpuSeconds(a.process.processId()) / megabytes;
        state.counters["recv_rss_rest_kB"] = restKb;
        state.counters["recv_rss_during_kB"] = peakKb;
        state.counters["recv_hwm_kB"] = statusKilobytes(bPid, "VmHWM");
        state.counters["send_hwm_kB"] = statusKilobytes(a.process.processId(), "VmHWM");
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * payload.size());
}
BENCHMARK(BM_TerminalAgainstPlainStream)
    ->Args({9600, 100 * 1024})
    ->Args({1200, 20 * 1024})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
