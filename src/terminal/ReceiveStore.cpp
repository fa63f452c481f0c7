#include "terminal/ReceiveStore.h"

#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/ReceivedName.h"
#include "pmba/FileMail.h"
#include "terminal/FreeName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvan {

// The file mail is the largest file any reader of this station takes in.
const qint64 ReceiveStore::kLargestFile = FileMail::kMaxFileMailBytes;

namespace {

const QString kPartialPrefix = QStringLiteral(".tolvan-yapp-");
const QString kPartialSuffix = QStringLiteral(".part");
const QString kInfoSuffix = QStringLiteral(".info");
const QString kDoneSuffix = QStringLiteral(".done");

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool isDiskFull(int err)
{
    return err == ENOSPC || err == EFBIG || err == EDQUOT;
}

// "size NUL date" as remembered beside a partial file.
QByteArray infoContent(qint64 size, const QByteArray& date)
{
    return QByteArray::number(size) + '\n' + date + '\n';
}

QByteArray readSmall(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.read(8192);
}

} // namespace

ReceiveStore::ReceiveStore(QString receiveFolder, const Clock* clock, qint64 largestFile)
    : m_folder(std::move(receiveFolder))
    , m_clock(clock)
    , m_largest(largestFile)
{
    expire();
}

ReceiveStore::~ReceiveStore()
{
    keepForResume();
}

QDateTime ReceiveStore::now() const
{
    return m_clock ? m_clock->now() : QDateTime::currentDateTime();
}

QString ReceiveStore::partialPath(const QString& fromCall, const QString& name) const
{
    return m_folder + u'/' + kPartialPrefix + fromCall.toUpper() + u'-' + name + kPartialSuffix;
}

QString ReceiveStore::infoPath(const QString& partial)
{
    return partial + kInfoSuffix;
}

QString ReceiveStore::donePath(const QString& partial)
{
    return partial.chopped(kPartialSuffix.size()) + kDoneSuffix;
}

void ReceiveStore::expire()
{
    const QDateTime limit = now().addSecs(-kKeepPartialSeconds);
    const QDir dir(m_folder);
    const QFileInfoList entries =
        dir.entryInfoList({kPartialPrefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& info : entries) {
        const QString path = info.absoluteFilePath();
        if (path == m_partial || path == infoPath(m_partial)) {
            continue;
        }
        if (path.endsWith(kPartialSuffix) || path.endsWith(kDoneSuffix)) {
            if (info.lastModified() < limit) {
                QFile::remove(path);
                QFile::remove(infoPath(path));
            }
        } else if (path.endsWith(kPartialSuffix + kInfoSuffix) && !QFileInfo::exists(path.chopped(kInfoSuffix.size()))) {
            QFile::remove(path); // its partial file is gone
        }
    }
}

Result<qint64> ReceiveStore::begin(const QString& fromCall, const QString& name, qint64 size, bool resume,
                                   const QByteArray& senderDate)
{
    keepForResume();
    expire();
    if (const QString why = ReceivedName::Problem(name); !why.isEmpty()) {
        return Fail(QStringLiteral("The file name \"%1\" is refused: %2.").arg(name, why));
    }
    // A hidden name would never be announced, and could pass for a partial file.
    if (name.startsWith(u'.')) {
        return Fail(QStringLiteral("The file name \"%1\" is refused: it begins with a dot.").arg(name));
    }
    if (!ReceivedName::Problem(fromCall).isEmpty()) {
        return Fail(QStringLiteral("The sending station's call \"%1\" cannot name a file.").arg(fromCall));
    }
    if (size < 0) {
        return Fail(QStringLiteral("The size of \"%1\" is not a size.").arg(name));
    }
    if (size > m_largest) {
        return Fail(QStringLiteral("\"%1\" is %2 bytes long; the largest file accepted is %3 bytes.")
                        .arg(name)
                        .arg(size)
                        .arg(m_largest));
    }
    const QString partial = partialPath(fromCall, name);
    const QByteArray info = infoContent(size, senderDate);
    const QByteArray encoded = QFile::encodeName(partial);

    // The same file from the same station, received whole a little while ago.
    if (resume && !senderDate.isEmpty()) {
        const QByteArray done = readSmall(donePath(partial));
        if (done.startsWith(info)) {
            const QString earlier = QFile::decodeName(done.mid(info.size()).chopped(1));
            const QFileInfo earlierInfo(earlier);
            if (!earlier.isEmpty() && earlierInfo.isFile() && earlierInfo.size() == size) {
                m_from = fromCall.toUpper();
                m_name = name;
                m_already = earlier;
                m_size = size;
                m_held = size;
                return size;
            }
        }
    }

    qint64 held = 0;
    struct stat st;
    const bool exists = ::lstat(encoded.constData(), &st) == 0;
    if (exists && S_ISREG(st.st_mode) && resume && st.st_size <= size && readSmall(infoPath(partial)) == info) {
        held = st.st_size;
    } else if (exists) {
        // Another file of that name, or one that changed at the sender: start over.
        QFile::remove(partial);
    }
    const int flags = O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | (held == 0 ? O_TRUNC : 0);
    const int fd = ::open(encoded.constData(), flags, 0666);
    if (fd < 0) {
        const int err = errno;
        return Fail(QStringLiteral("\"%1\" cannot be written in %2: %3").arg(name, m_folder, errnoText(err)));
    }
    if (held == 0) {
        if (const Result<> written = AtomicFile::writeWhole(infoPath(partial), info, AtomicFile::Mode::Replace,
                                                            AtomicFile::Sync::No);
            !written.ok()) {
            ::close(fd);
            QFile::remove(partial);
            return Fail(QStringLiteral("\"%1\" cannot be written: %2").arg(name, written.error()));
        }
    }
    m_fd = fd;
    m_info = info;
    m_from = fromCall.toUpper();
    m_name = name;
    m_partial = partial;
    m_size = size;
    m_held = held;
    return held;
}

Result<> ReceiveStore::write(QByteArrayView bytes)
{
    if (m_fd < 0) {
        return Fail(QStringLiteral("No file is being received."));
    }
    if (m_held + bytes.size() > m_size) {
        const QString name = m_name;
        const qint64 size = m_size;
        removeCurrent();
        return Fail(QStringLiteral("The sender sent more than the %1 bytes it announced for \"%2\".")
                        .arg(size)
                        .arg(name));
    }
    const char* p = bytes.data();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            const QString message = isDiskFull(err)
                ? AtomicFile::shortWriteMessage(m_held + bytes.size() - left, m_size, m_partial)
                : QStringLiteral("%1: %2").arg(m_partial, errnoText(err));
            removeCurrent();
            return Fail(message);
        }
        p += n;
        left -= n;
        m_held += n;
    }
    return {};
}

