#include "sevenplus/Mod7plusFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tolvan::Mod7plus {

QString Hex2(int n)
{
    return QStringLiteral("%1").arg(n, 2, 16, QLatin1Char('0')).toUpper();
}

QString FindNoCase(const QString& folder, const QString& name)
{
    const QString dir = detail::withSlash(folder);
    if (QFileInfo(dir + name).isFile()) {
        return dir + name;
    }
    const QString hit = detail::matchNoCase(detail::filesIn(dir), name);
    return hit.isEmpty() ? QString() : dir + hit;
}

namespace detail {

void throwError(int number, const QString& description)
{
    throw SevenPlusError(number, description);
}

void throwFileError(const QFileDevice& file)
{
    // Numbers as the operator knows them from other station software.
    int number = 75;
    switch (file.error()) {
    case QFileDevice::ReadError:
    case QFileDevice::WriteError:
    case QFileDevice::ResizeError:
        number = 57;
        break;
    case QFileDevice::PermissionsError:
        number = 70;
        break;
    case QFileDevice::RenameError:
    case QFileDevice::RemoveError:
    case QFileDevice::CopyError:
        number = 58;
        break;
    default:
        break;
    }
    throw SevenPlusError(number, file.errorString());
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

QString matchNoCase(const QStringList& names, const QString& name)
{
    if (names.contains(name)) {
        return name;
    }
    for (const QString& n : names) {
        if (n.compare(name, Qt::CaseInsensitive) == 0) {
            return n;
        }
    }
    return {};
}

QString withSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString ensureSubFolder(const QString& folderWithSlash, const QString& name)
{
    const QString exact = folderWithSlash + name;
    if (QFileInfo(exact).isDir()) {
        return exact;
    }
    const QStringList dirs = QDir(folderWithSlash).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& d : dirs) {
        if (d.compare(name, Qt::CaseInsensitive) == 0) {
            return folderWithSlash + d;
        }
    }
    if (!QDir().mkdir(exact)) {
        throwError(75, QStringLiteral("Unable to create folder %1").arg(exact));
    }
    return exact;
}

void writeWhole(const QString& path, const QByteArray& bytes)
{
    // The bytes go to a new hidden file in the same folder, made with
    // O_EXCL so it can be no file or link that was there before, in one
    // write; a rename then puts it in place whole, and a failure on the way
    // removes it. The new file gets the permissions any new file of this
    // user gets, so the packet program can read it. No sync to disk per part:
    // a set of 255 parts would otherwise wait on the disk 255 times.
    const QByteArray target = QFile::encodeName(path);
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = target.left(slash + 1);
    const QByteArray name = target.mid(slash + 1);
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = folder + '.' + name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 16) + ".tmp";
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        const int err = errno;
        throwError(err == EACCES || err == EPERM ? 70 : 75,
                   QStringLiteral("Unable to write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err))));
    }
    const ssize_t written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    const int writeErr = errno;
    const int closed = ::close(fd);
    const int closeErr = errno;
    if (written != bytes.size() || closed != 0) {
        ::unlink(temp.constData());
        if (written >= 0 && written < bytes.size()) {
            throwError(61, QStringLiteral("Disk full: only part of %1 could be written").arg(path));
        }
        throwError(57, QString::fromLocal8Bit(std::strerror(written < 0 ? writeErr : closeErr)));
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        throwError(75, QStringLiteral("Unable to write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err))));
    }
}

} // namespace detail
} // namespace tolvan::Mod7plus
