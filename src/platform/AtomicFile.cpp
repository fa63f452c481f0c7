#include "platform/AtomicFile.h"

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

// Gives the temporary file its final name unless that name is taken. Falls
// back to link-and-unlink where the file system lacks the atomic flag.
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
    // Neither flag nor hard links (FAT media): a plain rename after a look.
    struct stat st;
    if (::lstat(to.constData(), &st) == 0) {
        return EEXIST;
    }
    return std::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

} // namespace

AtomicFile::AtomicFile(QString finalPath, Mode mode)
    : m_finalPath(std::move(finalPath))
    , m_mode(mode)
{
}

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::fail(const QString& message)
{
    m_error = message;
    discard();
    return false;
}

bool AtomicFile::open()
{
    const QFileInfo target(m_finalPath);
    const QString folder = target.absolutePath();
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name =
            QStringLiteral(".tolvan-%1.part").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        m_file.setFileName(folder + u'/' + name);
        // Unbuffered, so a short write (a full disk, a size limit) comes back as
        // a short count here; a buffered flush would report it as success.
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            m_tempPath = m_file.fileName();
            return true;
        }
        if (QFileInfo::exists(m_file.fileName())) {
            continue; // a name clash with another writer: draw again
        }
        break;
    }
    return fail(m_file.errorString());
}

bool AtomicFile::write(QByteArrayView bytes)
{
    if (m_tempPath.isEmpty()) {
        return fail(QStringLiteral("The file is not open."));
    }
    if (bytes.isEmpty()) {
        return true;
    }
    const qint64 written = m_file.write(bytes.data(), bytes.size());
    if (written != bytes.size()) {
        if (written < 0 || m_file.error() != QFileDevice::NoError) {
            return fail(m_file.errorString());
        }
        return fail(QStringLiteral("Only %1 of %2 bytes could be written to %3: the disk may be full.")
                        .arg(written)
                        .arg(bytes.size())
                        .arg(m_finalPath));
    }
    return true;
}

bool AtomicFile::commit()
{
    if (m_tempPath.isEmpty()) {
        return fail(m_error.isEmpty() ? QStringLiteral("The file is not open.") : m_error);
    }
    if (!m_file.flush()) {
        return fail(m_file.errorString());
    }
    // The content must be on disk before the name says the file is whole.
    if (::fsync(m_file.handle()) != 0 && errno != EINVAL) {
        return fail(describeErrno(errno));
    }
    m_file.close();
    if (m_file.error() != QFileDevice::NoError) {
        return fail(m_file.errorString());
    }
    const QByteArray from = QFile::encodeName(m_tempPath);
    const QByteArray to = QFile::encodeName(m_finalPath);
    if (m_mode == Mode::Replace) {
        // The new content keeps the permissions of the file it replaces.
        struct stat st;
        if (::stat(to.constData(), &st) == 0) {
            ::chmod(from.constData(), st.st_mode & 07777);
        }
        if (std::rename(from.constData(), to.constData()) != 0) {
            return fail(describeErrno(errno));
        }
    } else if (const int err = renameNoReplace(from, to); err != 0) {
        return fail(err == EEXIST ? QStringLiteral("A file of this name already exists: %1").arg(m_finalPath)
                                  : describeErrno(err));
    }
    m_tempPath.clear();
    return true;
}

void AtomicFile::discard()
{
    if (m_file.isOpen()) {
        m_file.close();
    }
    if (!m_tempPath.isEmpty()) {
        QFile::remove(m_tempPath);
        m_tempPath.clear();
    }
}

QString AtomicFile::writeWhole(const QString& finalPath, QByteArrayView bytes, Mode mode)
{
    AtomicFile file(finalPath, mode);
    if (file.open() && file.write(bytes) && file.commit()) {
        return {};
    }
    return file.errorString();
}

} // namespace tolvan
