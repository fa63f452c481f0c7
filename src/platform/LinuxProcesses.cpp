#include "platform/LinuxProcesses.h"

#include "platform/ProcessMatch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <memory>

namespace tolvan {

namespace {

// Reads up to maxBytes of a small /proc file; empty when it cannot be read.
QByteArray readProcFile(const QByteArray& path, int maxBytes)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    QByteArray data(maxBytes, Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < maxBytes) {
        const ssize_t n = ::read(fd, data.data() + filled, maxBytes - filled);
        if (n <= 0) {
            break;
        }
        filled += n;
    }
    ::close(fd);
    data.truncate(filled);
    return data;
}

ProcessNames namesOf(const QByteArray& procDir)
{
    ProcessNames names;
    QByteArray comm = readProcFile(procDir + "/comm", 64);
    if (comm.endsWith('\n')) {
        comm.chop(1);
    }
    names.comm = QString::fromUtf8(comm);
    // argv[0] ends at the first NUL; a long path is kept whole up to 4 KiB.
    const QByteArray cmdline = readProcFile(procDir + "/cmdline", 4096);
    const qsizetype end = cmdline.indexOf('\0');
    names.argv0 = QString::fromUtf8(end < 0 ? cmdline : cmdline.left(end));
    char target[4096];
    const ssize_t n = ::readlink((procDir + "/exe").constData(), target, sizeof target - 1);
    if (n > 0) {
        names.exePath = QString::fromUtf8(target, n);
    }
    return names;
}

// A process that has ended but was not yet collected by its parent still has a
// /proc entry with its comm; it no longer runs.
bool isZombie(const QByteArray& procDir)
{
    const QByteArray stat = readProcFile(procDir + "/stat", 512);
    const qsizetype close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() && (stat[close + 2] == 'Z' || stat[close + 2] == 'X');
}

bool isWindowsProgram(const QString& path)
{
    return path.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive);
}

Result<qint64> startDetached(const QString& program, const QStringList& arguments, const QString& folder,
                             const QString& shownName, const QString& outputFile = {})
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    // Both streams append to one emptied file, so their lines interleave as
    // they were printed. A file that cannot be made costs the output only.
    if (!outputFile.isEmpty() && QDir().mkpath(QFileInfo(outputFile).absolutePath())) {
        QFile out(outputFile);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            out.close();
            process.setStandardOutputFile(outputFile, QIODevice::Append);
            process.setStandardErrorFile(outputFile, QIODevice::Append);
        }
    }
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        return Fail(QStringLiteral("Cannot start %1: %2").arg(shownName, process.errorString()));
    }
    return pid;
}

// How a program file is run: itself, or through wine when it is a Windows program.
Result<qint64> runProgramFile(const QFileInfo& file, const QString& folder, const QStringList& arguments = {},
                              const QString& outputFile = {})
{
    const QString path = file.absoluteFilePath();
    if (isWindowsProgram(path)) {
        const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (wine.isEmpty()) {
            return Fail(QStringLiteral("%1 is a Windows program, and wine, which runs Windows programs, "
                                       "is not installed (no \"wine\" on the PATH).")
                            .arg(path));
        }
        return startDetached(wine, QStringList{path} + arguments, folder, path, outputFile);
    }
    if (!file.isExecutable()) {
        return Fail(QStringLiteral("%1 is not executable (the file lacks execute permission).").arg(path));
    }
    return startDetached(path, arguments, folder, path, outputFile);
}

// Calls visit with the /proc folder of each process ("/proc/123") until it
// returns false; nothing when /proc cannot be read.
template <class Visit> void forEachProcess(Visit visit)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), &::closedir);
    if (!proc) {
        return;
    }
    while (const dirent* entry = ::readdir(proc.get())) {
        if (std::isdigit(static_cast<unsigned char>(entry->d_name[0])) &&
            !visit(QByteArray("/proc/") + entry->d_name)) {
            return;
        }
    }
}

// Refuses what cannot be started before anything is forked, with the reason.
Result<> checkProgramFile(const QString& programPath, const QFileInfo& file)
{
    if (programPath.trimmed().isEmpty()) {
        return Fail(QStringLiteral("No program path is set."));
    }
    if (!file.exists()) {
        return Fail(QStringLiteral("%1 was not found (no such file).").arg(file.absoluteFilePath()));
    }
    if (file.isDir()) {
        return Fail(QStringLiteral("%1 is a folder, not a program.").arg(file.absoluteFilePath()));
    }
    return {};
}

} // namespace

