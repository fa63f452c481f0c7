#include "monitor/filemonitors.h"

#include "monitor/IncomingFile.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvan {

namespace {

// Calls visit with the name of each file directly in folder. Returns 0, or
// the errno of a folder that cannot be listed.
template <class Visit>
int scanFolder(const QByteArray& folder, Visit&& visit)
{
    if (folder.isEmpty()) {
        return ENOENT;
    }
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) {
        return errno == 0 ? EIO : errno;
    }
    // readdir gives the type of most entries for free; only the rest (and
    // symbolic links, which count when they lead to a file) cost a stat.
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        bool isFile = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st;
            isFile = ::fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (isFile) {
            visit(std::string_view(entry->d_name));
        }
    }
    ::closedir(dir);
    return 0;
}

qint64 mtimeOf(const struct stat& st)
{
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// What the kernel is asked to report about the folder: writers, arrivals by
// rename, removals, and the folder itself going away.
constexpr uint32_t kKernelEvents = IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE |
                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

filemonitors::filemonitors(QObject* parent)
    : QObject(parent)
{
}

filemonitors::~filemonitors()
{
    // The timer belongs to its owner; only our connection to it goes.
    QObject::disconnect(m_tick);
    stopKernelWatch();
}

QByteArray filemonitors::pathOf(std::string_view name) const
{
    QByteArray path = m_folder;
    if (!path.endsWith('/')) {
        path += '/';
    }
    path.append(name.data(), qsizetype(name.size()));
    return path;
}

QStringList filemonitors::ListFolder(const QString& folder)
{
    QStringList names;
    scanFolder(QFile::encodeName(folder), [&](std::string_view name) {
        names.append(QFile::decodeName(QByteArray(name.data(), qsizetype(name.size()))));
    });
    return names;
}

void filemonitors::SetTimerControl(QTimer* tmr)
{
    QObject::disconnect(m_tick);
    TimerScan = tmr;
    if (tmr != nullptr) {
        m_tick = connect(tmr, &QTimer::timeout, this, &filemonitors::TimerScan_Timer);
    }
}

Result<> filemonitors::StartMonitoring()
{
    if (TimerScan.isNull()) {
        return Fail(MessageBoxRequest{QStringLiteral("Error: Timer control is not set!"), {}});
    }
    if (FolderPath.isEmpty()) {
        return Fail(MessageBoxRequest{QStringLiteral("Error: Folder path is not set!"), {}});
    }
    m_folder = QFile::encodeName(FolderPath);
    if (UseKernelNotification && m_inotify < 0) {
        m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_inotify >= 0) {
            m_notifier = new QSocketNotifier(m_inotify, QSocketNotifier::Read, this);
            connect(m_notifier, &QSocketNotifier::activated, this, &filemonitors::readKernelEvents);
        }
    }
    // Files already there at the start never count as new.
    m_resync = !takeSnapshot();
    TimerScan->setInterval(kIntervalMs);
    TimerScan->start();
    m_running = true;
    return {};
}

void filemonitors::StopMonitoring()
{
    if (!TimerScan.isNull()) {
        TimerScan->stop();
    }
    SetTimerControl(nullptr);
    stopKernelWatch();
    m_running = false;
}

bool filemonitors::IsRunning() const
{
    return m_running && !TimerScan.isNull() && TimerScan->isActive();
}

void filemonitors::startKernelWatch()
{
    if (m_inotify < 0) {
        return;
    }
    if (m_watch >= 0) {
        ::inotify_rm_watch(m_inotify, m_watch);
    }
    // A folder the kernel cannot watch leaves the quiet period alone to judge.
    m_watch = ::inotify_add_watch(m_inotify, m_folder.constData(), kKernelEvents);
}

void filemonitors::stopKernelWatch()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_inotify >= 0) {
        ::close(m_inotify);
    }
    m_inotify = -1;
    m_watch = -1;
    m_writing.clear();
}

