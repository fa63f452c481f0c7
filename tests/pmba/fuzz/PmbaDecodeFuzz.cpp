// libFuzzer harness for the two readers of received files: the PMBA mail and
// the regular file mail, from their bytes to the attachment written on disk.
// Any input must end in a result or a refusal, never a crash, a hang or a
// leak. An accepted mail's attachment must appear whole inside the output
// folder under its own name, and nothing else may be left there; a refused
// one leaves the folder empty.
//
// Each input is read as it stands, and also "sealed": a PMBA mail gets the
// CRC-32 of its data, and input with five commas is wrapped into a file mail
// (fields, then the rest as the carried file), so the fuzzer reaches the
// writers instead of stopping at the checksum or the Base64.

#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdint>
#include <cstdlib>
#include <optional>

using namespace tolvan;

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

struct Folders {
    QTemporaryDir root;
    QString in = root.path() + QStringLiteral("/in");
    QString out = root.path() + QStringLiteral("/out");
    Folders()
    {
        QDir().mkpath(in);
        QDir().mkpath(out);
    }
};

Folders& folders()
{
    static Folders f;
    return f;
}

QStringList leftIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The file must hold exactly data and be the only entry of the output folder.
void requireOnlyFile(const QString& path, const QByteArray& data)
{
    const QString folder = folders().out;
    require(path.startsWith(folder + u'/') && !path.mid(folder.size() + 1).contains(u'/'));
    QFile f(path);
    require(f.open(QIODevice::ReadOnly));
    require(f.readAll() == data);
    require(leftIn(folder).size() == 1);
    QFile::remove(path);
}

std::optional<qint32> readInt32(QIODevice& d)
{
    const QByteArray b = d.read(4);
    if (b.size() != 4) {
        return std::nullopt;
    }
    return qFromLittleEndian<qint32>(b.constData());
}

// The mail with its last four bytes replaced by the CRC-32 of the data the
// lengths point at, when the lengths lead up to a checksum at all.
std::optional<QByteArray> sealPmba(const QByteArray& bytes)
{
    QBuffer b;
    b.setData(bytes);
    b.open(QIODevice::ReadOnly);
    if (!ModPMBA::PMBA_ReadText(b).ok() || !readInt32(b)) {
        return std::nullopt;
    }
    for (int i = 0; i < 5; ++i) {
        if (!ModPMBA::PMBA_ReadText(b).ok()) {
            return std::nullopt;
        }
    }
    const std::optional<qint32> size = readInt32(b);
    if (!size || *size <= 0 || b.pos() + *size + 4 > bytes.size()) {
        return std::nullopt;
    }
    QByteArray sealed = bytes.left(b.pos() + *size + 4);
    const quint32 crc = ModPMBA::PMBA_Crc32(QByteArrayView(sealed).sliced(b.pos(), *size));
    qToLittleEndian(crc, sealed.data() + sealed.size() - 4);
    return sealed;
}

void checkPmba(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const Result<ModPMBA::ParsedMail> parsed = ModPMBA::PMBA_ParseMail(buffer);
    if (!parsed.ok()) {
        require(!parsed.error().isEmpty()); // every refusal says why
        return;
    }
    require(!parsed->data.isEmpty()); // a mail always carries at least one byte

    const QString mailPath = folders().in + QStringLiteral("/mail.pmb");
    {
        QFile f(mailPath);
        require(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size());
    }
    const Result<ModPMBA::DecodedPmbaMail> decoded = ModPMBA::PMBA_DecodeBinaryMail(mailPath, folders().out);
    if (decoded.ok()) {
        require(decoded->to == parsed->to && decoded->message == parsed->message);
        requireOnlyFile(decoded->attachmentPath, parsed->data);
    } else {
        require(decoded.box().has_value() && leftIn(folders().out).isEmpty());
    }
    QFile::remove(mailPath);
}

void checkFileMail(QByteArrayView content, const std::optional<QByteArray>& carried)
{
    const Result<FileMail::Mail> mail = FileMail::Parse(content);
    if (!mail.ok()) {
        require(mail.box().has_value());
        return;
    }
    require(ModPMBA::PMBA_IsValidFileName(mail->fileName) && !mail->fileName.contains(u'/'));
    if (carried) {
        require(mail->data == *carried);
    }
    const Result<FileMail::SavedFile> saved = FileMail::SaveCarriedFile(mail.value(), folders().out, true);
    if (saved.ok()) {
        requireOnlyFile(saved->path, mail->data);
    } else {
        require(saved.box().has_value() && leftIn(folders().out).isEmpty());
    }
}

// Five commas split the input into the mail's fields and the carried file.
std::optional<QByteArray> wrapFileMail(const QByteArray& bytes, QByteArray& carried)
{
    qsizetype at = -1;
    for (int i = 0; i < 5; ++i) {
        at = bytes.indexOf(',', at + 1);
        if (at < 0) {
            return std::nullopt;
        }
    }
    carried = bytes.mid(at + 1);
    // Standard Base64 on one line, as the senders write it.
    const QByteArray inner = bytes.left(at + 1) + carried.toBase64();
    return inner.toBase64() + "\r\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    checkPmba(bytes);
    if (const std::optional<QByteArray> sealed = sealPmba(bytes); sealed && *sealed != bytes) {
        checkPmba(*sealed);
    }

    checkFileMail(bytes, std::nullopt);
    QByteArray carried;
    if (const std::optional<QByteArray> wrapped = wrapFileMail(bytes, carried)) {
        checkFileMail(*wrapped, carried);
    }
    require(leftIn(folders().in).isEmpty());
    return 0;
}
