#include "platform/SafeFile.h"

#include "platform/AtomicFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvan::SafeFile {

namespace {

QString reason(const QString& path, int err)
{
    return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err)));
}

// Writes everything or reports the errno of the failing write; `written`
// tells how far it came.
int writeAll(int fd, const QByteArray& bytes, qsizetype& written)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    written = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return ENOSPC;
        }
        p += n;
        left -= n;
        written += n;
    }
    return 0;
}

} // namespace

Result<> replace(const QString& path, const QByteArray& bytes)
{
    return AtomicFile::writeWhole(path, bytes, AtomicFile::Mode::Replace);
}

Result<> append(const QString& path, const QByteArray& bytes)
{
    // A link or anything but a regular file at the name is refused: the line
    // would otherwise land wherever the link points.
    if (const QString why = AtomicFile::obstacle(path); !why.isEmpty()) {
        return Fail(why);
    }
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int err = errno;
        const QString why = err == ELOOP ? AtomicFile::obstacle(path) : QString();
        return Fail(why.isEmpty() ? reason(path, err) : why);
    }
    qsizetype written = 0;
    int err = writeAll(fd, bytes, written);
    if (::close(fd) != 0 && err == 0 && errno != EINTR) {
        err = errno;
    }
    if (err == ENOSPC || err == EFBIG || err == EDQUOT) {
        return Fail(AtomicFile::shortWriteMessage(written, bytes.size(), path));
    }
    if (err != 0) {
        return Fail(reason(path, err));
    }
    return {};
}

Result<> replacePrivate(const QString& path, const QByteArray& bytes)
{
    return AtomicFile::writeWhole(path, bytes, AtomicFile::Mode::Replace, AtomicFile::Sync::Yes, true);
}

namespace {

QString kindOfMode(mode_t mode)
{
    if (S_ISREG(mode)) {
        return {};
    }
    if (S_ISLNK(mode)) {
        return QStringLiteral("a symbolic link");
    }
    if (S_ISDIR(mode)) {
        return QStringLiteral("a folder");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("a FIFO (named pipe)");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("a socket");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return QStringLiteral("a device");
    }
    return QStringLiteral("not a regular file");
}

QString notRead(const QString& path, const QString& kind)
{
    return QStringLiteral("%1 is %2, not a regular file; it is not read.").arg(path, kind);
}

bool sameMoment(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

QString NonRegularKind(const QString& path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        return {};
    }
    return kindOfMode(st.st_mode);
}

Reader::~Reader()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Result<> Reader::open(const QString& path, qint64 maxBytes, Links links)
{
    m_path = path;
    m_limit = maxBytes;
    m_done = 0;
    m_counted = false;
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking: opening a FIFO for reading waits for a writer otherwise.
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (links == Links::Refuse) {
        flags |= O_NOFOLLOW;
    }
    const int fd = ::open(name.constData(), flags);
    if (fd < 0) {
        const int err = errno;
        if (err == ELOOP && links == Links::Refuse) {
            return Fail(notRead(path, QStringLiteral("a symbolic link")));
        }
        return Fail(reason(path, err));
    }
    if (::fstat(fd, &m_opened) != 0) {
        const int err = errno;
        ::close(fd);
        return Fail(reason(path, err));
    }
    if (const QString kind = kindOfMode(m_opened.st_mode); !kind.isEmpty()) {
        ::close(fd);
        return Fail(notRead(path, kind));
    }
    m_size = m_opened.st_size;
    if (maxBytes >= 0 && m_size > maxBytes) {
        ::close(fd);
        return Fail(QStringLiteral("%1 is %2 bytes long; at most %3 bytes are read from such a file.")
                        .arg(path)
                        .arg(m_size)
                        .arg(maxBytes));
    }
    m_fd = fd;
    return {};
}

qint64 Reader::read(char* buffer, qint64 max)
{
    if (m_fd < 0) {
        m_error = QStringLiteral("%1: the file is not open.").arg(m_path);
        return -1;
    }
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, static_cast<size_t>(max));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            m_error = reason(m_path, errno);
            return -1;
        }
        m_done += n;
        m_counted = true;
        if (m_limit >= 0 && m_done > m_limit) {
            m_error =
                QStringLiteral("%1 grew beyond %2 bytes while it was read; it is not read.").arg(m_path).arg(m_limit);
            return -1;
        }
        return n;
    }
}

Result<> Reader::finish()
{
    if (m_fd < 0) {
        return Fail(QStringLiteral("%1: the file is not open.").arg(m_path));
    }
    struct stat now;
    const bool looked = ::fstat(m_fd, &now) == 0;
    ::close(m_fd);
    m_fd = -1;
    // Written to while it was read: what was read may be part old, part new.
    if (!looked || now.st_size != m_opened.st_size || (m_counted && m_done != now.st_size) ||
        !sameMoment(now.st_mtim, m_opened.st_mtim)) {
        return Fail(QStringLiteral("%1 changed while it was read; read it again once it is complete.").arg(m_path));
    }
    return {};
}

Result<QByteArray> ReadWhole(const QString& path, qint64 maxBytes, Links links)
{
    Reader reader;
    if (Result<> opened = reader.open(path, maxBytes, links); !opened.ok()) {
        return opened.failure();
    }
    // One byte more than the size, so that growth shows as a change.
    QByteArray bytes(reader.size() + 1, Qt::Uninitialized);
    qint64 have = 0;
    for (;;) {
        if (have == bytes.size()) {
            bytes.resize(std::max<qint64>(bytes.size() * 2, 4096));
        }
        const qint64 n = reader.read(bytes.data() + have, bytes.size() - have);
        if (n < 0) {
            return Fail(reader.error());
        }
        if (n == 0) {
            break;
        }
        have += n;
    }
    bytes.truncate(have);
    if (Result<> done = reader.finish(); !done.ok()) {
        return done.failure();
    }
    return bytes;
}

Result<QByteArray> ReadHead(const QString& path, qint64 n, Links links)
{
    Reader reader;
    if (Result<> opened = reader.open(path, -1, links); !opened.ok()) {
        return opened.failure();
    }
    QByteArray bytes(std::min(n, reader.size()), Qt::Uninitialized);
    qint64 have = 0;
    while (have < bytes.size()) {
        const qint64 got = reader.read(bytes.data() + have, bytes.size() - have);
        if (got < 0) {
            return Fail(reader.error());
        }
        if (got == 0) {
            break;
        }
        have += got;
    }
    bytes.truncate(have);
    return bytes;
}

} // namespace tolvan::SafeFile
