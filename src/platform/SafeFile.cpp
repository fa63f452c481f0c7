#include "platform/SafeFile.h"

#include <QFileInfo>

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
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName())
                      + QByteArray(".XXXXXX");
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return {false, reason(path, errno)};
    }
    // Keep the permissions of the file being replaced.
    struct stat st {};
    if (::stat(target.constData(), &st) == 0) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        ::fchmod(fd, 0644);
    }
    int err = writeAll(fd, bytes);
    if (err == 0 && ::fsync(fd) != 0) {
        err = errno;
    }
    if (::close(fd) != 0 && err == 0) {
        err = errno;
    }
    if (err == 0 && ::rename(temp.constData(), target.constData()) != 0) {
        err = errno;
    }
    if (err != 0) {
        ::unlink(temp.constData());
        return {false, reason(path, err)};
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
