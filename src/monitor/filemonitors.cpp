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

// Calls visit(name, inode, is a file) for each entry directly in folder whose
// name does not begin with "." (hidden files, and the partial files writers
// keep under such names until they are whole). Returns 0, or the errno of a
// folder that cannot be listed.
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
            visit(std::string_view(entry->d_name), std::uint64_t(entry->d_ino), fd);
        }
    }
    ::closedir(dir);
    return 0;
}

qint64 mtimeOf(const struct stat& st)
{
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

qint64 ctimeOf(const struct stat& st)
{
    return qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

qint64 wallNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A listing taken this long after the folder's last change holds for as long
// as the folder's times stay the same.
constexpr qint64 kListingTrustNs = 2'000'000'000;

bool hiddenName(std::string_view name)
{
    return name.empty() || name.front() == '.';
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
    scanFolder(QFile::encodeName(folder), [&](std::string_view name, std::uint64_t, int) {
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
    m_resync = !takeSnapshot(false, Clock());
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

bool filemonitors::takeSnapshot(bool asNew, SteadyTime now)
{
    // Watched first, so that nothing written during the listing is missed.
    startKernelWatch();
    readKernelEvents();
    m_writing.clear();
    m_pending.clear();
    m_known.clear();
    m_recheck = false;
    m_listingTrusted = false;
    struct stat folder;
    if (::stat(m_folder.constData(), &folder) != 0) {
        m_state = errno == EACCES ? FolderState::Unreadable : FolderState::Missing;
        m_folderDev = m_folderIno = -1;
        return false;
    }
    ++m_listing;
    // The listing gives each file's inode. With the kernel's reports its size
    // and time are taken at the first question about it (the 7PLUS look asks
    // about each at once); without them only this look can tell a file
    // written again under its name, with the same inode, from the first.
    const bool lookNow = m_watch < 0;
    const int error = scanFolder(m_folder, [&](std::string_view name, std::uint64_t ino, int fd) {
        Known& k = m_known[std::string(name)];
        k.seen = m_listing;
        k.ino = ino;
        struct stat st;
        // The name comes from the directory entry, ended by its NUL.
        if (lookNow && ::fstatat(fd, name.data(), &st, 0) == 0) {
            k.size = st.st_size;
            k.mtime = mtimeOf(st);
        }
        if (asNew) {
            Pending p;
            p.stableSince = now;
            m_pending.insert_or_assign(std::string(name), p);
        }
    });
    if (error != 0) {
        m_known.clear();
        m_pending.clear();
        m_state = error == EACCES ? FolderState::Unreadable : FolderState::Missing;
        m_folderDev = m_folderIno = -1;
        return false;
    }
    m_folderDev = qint64(folder.st_dev);
    m_folderIno = qint64(folder.st_ino);
    m_listedMtime = mtimeOf(folder);
    m_listedCtime = ctimeOf(folder);
    m_listingTrusted = wallNowNs() - m_listedMtime > kListingTrustNs;
    m_state = FolderState::Watching;
    return true;
}

void filemonitors::ReadKernelReports()
{
    readKernelEvents();
}

void filemonitors::KernelQueueOverflowed()
{
    // Closes may have been lost: the quiet period alone decides, afresh.
    m_writing.clear();
    m_recheck = true;
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
                KernelQueueOverflowed();
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
            if (ev->len == 0 || hiddenName(ev->name)) {
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
                markChanged(name, true);
            }
            if (ev->mask & IN_MODIFY) {
                m_writing.emplace(name);
                markChanged(name, false);
            }
            if (ev->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) {
                if (auto it = m_writing.find(name); it != m_writing.end()) {
                    m_writing.erase(it);
                }
                markChanged(name, (ev->mask & IN_MOVED_TO) != 0);
            }
            if (ev->mask & (IN_DELETE | IN_MOVED_FROM)) {
                if (auto it = m_writing.find(name); it != m_writing.end()) {
                    m_writing.erase(it);
                }
            }
        }
    }
}

void filemonitors::markChanged(std::string_view name, bool created)
{
    // A known name whose file was made anew, or written again, is checked
    // again and announced once complete: new content arrived under it. A
    // name not known yet is found by the next listing.
    const auto known = m_known.find(name);
    if (known == m_known.end()) {
        return;
    }
    if (created) {
        known->second.checked = false;
    }
    if (m_pending.find(name) == m_pending.end()) {
        Pending p;
        p.stableSince = Clock();
        m_pending.emplace(std::string(name), p);
    }
}

int filemonitors::listFolder()
{
    // Names are looked up in the known set as they come; only a listing that
    // differs touches the set, and then only by the names that changed.
    ++m_listing;
    size_t seenKnown = 0;
    m_newNames.clear();
    const int error = scanFolder(m_folder, [&](std::string_view name, std::uint64_t ino, int) {
        if (const auto it = m_known.find(name); it != m_known.end()) {
            it->second.seen = m_listing;
            ++seenKnown;
            if (it->second.ino != ino) {
                // Another file under a known name (renamed over it, or deleted
                // and written again): new, whatever its name says.
                it->second.ino = ino;
                it->second.checked = false;
                m_pending.insert_or_assign(std::string(name), Pending{});
            }
        } else {
            m_newNames.emplace_back(name);
            m_known[m_newNames.back()] = Known{m_listing, ino};
        }
    });
    if (error != 0) {
        return error;
    }
    if (seenKnown + m_newNames.size() != m_known.size()) {
        std::erase_if(m_known, [this](const auto& entry) { return entry.second.seen != m_listing; });
        std::erase_if(m_pending, [this](const auto& entry) { return m_known.find(entry.first) == m_known.end(); });
    }
    for (std::string& name : m_newNames) {
        m_pending.insert_or_assign(std::move(name), Pending{});
    }
    return 0;
}

void filemonitors::recheckAll(SteadyTime now, bool restartPending)
{
    // A file whose size or time is not what was last seen changed unseen: it
    // counts once it has been quiet for a full period from now. After lost
    // reports the files still pending start their quiet period again too.
    for (auto& [name, k] : m_known) {
        if (m_pending.find(name) != m_pending.end()) {
            continue;
        }
        struct stat st;
        if (::stat(pathOf(name).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
            continue; // gone: the next listing drops the name
        }
        if (k.size < 0) {
            k.size = st.st_size; // never looked at: this is its first look
            k.mtime = mtimeOf(st);
        } else if (st.st_size != k.size || mtimeOf(st) != k.mtime) {
            k.checked = false;
            m_pending.emplace(name, Pending{});
        }
    }
    if (!restartPending) {
        return;
    }
    for (auto& [name, p] : m_pending) {
        p.size = -1; // looked at again as if new, from now
        p.stableSince = now;
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
    // Cleared on every way out, also when a receiver throws or replaces
    // this monitor, so that one failure never stops the watch.
    const QPointer<filemonitors> self(this);
    struct InTick {
        const QPointer<filemonitors>& monitor;
        ~InTick()
        {
            if (!monitor.isNull()) {
                monitor->m_inTick = false;
            }
        }
    } inTick{self};

    m_arrivals.clear();
    readKernelEvents();
    const SteadyTime now = Clock();

    struct stat folder;
    if (::stat(m_folder.constData(), &folder) != 0) {
        // Nothing is listed while it is gone; what it holds when it comes
        // back is new.
        m_state = errno == EACCES ? FolderState::Unreadable : FolderState::Missing;
        m_resync = true;
        return;
    }
    if (qint64(folder.st_dev) != m_folderDev || qint64(folder.st_ino) != m_folderIno) {
        m_resync = true;
    }
    if (m_resync) {
        // A folder that went away and came back (or was replaced): all its
        // files count as new, each once complete.
        m_resync = !takeSnapshot(true, now);
    } else {
        // The folder's times change with every name that comes or goes, so an
        // unchanged folder needs no listing, however many files it holds.
        const bool unchanged =
            m_listingTrusted && mtimeOf(folder) == m_listedMtime && ctimeOf(folder) == m_listedCtime;
        // Without the kernel's reports a file deleted and written again may
        // get the same inode back: then only its time tells.
        const bool lostReports = m_recheck;
        const bool recheck = lostReports || (!unchanged && m_watch < 0);
        m_recheck = false;
        if (!unchanged || lostReports) {
            if (const int error = listFolder(); error != 0) {
                m_state = error == EACCES ? FolderState::Unreadable : FolderState::Missing;
                m_resync = true;
                return;
            }
            m_listedMtime = mtimeOf(folder);
            m_listedCtime = ctimeOf(folder);
            m_listingTrusted = wallNowNs() - m_listedMtime > kListingTrustNs;
        }
        if (recheck) {
            recheckAll(now, lostReports);
        }
    }
    if (!m_pending.empty()) {
        checkPending(now);
    }
    if (!m_arrivals.isEmpty()) {
        announce();
    }
}

void filemonitors::announce()
{
    try {
        emit FileReceived();
        if (!m_receiverFailure.isEmpty()) {
            m_receiverFailure.clear();
        }
    } catch (const std::exception& e) {
        m_receiverFailure = QString::fromLocal8Bit(e.what());
        qWarning("The arrival notice failed: %s", e.what());
    } catch (...) {
        m_receiverFailure = QStringLiteral("unknown failure");
        qWarning("The arrival notice failed");
    }
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
            if (!firstLook || p.stableSince == SteadyTime{}) {
                p.stableSince = now;
            }
            if (!firstLook) {
                ++it;
                continue;
            }
        }
        const auto quietFor = now - p.stableSince;
        const bool quiet = quietFor >= QuietPeriod;
        const bool open = m_writing.find(name) != m_writing.end();
        // A format that still looks short after twice the quiet period is
        // what came: its reader tells the operator what is wrong with it.
        const bool shortEnough = quietFor >= 2 * QuietPeriod;
        const bool knownShort = p.shortSize == p.size && p.shortMtime == p.mtime;
        if (!quiet || open || (knownShort && !shortEnough)) {
            ++it;
            continue;
        }
        if (!knownShort && !shortEnough && !IncomingFile::FormatComplete(QFile::decodeName(path))) {
            p.shortSize = p.size;
            p.shortMtime = p.mtime;
            ++it;
            continue;
        }
        if (const auto known = m_known.find(name); known != m_known.end()) {
            known->second.size = p.size;
            known->second.mtime = p.mtime;
            known->second.checked = true;
        }
        if (p.announce) {
            m_arrivals << QFile::decodeName(QByteArray(name.data(), qsizetype(name.size())));
        }
        it = m_pending.erase(it);
    }
}

bool filemonitors::IsStillArriving(const QString& name, bool reportsRead)
{
    if (!reportsRead) {
        readKernelEvents();
    }
    const QByteArray encoded = QFile::encodeName(name);
    const std::string_view key(encoded.constData(), size_t(encoded.size()));
    if (hiddenName(key)) {
        return false; // never an arrival
    }
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
    Known& k = known->second;
    if (k.size < 0) {
        k.size = st.st_size; // the first look at a file of the start
        k.mtime = mtimeOf(st);
    }
    const bool same = k.size == st.st_size && k.mtime == mtimeOf(st);
    if (same && k.checked) {
        return false; // complete, and unchanged since
    }
    // Present at the start and unchanged since the start's look: a file left
    // alone for twice the quiet period is complete, and costs no more.
    const qint64 quietNs = qint64(QuietPeriod.count()) * 1000000;
    if (same && k.mtime <= wallNowNs() - 2 * quietNs) {
        k.checked = true;
        return false;
    }
    // Recent, or changed unseen (without the kernel's reports): its own time
    // and format decide; only a recent file is opened.
    if (LooksStillArriving(QFile::decodeName(path), QuietPeriod)) {
        if (!same) {
            Pending p;
            p.stableSince = Clock();
            m_pending.emplace(std::string(key), p);
        }
        return true;
    }
    k.size = st.st_size;
    k.mtime = mtimeOf(st);
    k.checked = true;
    return false;
}

bool filemonitors::LooksStillArriving(const QString& path, std::chrono::milliseconds quiet)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    const qint64 nowNs = wallNowNs();
    const qint64 quietNs = qint64(quiet.count()) * 1000000;
    // A time in the future (a clock set back, a copied stamp) proves nothing.
    const qint64 mtime = mtimeOf(st);
    if (mtime > nowNs - quietNs) {
        return true;
    }
    if (mtime <= nowNs - 2 * quietNs) {
        return false;
    }
    return !IncomingFile::FormatComplete(path);
}

} // namespace tolvan
