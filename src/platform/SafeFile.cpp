#include "platform/SafeFile.h"

#include "platform/AtomicFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

} // namespace tolvan::SafeFile
