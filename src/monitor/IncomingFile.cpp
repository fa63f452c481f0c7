#include "monitor/IncomingFile.h"

#include "monitor/ReceiveRouting.h"
#include "pmba/ModPMBA.h"
#include "sevenplus/Mod7plus.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvan::IncomingFile {

namespace {

// Enough of a text file to tell its kind of content; the rest is not read.
constexpr qint64 kHeadBytes = 64 * 1024;

bool readInt32(QFile& file, qint32& value)
{
    char raw[4];
    if (file.read(raw, 4) != 4) {
        return false;
    }
    value = qFromLittleEndian<qint32>(raw);
    return true;
}

// Walks the length fields of a PMBA mail: true once the file holds every
// byte they announce. Lengths that make no sense are the decoder's to report.
bool pmbaWhole(QFile& file)
{
    const qint64 size = file.size();
    qint64 end = 12; // signature field and version
    if (!file.seek(end)) {
        return false;
    }
    for (int field = 0; field < 5; ++field) {
        qint32 n = 0;
        if (!readInt32(file, n)) {
            return false;
        }
        if (n < 0 || n > ModPMBA::kMaxTextField) {
            return true;
        }
        end += 4 + n;
        if (end > size || !file.seek(end)) {
            return false;
        }
    }
    qint32 dataSize = 0;
    if (!readInt32(file, dataSize)) {
        return false;
    }
    if (dataSize < 1) {
        return true;
    }
    return size >= end + 4 + dataSize + 4;
}

bool onlyOf(QByteArrayView text, bool (*allowed)(char))
{
    for (const char c : text) {
        if (!allowed(c) && c != '\r' && c != '\n') {
            return false;
        }
    }
    return true;
}

bool codedMailChar(char c)
{
    return (c >= '0' && c <= '9') || c == ' ' || c == ',';
}

bool base64Char(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
           c == '=';
}

// Opens path for a look without waiting on a FIFO's writer and without
// following a link: false for anything but a regular file, which its reader
// then names.
bool openRegular(QFile& file, const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

} // namespace

bool FormatComplete(const QString& path)
{
    QFile file;
    if (!openRegular(file, path)) {
        return true;
    }
    const QByteArray head = file.read(kHeadBytes);
    if (head.size() >= 8 && qFromLittleEndian<qint32>(head.constData()) == 4 && head.mid(4, 4) == "PMBA") {
        return pmbaWhole(file);
    }
    const ReceiveRouting::Kind kind = ReceiveRouting::Classify(QFileInfo(path).fileName(), head);
    // A coded mail line and a regular file mail's Base64 text both end in
    // CR LF; one that does not end so yet is still being written.
    const bool lineText = (kind == ReceiveRouting::Kind::Mail && onlyOf(head, codedMailChar)) ||
                          (kind == ReceiveRouting::Kind::FileMail && onlyOf(head, base64Char));
    if (!lineText) {
        return true;
    }
    if (file.size() == 0) {
        return false;
    }
    char last = 0;
    return file.seek(file.size() - 1) && file.read(&last, 1) == 1 && last == '\n';
}

QString Kind(const QString& path)
{
    if (ModPMBA::IsPMBAFile(path)) {
        return QStringLiteral("pmba");
    }
    // Checked before the words: a part named after a file called "profile"
    // would otherwise pass for a file mail.
    if (Mod7plus::Read7PlusHeader(path).ok()) {
        return QStringLiteral("sevenplus-part");
    }
    // The words are looked for in the first bytes only: a file of any size
    // (a sparse one of gigabytes) costs one small read.
    QFile file;
    const QByteArray head = openRegular(file, path) ? file.read(kHeadBytes) : QByteArray();
    switch (ReceiveRouting::Classify(QFileInfo(path).fileName(), head)) {
    case ReceiveRouting::Kind::Mail:
        return QStringLiteral("mail");
    case ReceiveRouting::Kind::FileMail:
        return QStringLiteral("filemail");
    case ReceiveRouting::Kind::Unrecognized:
        break;
    }
    return QStringLiteral("unknown");
}

} // namespace tolvan::IncomingFile
