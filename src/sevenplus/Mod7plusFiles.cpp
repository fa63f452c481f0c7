#include "sevenplus/Mod7plusFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sys/stat.h>

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
    // The bytes go to a temporary file in the same folder, which a rename then
    // puts in place whole; a failure on the way leaves only the temporary
    // file, and that is removed. No sync to disk per part: a set of 255 parts
    // would otherwise wait on the disk 255 times.
    QTemporaryFile out(path + QStringLiteral(".XXXXXX"));
    if (!out.open()) {
        throwFileError(out);
    }
    if (out.write(bytes) != bytes.size() || !out.flush()) {
        throwFileError(out);
    }
    // A flush can take a write cut short by a full disk for success; the
    // size on disk tells.
    if (QFileInfo(out.fileName()).size() != bytes.size()) {
        throwError(61, QStringLiteral("Disk full: only part of %1 could be written").arg(path));
    }
    // A temporary file is private to its owner; the part gets the permissions
    // any new file of this user would get, so the packet program can read it.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(out.handle(), 0666 & ~mask);
    out.close();
    if (::rename(QFile::encodeName(out.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        throwError(75, QStringLiteral("Unable to write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    out.setAutoRemove(false);
}

} // namespace detail
} // namespace tolvan::Mod7plus