bool LinuxProcesses::isRunning(const QString& executableName)
{
    if (executableName.isEmpty()) {
        return false;
    }
    bool found = false;
    forEachProcess([&](const QByteArray& dir) {
        found = processMatches(namesOf(dir), executableName) && !isZombie(dir);
        return !found;
    });
    return found;
}

QList<ProcessNames> LinuxProcesses::processList()
{
    QList<ProcessNames> list;
    forEachProcess([&](const QByteArray& dir) {
        if (!isZombie(dir)) {
            list << namesOf(dir);
        }
        return true;
    });
    return list;
}

LinuxProcesses::LinuxProcesses()
    : m_watches(std::make_unique<QObject>())
{
}

LinuxProcesses::~LinuxProcesses() = default;

Result<qint64> LinuxProcesses::start(const QString& programPath, const LaunchOptions& options)
{
    const QFileInfo file(programPath);
    if (const Result<> usable = checkProgramFile(programPath, file); !usable.ok()) {
        return usable.failure();
    }
    return watched(runProgramFile(file, file.absolutePath(), options.arguments, options.outputFile), options);
}

Result<qint64> LinuxProcesses::watched(const Result<qint64>& started, const LaunchOptions& options)
{
    if (!started.ok() || !options.watch) {
        return started;
    }
    // The started program is not this process's child (it outlives the
    // station program), so its end is seen in /proc, a few times a second.
    auto* timer = new QTimer(m_watches.get());
    timer->setInterval(100);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    const QByteArray procDir = "/proc/" + QByteArray::number(started.value());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, procDir, options, limit = m_watchMs] {
        const bool ended = !QFileInfo::exists(QString::fromLatin1(procDir)) || isZombie(procDir);
        if (!ended && !clock->hasExpired(limit)) {
            return;
        }
        // Done before the report, which may show a box and run the event loop.
        timer->stop();
        timer->deleteLater();
        std::optional<EarlyEnd> end;
        if (ended) {
            end = EarlyEnd{options.outputFile.isEmpty() ? QStringList() : LastLines(options.outputFile, 10),
                           options.outputFile};
        }
        const StartWatch watch = options.watch;
        watch(end);
    });
    timer->start();
    return started;
}

QStringList LinuxProcesses::LastLines(const QString& path, int count)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    constexpr qint64 kTail = 8192;
    const qint64 size = file.size();
    if (size > kTail) {
        file.seek(size - kTail);
    }
    QByteArray bytes = file.read(kTail);
    if (size > kTail) {
        bytes = bytes.mid(bytes.indexOf('\n') + 1); // a cut first line is left out
    }
    QStringList lines;
    for (const QString& line : QString::fromLocal8Bit(bytes).split(QRegularExpression(QStringLiteral("[\r\n]+")))) {
        if (!line.trimmed().isEmpty()) {
            lines << line;
        }
    }
    return lines.mid(std::max<qsizetype>(0, lines.size() - count));
}

Result<qint64> LinuxProcesses::open(const QString& fileName, const QString& workingFolder, const QStringList& arguments,
                                    const LaunchOptions& options)
{
    const QFileInfo folder(workingFolder);
    if (workingFolder.isEmpty() || !folder.isDir()) {
        return Fail(QStringLiteral("The folder %1 does not exist.").arg(workingFolder));
    }
    const QFileInfo file(QDir(folder.absoluteFilePath()), fileName);
    if (const Result<> usable = checkProgramFile(fileName, file); !usable.ok()) {
        return usable.failure();
    }
    // Opening a program runs it, as the shell's "open" does; any other file goes
    // to the desktop's handler for its type.
    if (isWindowsProgram(fileName) || file.isExecutable()) {
        return watched(runProgramFile(file, folder.absoluteFilePath(), arguments, options.outputFile), options);
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        return Fail(QStringLiteral("Cannot open %1: the desktop's file opener (xdg-open, package xdg-utils) "
                                   "is not installed.")
                        .arg(file.absoluteFilePath()));
    }
    const Result<qint64> opened = startDetached(opener, {fileName}, folder.absoluteFilePath(), file.absoluteFilePath());
    if (opened.ok() && options.watch) {
        QTimer::singleShot(0, m_watches.get(), [watch = options.watch] { watch(std::nullopt); });
    }
    return opened;
}

} // namespace tolvan
