// The receive watch without a screen: tolvan-codec watch FOLDER prints one
// JSON line for each complete arrival, with the same folder monitor as the
// program, until it is interrupted. Names beginning with "." (partial files
// of writers) are never reported.

#include "CommandTable.h"

#include "monitor/IncomingFile.h"
#include "monitor/filemonitors.h"
#include "sevenplus/SevenPlusSets.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace tolvan::codec {

namespace {

int g_signalPipe[2] = {-1, -1};

// SIGINT and SIGTERM only wake the event loop, which then ends cleanly.
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

QString jsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

int watch(const QStringList& args, const Output& io)
{
    Args a;
    if (!parseArgs(args, 1, {QStringLiteral("quiet-ms")}, NoSwitch, a)) {
        return ExitUsage;
    }
    const QString folder = a.positional[0];
    int quietMs = int(filemonitors::kQuietPeriod.count());
    if (a.options.count(QStringLiteral("quiet-ms"))) {
        bool ok = false;
        quietMs = option(a, "quiet-ms").toInt(&ok);
        if (!ok || quietMs < 0) {
            return ExitUsage;
        }
    }
    if (!QFileInfo(folder).isDir()) {
        io.err(QStringLiteral("tolvan-codec: not a folder: %1\n").arg(folder));
        return ExitFailed;
    }

    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        io.err(QStringLiteral("tolvan-codec: cannot set up the signal handling\n"));
        return ExitFailed;
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    QSocketNotifier interrupted(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&interrupted, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });

    QTimer timer;
    filemonitors monitor;
    monitor.FolderPath = folder;
    monitor.QuietPeriod = std::chrono::milliseconds(quietMs);
    monitor.SetTimerControl(&timer);
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    // The same collector as the received screen: a set is reported once,
    // with the arrival of its last part.
    SevenPlusSets::Collector sets;
    // The kernel's reports are read once before each look at the sets.
    const auto stillArriving = [&monitor](const QString& name) { return monitor.IsStillArriving(name, true); };
    QObject::connect(&monitor, &filemonitors::FileReceived, [&] {
        for (const QString& name : monitor.Arrivals()) {
            const QString path = prefix + name;
            io.out(QStringLiteral("{\"name\": %1, \"size\": %2, \"kind\": \"%3\"}\n")
                       .arg(jsonString(name))
                       .arg(QFileInfo(path).size())
                       .arg(IncomingFile::Kind(path)));
            std::fflush(stdout);
        }
        monitor.ReadKernelReports();
        for (const SevenPlusSets::Set& set : sets.Refresh(folder, stillArriving)) {
            io.out(QStringLiteral("{\"kind\": \"sevenplus-set\", \"name\": %1, \"parts\": %2, \"complete\": true}\n")
                       .arg(jsonString(set.name))
                       .arg(set.totalParts));
            std::fflush(stdout);
        }
    });
    // With the timer bound and the folder checked above, the start is never refused.
    (void)monitor.StartMonitoring();
    monitor.ReadKernelReports();
    sets.Refresh(folder, stillArriving);
    // Files already there are known; what arrives from now on is printed.
    io.err(QStringLiteral("tolvan-codec: watching %1\n").arg(folder));
    std::fflush(stderr);
    const int status = QCoreApplication::exec();
    monitor.StopMonitoring();
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    return status == 0 ? ExitOk : ExitFailed;
}

} // namespace

void registerMonitorCommands(CommandTable& table)
{
    table.add({QStringLiteral("watch"), QStringLiteral("FOLDER [--quiet-ms N]"),
               QStringLiteral("print {\"name\", \"size\", \"kind\"} as one JSON line for each complete arrival in "
                              "FOLDER, and {\"kind\": \"sevenplus-set\", ...} once a 7PLUS set is whole, until "
                              "interrupted"),
               watch});
}

} // namespace tolvan::codec
