#include "sevenplus/Mod7plusFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

void throwWriteError(const AtomicFile& file)
{
    // 61 is the number stations know for a full disk.
    const int number = file.failure() == AtomicFile::Failure::DiskFull ? 61 : 75;
    throwError(number, file.errorString());
}

void writePart(const QString& path, const QByteArray& bytes)
{
    // The writer is kept (rather than AtomicFile::writeWhole) for its failure
    // kind, which gives the error number. No sync to disk per part: a set of
    // 255 parts would otherwise wait on the disk 255 times.
    AtomicFile out(path, AtomicFile::Mode::Replace);
    out.setSync(false);
    out.setExpectedSize(bytes.size());
    if (!out.open() || !out.write(bytes) || !out.commit()) {
        throwWriteError(out);
    }
}

PartsOfThisRun::~PartsOfThisRun()
{
    if (m_keep) {
        return;
    }
    for (const QString& path : m_paths) {
        QFile::remove(path);
    }
}

} // namespace detail
} // namespace tolvan::Mod7plus
