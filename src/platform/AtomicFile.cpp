#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QDateTime>
#include <QRandomGenerator>

#include <mutex>
#include <set>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvan {

namespace {

QString describeErrno(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// O_EXCL refuses any existing name, a link included, so the temporary file is
// always a new one of ours. Mode 0666 less the umask: no new file is ever
// executable.
constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

bool isDiskFull(int err)
{
    return err == ENOSPC || err == EFBIG || err == EDQUOT;
}



// The hidden temporary name of a writer: ".tolvan-", 16 hexadecimal digits, ".part".
QString drawnName()
{
    return QStringLiteral(".tolvan-%1.part").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}

bool isDrawnName(const char* name)
{
    static constexpr char kHead[] = ".tolvan-";
    static constexpr char kTail[] = ".part";
    const size_t head = sizeof kHead - 1;
    const size_t tail = sizeof kTail - 1;
    const size_t length = std::strlen(name);
    if (length != head + 16 + tail || std::strncmp(name, kHead, head) != 0
        || std::strcmp(name + head + 16, kTail) != 0) {
        return false;
    }
    for (size_t i = head; i < head + 16; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return true;
}

// A writer killed before it could clean up leaves its temporary file behind.
// The first writer into a folder removes such files of ours (regular, owned
// by this user, untouched for a day, so no live writer's file) once per run.
void removeStaleParts(const QString& folder)
{
    static std::mutex lock;
    static std::set<QString> swept;
    {
        const std::lock_guard hold(lock);
        if (!swept.insert(folder).second) {
            return;
        }
    }
    const QByteArray path = QFile::encodeName(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir) {
        return;
    }
    const qint64 dayAgo = QDateTime::currentSecsSinceEpoch() - 24 * 60 * 60;
    while (const dirent* entry = ::readdir(dir)) {
        if (!isDrawnName(entry->d_name)) {
            continue;
        }
        struct stat st;
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
            && st.st_uid == ::geteuid() && st.st_mtime < dayAgo) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

// A work file of a fixed name whose writer has gone: nobody holds its lock.
// Removes it and returns true then, or when it is gone already; false while
// a running writer holds it or when it is no regular file of ours.
bool removeAbandonedWorkFile(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT;
    }
    struct stat held;
    bool removed = false;
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Still the same file under that name: another run may have replaced it meanwhile.
        struct stat named;
        removed = ::lstat(path.constData(), &named) != 0
                  || (named.st_dev == held.st_dev && named.st_ino == held.st_ino && ::unlink(path.constData()) == 0);
    }
    ::close(fd);
    return removed;
}

} // namespace

// Gives the temporary file its final name unless that name is taken (by a
// dangling link too). Falls back to link-and-unlink where the file system
// lacks the atomic flag; neither follows a link at the target.
int AtomicFile::renameNoReplace(const QByteArray& from, const QByteArray& to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
#endif
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP) {
        return errno;
    }
    // Neither flag nor hard links (some network shares): a plain rename after
    // a look. A rename replaces a name and never writes through a link.
    struct stat st;
    if (::lstat(to.constData(), &st) == 0) {
        return EEXIST;
    }
    return std::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

AtomicFile::AtomicFile(QString finalPath, Mode mode, QString workPath)
    : m_finalPath(std::move(finalPath))
    , m_mode(mode)
    , m_workPath(std::move(workPath))
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::occupied(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString AtomicFile::obstacle(const QString& path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        return {};
    }
    if (S_ISLNK(st.st_mode)) {
        return QStringLiteral("A symbolic link stands where the file is to go; nothing is written through it: %1")
            .arg(path);
    }
    if (!S_ISREG(st.st_mode)) {
        return QStringLiteral("Something other than a regular file stands where the file is to go: %1").arg(path);
    }
    return {};
}

QString AtomicFile::shortWriteMessage(qint64 written, qint64 wanted, const QString& path)
{
    if (wanted < 0) {
        return QStringLiteral("Only the first %1 bytes could be written to %2: the disk may be full.")
            .arg(written)
            .arg(path);
    }
    return QStringLiteral("Only %1 of %2 bytes could be written to %3: the disk may be full.")
        .arg(written)
        .arg(wanted)
        .arg(path);
}

bool AtomicFile::fail(Failure kind, const QString& message)
{
    m_failure = kind;
    m_error = message;
    discard();
    return false;
}

bool AtomicFile::open()
{
    if (const QString why = obstacle(m_finalPath); !why.isEmpty()) {
        return fail(Failure::InTheWay, why);
    }
    if (m_mode == Mode::NoReplace && occupied(m_finalPath)) {
        return fail(Failure::Exists, QStringLiteral("A file of this name already exists: %1").arg(m_finalPath));
    }
    m_written = 0;
    const mode_t perms = m_private ? 0600 : 0666;
    const QString folder = QFileInfo(m_finalPath).absolutePath();
    removeStaleParts(folder);
    if (!m_workPath.isEmpty()) {
        return openWorkFile(folder);
    }
    int err = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString path = folder + u'/' + drawnName();
        m_fd = ::open(QFile::encodeName(path).constData(), kCreateFlags, perms);
        if (m_fd >= 0) {
            m_tempPath = path;
            return true;
        }
        err = errno;
        if (err != EEXIST) {
            break; // a name clash with another writer draws again; anything else is final
        }
    }
    return fail(isDiskFull(err) ? Failure::DiskFull : Failure::Other,
                QStringLiteral("%1: %2").arg(m_finalPath, describeErrno(err)));
}