Result<QString> ReceiveStore::finish()
{
    if (!m_already.isEmpty()) {
        const QString earlier = m_already;
        closeCurrent();
        return earlier;
    }
    if (m_fd < 0) {
        return Fail(QStringLiteral("No file is being received."));
    }
    struct stat st;
    const bool stated = ::fstat(m_fd, &st) == 0;
    if (!stated || st.st_size != m_size || m_held != m_size) {
        const QString message = QStringLiteral("\"%1\" ended after %2 of the %3 bytes announced.")
                                    .arg(m_name)
                                    .arg(stated ? qint64(st.st_size) : m_held)
                                    .arg(m_size);
        removeCurrent();
        return Fail(message);
    }
    // On disk before its name says it is whole.
    if (::fsync(m_fd) != 0 && errno != EINVAL) {
        const int err = errno;
        const QString message = QStringLiteral("%1: %2").arg(m_partial, errnoText(err));
        removeCurrent();
        return Fail(message);
    }
    ::close(m_fd);
    m_fd = -1;
    const Result<QString> moved = MoveUnderFreeName(m_partial, m_folder, m_name);
    if (!moved.ok()) {
        removeCurrent();
        return moved.failure();
    }
    // The note that lets a repeated offer of this file be recognised.
    const QByteArray note = m_info + QFile::encodeName(moved.value()) + '\n';
    if (m_info.contains("\n\n") ||
        !AtomicFile::writeWhole(donePath(m_partial), note, AtomicFile::Mode::Replace, AtomicFile::Sync::No).ok()) {
        // No date to tell this file from another of the same name and size
        // (an empty date leaves an empty line), or no room: no note.
        QFile::remove(donePath(m_partial));
    }
    QFile::remove(infoPath(m_partial));
    m_partial.clear();
    return moved.value();
}

void ReceiveStore::keepForResume()
{
    closeCurrent();
}

void ReceiveStore::discard()
{
    removeCurrent();
}

void ReceiveStore::closeCurrent()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_partial.clear();
    m_already.clear();
}

void ReceiveStore::removeCurrent()
{
    const QString partial = m_partial;
    closeCurrent();
    if (!partial.isEmpty()) {
        QFile::remove(partial);
        QFile::remove(infoPath(partial));
    }
}

} // namespace tolvan
