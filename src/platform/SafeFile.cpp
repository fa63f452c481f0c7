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

// Writes everything or reports the errno of the failing write.
int writeAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return EIO;
        }
        p += n;
        left -= n;
    }
    return 0;
}

} // namespace

Result replace(const QString& path, const QByteArray& bytes)
{
    const QString error = AtomicFile::writeWhole(path, bytes, AtomicFile::Mode::Replace);
    if (!error.isEmpty()) {
        return {false, error.contains(path) ? error : QStringLiteral("%1: %2").arg(path, error)};
    }
    return {};
}

Result append(const QString& path, const QByteArray& bytes)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return {false, reason(path, errno)};
    }
    int err = writeAll(fd, bytes);
    if (::close(fd) != 0 && err == 0) {
        err = errno;
    }
    if (err != 0) {
        return {false, reason(path, err)};
    }
    return {};
}

} // namespace tolvan::SafeFile