bool AtomicFile::openWorkFile(const QString& folder)
{
    // The work name only ever names a locked file: a hidden file is made and
    // locked first and then given the work name. A work file nobody holds
    // was left by a run that no longer exists and is removed; one that is
    // held belongs to a running writer and stops this one.
    const QByteArray work = QFile::encodeName(m_workPath);
    const auto inUse = [this] {
        return fail(Failure::Exists, QStringLiteral("A file of this name already exists: %1").arg(m_workPath));
    };
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QByteArray hidden = QFile::encodeName(folder + u'/' + drawnName());
        const int fd = ::open(hidden.constData(), kCreateFlags, m_private ? 0600 : 0666);
        if (fd < 0) {
            const int err = errno;
            return fail(isDiskFull(err) ? Failure::DiskFull : Failure::Other,
                        QStringLiteral("%1: %2").arg(m_workPath, describeErrno(err)));
        }
        ::flock(fd, LOCK_EX | LOCK_NB);
        const int linked = ::link(hidden.constData(), work.constData()) == 0 ? 0 : errno;
        ::unlink(hidden.constData());
        if (linked == 0) {
            m_fd = fd;
            m_tempPath = m_workPath;
            return true;
        }
        ::close(fd);
        if (linked == EPERM || linked == EOPNOTSUPP) {
            // No hard links here (a FAT stick, some shares): created under
            // its name and locked at once.
            if (!removeAbandonedWorkFile(work)) {
                return inUse();
            }
            m_fd = ::open(work.constData(), kCreateFlags, m_private ? 0600 : 0666);
            if (m_fd < 0) {
                const int err = errno;
                return err == EEXIST ? inUse()
                                     : fail(Failure::Other, QStringLiteral("%1: %2").arg(m_workPath, describeErrno(err)));
            }
            ::flock(m_fd, LOCK_EX | LOCK_NB);
            m_tempPath = m_workPath;
            return true;
        }
        if (linked != EEXIST) {
            return fail(isDiskFull(linked) ? Failure::DiskFull : Failure::Other,
                        QStringLiteral("%1: %2").arg(m_workPath, describeErrno(linked)));
        }
        if (!removeAbandonedWorkFile(work)) {
            return inUse();
        }
    }
    return inUse();
}

