#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvan {

namespace {

QString describeErrno(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool isDiskFull(int err)
{
    return err == ENOSPC || err == EFBIG || err == EDQUOT;
}

// Gives the temporary file its final name unless that name is taken (by a
// dangling link too). Falls back to link-and-unlink where the file system
// lacks the atomic flag; neither follows a link at the target.
int renameNoReplace(const QByteArray& from, const QByteArray& to)
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

} // namespace

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
    // O_EXCL refuses any existing name, a link included, so the temporary
    // file is always a new one of ours. Mode 0666 less the umask: no new file
    // is ever executable.
    constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    const mode_t perms = m_private ? 0600 : 0666;
    if (!m_workPath.isEmpty()) {
        m_fd = ::open(QFile::encodeName(m_workPath).constData(), flags, perms);
        if (m_fd < 0) {
            const int err = errno;
            return fail(err == EEXIST ? Failure::Exists : Failure::Other,
                        err == EEXIST ? QStringLiteral("A file of this name already exists: %1").arg(m_workPath)
                                      : QStringLiteral("%1: %2").arg(m_workPath, describeErrno(err)));
        }
        m_tempPath = m_workPath;
        return true;
    }
    const QString folder = QFileInfo(m_finalPath).absolutePath();
    int err = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString path =
            folder + u'/' +
            QStringLiteral(".tolvan-%1.part").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        m_fd = ::open(QFile::encodeName(path).constData(), flags, perms);
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
                return fail(Failure::DiskFull, shortWriteMessage(bytes.size() - left, bytes.size(), m_finalPath));
            }
            return fail(Failure::Other, QStringLiteral("%1: %2").arg(m_finalPath, describeErrno(err)));
        }
        p += n;
        left -= n;
    }
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
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        const int err = errno;
        return fail(isDiskFull(err) ? Failure::DiskFull : Failure::Other,
                    QStringLiteral("%1: %2").arg(m_finalPath, describeErrno(err)));
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
    return true;
}

void AtomicFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.isEmpty()) {
        ::unlink(QFile::encodeName(m_tempPath).constData());
        m_tempPath.clear();
    }
}

Result<> AtomicFile::writeWhole(const QString& finalPath, QByteArrayView bytes, Mode mode, Sync sync, bool ownerOnly)
{
    AtomicFile file(finalPath, mode);
    file.setSync(sync == Sync::Yes);
    file.setPrivate(ownerOnly);
    if (file.open() && file.write(bytes) && file.commit()) {
        return {};
    }
    const QString& error = file.errorString();
    return Fail(error.contains(finalPath) ? error : QStringLiteral("%1: %2").arg(finalPath, error));
}

} // namespace tolvan