bool filemonitors::takeSnapshot()
{
    // Watched first, so that nothing written during the listing is missed.
    startKernelWatch();
    readKernelEvents();
    m_writing.clear();
    m_pending.clear();
    m_known.clear();
    ++m_listing;
    const int error = scanFolder(m_folder, [this](std::string_view name) { m_known[std::string(name)].seen = m_listing; });
    struct stat st;
    if (error != 0 || ::stat(m_folder.constData(), &st) != 0) {
        m_state = error == EACCES ? FolderState::Unreadable : FolderState::Missing;
        m_folderDev = m_folderIno = -1;
        return false;
    }
    m_folderDev = qint64(st.st_dev);
    m_folderIno = qint64(st.st_ino);
    m_state = FolderState::Watching;
    return true;
}

void filemonitors::readKernelEvents()
{
    if (m_inotify < 0) {
        return;
    }
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t n = ::read(m_inotify, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + ev->len);
            if (ev->mask & IN_Q_OVERFLOW) {
                // Closes may have been lost: the quiet period alone decides.
                m_writing.clear();
                continue;
            }
            if (ev->wd != m_watch) {
                continue; // left over from a watch given up before
            }
            if (ev->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                if (ev->mask & IN_IGNORED) {
                    m_watch = -1;
                }
                m_resync = true;
                continue;
            }
            if (ev->len == 0) {
                continue;
            }
            const std::string_view name(ev->name);
            if (ev->mask & IN_CREATE) {
                // A writer creating the file holds it open, and its file starts
                // empty. A file that appears with content was linked in whole
                // (a second link, or an unnamed temporary file given its name):
                // no close will be reported for it, so the quiet period decides.
                // Should its writer go on, the writes mark it open again.
                struct stat st;
                if (::lstat(pathOf(name).constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink <= 1
                    && st.st_size == 0) {
                    m_writing.emplace(name);
                }
                markChanged(name);
            }
            if (ev->mask & IN_MODIFY) {
                m_writing.emplace(name);
                markChanged(name);
            }
            if (ev->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) {
                if (auto it = m_writing.find(name); it != m_writing.end()) {
                    m_writing.erase(it);
                }
                markChanged(name);
            }
            if (ev->mask & (IN_DELETE | IN_MOVED_FROM)) {
                if (auto it = m_writing.find(name); it != m_writing.end()) {
                    m_writing.erase(it);
                }
            }
        }
    }
}

void filemonitors::markChanged(std::string_view name)
{
    // A known file written again is checked again, but it is no arrival.
    if (m_known.find(name) != m_known.end() && m_pending.find(name) == m_pending.end()) {
        m_pending.emplace(std::string(name), Pending{});
    }
}

void filemonitors::TimerScan_Timer()
{
    // A receiver that runs an event loop (a message box) must not start a
    // second scan inside the first; the next tick catches up.
    if (m_inTick) {
        return;
    }
    m_inTick = true;
    m_arrivals.clear();
    readKernelEvents();

    struct stat folder;
    const bool folderThere = ::stat(m_folder.constData(), &folder) == 0;
    if (folderThere && (qint64(folder.st_dev) != m_folderDev || qint64(folder.st_ino) != m_folderIno)) {
        m_resync = true;
    }
    if (m_resync || !folderThere) {
        // A folder that went away and came back (or was replaced) starts
        // afresh: what it holds now counts as known.
        m_resync = !takeSnapshot();
        m_inTick = false;
        return;
    }

    // Names are looked up in the known set as they come; only a listing that
    // differs touches the set, and then only by the names that changed.
    ++m_listing;
    size_t seenKnown = 0;
    m_newNames.clear();
    const int error = scanFolder(m_folder, [&](std::string_view name) {
        if (const auto it = m_known.find(name); it != m_known.end()) {
            it->second.seen = m_listing;
            ++seenKnown;
        } else {
            m_newNames.emplace_back(name);
        }
    });
    if (error != 0) {
        m_state = error == EACCES ? FolderState::Unreadable : FolderState::Missing;
        m_resync = true;
        m_inTick = false;
        return;
    }
    if (seenKnown != m_known.size()) {
        std::erase_if(m_known, [this](const auto& entry) { return entry.second.seen != m_listing; });
        std::erase_if(m_pending, [this](const auto& entry) { return m_known.find(entry.first) == m_known.end(); });
    }
    for (std::string& name : m_newNames) {
        m_known[name].seen = m_listing;
        Pending p;
        p.announce = true;
        m_pending.insert_or_assign(std::move(name), p);
    }
    if (!m_pending.empty()) {
        checkPending(std::chrono::steady_clock::now());
    }
    if (!m_arrivals.isEmpty()) {
        const QPointer<filemonitors> self(this);
        emit FileReceived();
        if (self.isNull()) {
            return; // a receiver replaced this monitor
        }
    }
    m_inTick = false;
}