bool AtomicFile::write(QByteArrayView bytes)
{
    if (m_fd < 0) {
        return fail(Failure::Other, m_error.isEmpty() ? QStringLiteral("The file is not open.") : m_error);
    }
    const char* p = bytes.data();
    qint64 left = bytes.size();
    while (left > 0) {
        // With SIGXFSZ ignored, a file-size limit comes back here as a short
        // count or EFBIG, as a full disk does.
        const ssize_t n = ::write(m_fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            if (isDiskFull(err)) {
                // The figures are the whole file's, not this piece's.
                const qint64 done = m_written + (bytes.size() - left);
                const qint64 wanted = std::max(m_expected, m_written + qint64(bytes.size()));
                return fail(Failure::DiskFull, m_expected > 0 ? shortWriteMessage(done, wanted, m_finalPath)
                                                              : shortWriteMessage(done, -1, m_finalPath));
            }
            return fail(Failure::Other, QStringLiteral("%1: %2").arg(m_finalPath, describeErrno(err)));
        }
        p += n;
        left -= n;
    }
    m_written += bytes.size();
    return true;
}

bool AtomicFile::commit()
{
    if (m_fd < 0) {
        return fail(Failure::Other, m_error.isEmpty() ? QStringLiteral("The file is not open.") : m_error);
    }
    // The content must be on disk before the name says the file is whole.
    if (m_sync && ::fsync(m_fd) != 0 && errno != EINVAL) {
        const int err = errno;
        return fail(isDiskFull(err) ? Failure::DiskFull : Failure::Other,
                    QStringLiteral("%1: %2").arg(m_finalPath, describeErrno(err)));
    }
    const QByteArray from = QFile::encodeName(m_tempPath);
    const QByteArray to = QFile::encodeName(m_finalPath);
    if (m_mode == Mode::Replace) {
        // Looked at again now: the name may have changed since open().
        if (const QString why = obstacle(m_finalPath); !why.isEmpty()) {
            return fail(Failure::InTheWay, why);
        }
        // The new content keeps at most the read and write bits of the file
        // it replaces; execute, setuid, setgid and sticky bits never pass on.
        struct stat st;
        if (!m_private && ::lstat(to.constData(), &st) == 0 && ::fchmod(m_fd, st.st_mode & 0666) != 0) {
            return fail(Failure::Other, QStringLiteral("%1: %2").arg(m_tempPath, describeErrno(errno)));
        }
    }
    // A work file of a fixed name keeps its lock until it has its final
    // name, so no other run takes it for abandoned in between.
    const bool keepLock = !m_workPath.isEmpty();
    if (!keepLock) {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            const int err = errno;
            return fail(isDiskFull(err) ? Failure::DiskFull : Failure::Other,
                        QStringLiteral("%1: %2").arg(m_finalPath, describeErrno(err)));
        }
    }
    if (m_mode == Mode::Replace) {
        // rename() replaces the name itself: a link that appeared meanwhile
        // is replaced, never written through.
        if (std::rename(from.constData(), to.constData()) != 0) {
            return fail(Failure::Other, QStringLiteral("%1: %2").arg(m_finalPath, describeErrno(errno)));
        }
    } else if (const int err = renameNoReplace(from, to); err != 0) {
        if (err == EEXIST) {
            const QString why = obstacle(m_finalPath);
            return why.isEmpty() ? fail(Failure::Exists,
                                        QStringLiteral("A file of this name already exists: %1").arg(m_finalPath))
                                 : fail(Failure::InTheWay, why);
        }
        return fail(Failure::Other, QStringLiteral("%1: %2").arg(m_finalPath, describeErrno(err)));
    }
    m_tempPath.clear();
    if (keepLock) {
        ::close(m_fd);
        m_fd = -1;
    }
    return true;
}

void AtomicFile::discard()
{
    // The name goes before the descriptor: a locked work file is never
    // nobody's while it still carries its name.
    if (!m_tempPath.isEmpty()) {
        ::unlink(QFile::encodeName(m_tempPath).constData());
        m_tempPath.clear();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

Result<> AtomicFile::writeWhole(const QString& finalPath, QByteArrayView bytes, Mode mode, Sync sync, bool ownerOnly)
{
    AtomicFile file(finalPath, mode);
    file.setSync(sync == Sync::Yes);
    file.setExpectedSize(bytes.size());
    file.setPrivate(ownerOnly);
    if (file.open() && file.write(bytes) && file.commit()) {
        return {};
    }
    const QString& error = file.errorString();
    return Fail(error.contains(finalPath) ? error : QStringLiteral("%1: %2").arg(finalPath, error));
}

} // namespace tolvan