void filemonitors::checkPending(SteadyTime now)
{
    // Only pending files cost a stat; known complete ones are left alone.
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        const std::string& name = it->first;
        Pending& p = it->second;
        const QByteArray path = pathOf(name);
        struct stat st;
        if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
            it = m_pending.erase(it); // gone: the next listing drops the name
            continue;
        }
        const qint64 mtime = mtimeOf(st);
        if (st.st_size != p.size || mtime != p.mtime) {
            const bool firstLook = p.size < 0;
            p.size = st.st_size;
            p.mtime = mtime;
            p.stableSince = now;
            if (!firstLook) {
                ++it;
                continue;
            }
        }
        const bool quiet = now - p.stableSince >= QuietPeriod;
        const bool open = m_writing.find(name) != m_writing.end();
        const bool knownShort = p.shortSize == p.size && p.shortMtime == p.mtime;
        if (!quiet || open || knownShort) {
            ++it;
            continue;
        }
        if (!IncomingFile::FormatComplete(QFile::decodeName(path))) {
            p.shortSize = p.size;
            p.shortMtime = p.mtime;
            ++it;
            continue;
        }
        if (const auto known = m_known.find(name); known != m_known.end()) {
            known->second.size = p.size;
            known->second.mtime = p.mtime;
        }
        if (p.announce) {
            m_arrivals << QFile::decodeName(QByteArray(name.data(), qsizetype(name.size())));
        }
        it = m_pending.erase(it);
    }
}

bool filemonitors::IsStillArriving(const QString& name)
{
    readKernelEvents();
    const QByteArray encoded = QFile::encodeName(name);
    const std::string_view key(encoded.constData(), size_t(encoded.size()));
    const QByteArray path = pathOf(key);
    struct stat st;
    if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    const auto known = m_known.find(key);
    if (known == m_known.end()) {
        return true; // arrived after the last tick
    }
    if (m_pending.find(key) != m_pending.end() || m_writing.find(key) != m_writing.end()) {
        return true;
    }
    if (known->second.size == st.st_size && known->second.mtime == mtimeOf(st)) {
        return false; // complete, and unchanged since
    }
    // Never checked, or changed unseen (without the kernel's reports): it is
    // complete when it has not been modified for the quiet period.
    if (LooksStillArriving(QFile::decodeName(path), QuietPeriod)) {
        if (m_pending.find(key) == m_pending.end()) {
            m_pending.emplace(std::string(key), Pending{});
        }
        return true;
    }
    known->second.size = st.st_size;
    known->second.mtime = mtimeOf(st);
    return false;
}

bool filemonitors::LooksStillArriving(const QString& path, std::chrono::milliseconds quiet)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    const qint64 nowNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    const qint64 quietNs = qint64(quiet.count()) * 1000000;
    // A time in the future (a clock set back, a copied stamp) proves nothing.
    if (mtimeOf(st) > nowNs - quietNs) {
        return true;
    }
    return !IncomingFile::FormatComplete(path);
}

} // namespace tolvan
