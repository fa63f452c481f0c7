#include "pmba/ModPMBA.h"

#include "platform/AnsiCodec.h"
#include "platform/AtomicFile.h"
#include "platform/ReceivedName.h"
#include "platform/SafeFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <limits>
#include <zlib.h>

namespace tolvan::ModPMBA {

namespace {

const QString kUnexpectedEnd = QStringLiteral("Unexpected end of the PMBA mail file.");

// Every failure has its box: a refusal of the operator's choice warns, a
// fault of the file or the disk is critical.
Failure fail(const QString& text, MsgIcon icon, const QString& title = {})
{
    return Fail(MessageBoxRequest{text, title, icon, MsgButtons::Ok, MsgAnswer::Ok});
}

Failure writeError(const QString& description)
{
    return fail(kWriteErrorPrefix + description, MsgIcon::Critical);
}

Failure parseFailure(const QString& text, const QString& title = {})
{
    return fail(text, MsgIcon::Critical, title);
}

// Errors raised while reading fields carry the decoder's prefix and title.
Failure readFailure(const QString& description)
{
    return parseFailure(kDecodingErrorPrefix + description, kTitle);
}

QByteArray int32Bytes(qint32 value)
{
    QByteArray out(4, Qt::Uninitialized);
    qToLittleEndian(value, out.data());
    return out;
}

bool writeInt32(QIODevice& file, qint32 value)
{
    return file.write(int32Bytes(value)) == 4;
}

// Whole 32-bit value, or nothing when fewer than four bytes are left.
std::optional<qint32> readInt32(QIODevice& file)
{
    const QByteArray bytes = file.read(4);
    if (bytes.size() != 4) {
        return std::nullopt;
    }
    return qFromLittleEndian<qint32>(bytes.constData());
}

qint64 bytesLeft(const QIODevice& file)
{
    return file.size() - file.pos();
}

} // namespace

quint32 PMBA_Crc32(QByteArrayView bytes)
{
    // zlib's CRC-32 is the IEEE 802.3 one (reflected EDB88320, FFFFFFFF in and out).
    return static_cast<quint32>(
        crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<z_size_t>(bytes.size())));
}

bool PMBA_WriteText(QIODevice& file, const QString& text)
{
    const QByteArray bytes = Ansi::encode(text);
    if (bytes.size() > std::numeric_limits<qint32>::max() || !writeInt32(file, static_cast<qint32>(bytes.size()))) {
        return false;
    }
    return bytes.isEmpty() || file.write(bytes) == bytes.size();
}

Result<QString> PMBA_ReadText(QIODevice& file)
{
    const std::optional<qint32> count = readInt32(file);
    if (!count) {
        return Fail(kUnexpectedEnd);
    }
    if (*count < 0 || *count > kMaxTextField) {
        return Fail(kInvalidTextLength);
    }
    if (*count == 0) {
        return QString();
    }
    if (*count > bytesLeft(file)) {
        return Fail(kIncompleteText);
    }
    const QByteArray bytes = file.read(*count);
    if (bytes.size() != *count) {
        return Fail(file.errorString());
    }
    return Ansi::decode(bytes);
}

bool PMBA_IsValidFileName(const QString& name)
{
    return ReceivedName::Problem(name).isEmpty();
}

bool IsPMBAFile(const QString& path)
{
    // Never through a link, never blocking on a FIFO.
    const Result<QByteArray> read = SafeFile::ReadHead(path, 8);
    const QByteArray& head = read.value();
    return read.ok() && head.size() == 8 && qFromLittleEndian<qint32>(head.constData()) == 4 && head.mid(4) == "PMBA";
}

namespace {

// The checks made before the attachment is read, and the header up to the
// attachment's size field. Shared by the writer and the size estimate, so
// both refuse the same attachments and texts with the same words.
Result<> prepareHeader(const QString& attachmentPath, const QString& to, const QString& from, const QString& subject,
                       const QString& message, QByteArray& header)
{
    const QFileInfo attachment(attachmentPath);
    // Hidden files count as absent, as in the attachment chooser.
    if (!attachment.isFile() || attachment.isHidden()) {
        return fail(QStringLiteral("PMBA: Attachment not found."), MsgIcon::Exclamation);
    }
    if (attachment.size() < 1) {
        return fail(QStringLiteral("PMBA: Attachment is empty."), MsgIcon::Exclamation);
    }
    if (attachment.size() > std::numeric_limits<qint32>::max()) {
        return writeError(QStringLiteral("The attachment is larger than a PMBA mail can carry (2,147,483,647 bytes)."));
    }
    const QString fileName = attachmentPath.mid(attachmentPath.lastIndexOf(u'/') + 1);
    // The receiving station refuses such a name, so the mail would be sent for nothing.
    if (const QString why = ReceivedName::SendProblem(fileName); !why.isEmpty()) {
        return fail(QStringLiteral("PMBA: Invalid attachment filename.\n"
                                   "The name \"%1\" cannot be sent: %2.")
                        .arg(ReceivedName::Shown(fileName), why),
                    MsgIcon::Exclamation);
    }

    QBuffer buffer(&header);
    buffer.open(QIODevice::WriteOnly);
    PMBA_WriteText(buffer, QStringLiteral("PMBA"));
    writeInt32(buffer, kVersion);
    for (const QString* text : {&to, &from, &subject, &message, &fileName}) {
        // A longer field would be refused by every reader.
        if (Ansi::encode(*text).size() > kMaxTextField) {
            return fail(QStringLiteral("PMBA: A text field is longer than 1,048,576 bytes."), MsgIcon::Exclamation);
        }
        PMBA_WriteText(buffer, *text);
    }
    return {};
}

} // namespace

Result<qint64> PMBA_MailSize(const QString& attachmentPath, const QString& to, const QString& from,
                             const QString& subject, const QString& message)
{
    QByteArray header;
    if (const Result<> prepared = prepareHeader(attachmentPath, to, from, subject, message, header); !prepared.ok()) {
        return prepared.failure();
    }
    // Header, the size field, the attachment, the checksum.
    return header.size() + 4 + QFileInfo(attachmentPath).size() + 4;
}

Result<qint64> PMBA_CreateBinaryMail(const QString& attachmentPath, const QString& outputPath, const QString& to,
                                     const QString& from, const QString& subject, const QString& message)
{
    QByteArray header;
    if (const Result<> prepared = prepareHeader(attachmentPath, to, from, subject, message, header); !prepared.ok()) {
        return prepared.failure();
    }

    QFile source(attachmentPath);
    if (!source.open(QIODevice::ReadOnly)) {
        return writeError(source.errorString());
    }
    const QByteArray data = source.readAll();
    if (source.error() != QFileDevice::NoError) {
        return writeError(source.errorString());
    }
    source.close();
    if (data.isEmpty()) {
        return fail(QStringLiteral("PMBA: Attachment is empty."), MsgIcon::Exclamation);
    }
    if (data.size() > std::numeric_limits<qint32>::max()) {
        return writeError(QStringLiteral("The attachment is larger than a PMBA mail can carry (2,147,483,647 bytes)."));
    }

    header += int32Bytes(static_cast<qint32>(data.size()));
    const QByteArray checksum = int32Bytes(static_cast<qint32>(PMBA_Crc32(data)));

    // The packet program transmits whatever lies in the send folder, so the
    // mail gets its name only when it is whole.
    AtomicFile out(outputPath, AtomicFile::Mode::NoReplace);
    out.setExpectedSize(header.size() + data.size() + checksum.size());
    if (!out.open() || !out.write(header) || !out.write(data) || !out.write(checksum) || !out.commit()) {
        return writeError(out.errorString());
    }
    return header.size() + data.size() + checksum.size();
}

Result<ParsedMail> PMBA_ParseMail(QIODevice& file)
{
    ParsedMail m;

    const Result<QString> signature = PMBA_ReadText(file);
    if (!signature.ok()) {
        return readFailure(signature.error());
    }
    if (signature.value() != u"PMBA") {
        return parseFailure(QStringLiteral("PMBA: Invalid binary file signature."));
    }
    const std::optional<qint32> version = readInt32(file);
    if (!version) {
        return readFailure(kUnexpectedEnd);
    }
    if (*version != kVersion) {
        return parseFailure(QStringLiteral("PMBA: Unsupported version."));
    }
    for (QString* text : {&m.to, &m.from, &m.subject, &m.message, &m.fileName}) {
        const Result<QString> field = PMBA_ReadText(file);
        if (!field.ok()) {
            return readFailure(field.error());
        }
        *text = field.value();
    }
    const std::optional<qint32> size = readInt32(file);
    if (!size) {
        return readFailure(kUnexpectedEnd);
    }
    if (*size <= 0) {
        return parseFailure(QStringLiteral("PMBA: Invalid attachment size."));
    }
    if (qint64(*size) + 4 > bytesLeft(file)) {
        return parseFailure(QStringLiteral("PMBA: Attachment data is incomplete."));
    }
    m.data = file.read(*size);
    if (m.data.size() != *size) {
        return readFailure(file.errorString());
    }
    const std::optional<qint32> stored = readInt32(file);
    if (!stored) {
        return readFailure(kUnexpectedEnd);
    }
    if (bytesLeft(file) != 0) {
        return parseFailure(QStringLiteral("PMBA: Unexpected data after checksum."));
    }
    // Stored as the unsigned value's bytes; the cast is the same as adding 2^32 to a negative reading.
    if (static_cast<quint32>(*stored) != PMBA_Crc32(m.data)) {
        return parseFailure(QStringLiteral("PMBA: CRC-32 CHECK FAILED!\nThe attachment may be corrupted."), kTitle);
    }
    return m;
}

Result<DecodedPmbaMail> PMBA_DecodeBinaryMail(const QString& mailPath, const QString& outputFolder, Existing existing,
                                              SafeFile::Links links)
{
    // Anything else of that name (a link, a FIFO) is refused by the reader below.
    if (const QFileInfo mail(mailPath); !mail.exists() && !mail.isSymLink()) {
        return fail(QStringLiteral("PMBA: Binary mail file not found."), MsgIcon::Exclamation);
    }
    if (outputFolder.isEmpty() || !QFileInfo(outputFolder).isDir()) {
        return fail(QStringLiteral("PMBA: Output folder not found."), MsgIcon::Exclamation);
    }

    Result<ParsedMail> parsed;
    {
        // One descriptor for the whole read: a regular file, no link followed,
        // and refused when it was rewritten while it was read.
        SafeFile::Reader reader;
        if (const Result<> opened = reader.open(mailPath, kMaxMailBytes, links); !opened.ok()) {
            return readFailure(opened.error());
        }
        QFile file;
        if (!file.open(reader.descriptor(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
            return readFailure(file.errorString());
        }
        parsed = PMBA_ParseMail(file);
        file.close();
        if (const Result<> done = reader.finish(); parsed.ok() && !done.ok()) {
            return readFailure(done.error());
        }
    }
    if (!parsed.ok()) {
        return parsed.failure();
    }
    const ParsedMail& m = parsed.value();
    if (const QString why = ReceivedName::Problem(m.fileName); !why.isEmpty()) {
        return parseFailure(QStringLiteral("PMBA: Invalid attachment filename.\nThe name \"%1\" cannot be written: %2.")
                                .arg(ReceivedName::Shown(m.fileName), why));
    }

    const QString path = outputFolder.endsWith(u'/') ? outputFolder + m.fileName : outputFolder + u'/' + m.fileName;
    if (existing == Existing::Keep && AtomicFile::occupied(path)) {
        return fail(QStringLiteral("PMBA: A file named \"%1\" already exists:\n%2")
                        .arg(ReceivedName::Shown(m.fileName), path),
                    MsgIcon::Exclamation);
    }
    // The earlier attachment of this name is replaced only by a complete one.
    const Result<> written = AtomicFile::writeWhole(
        path, m.data, existing == Existing::Keep ? AtomicFile::Mode::NoReplace : AtomicFile::Mode::Replace);
    if (!written.ok()) {
        return readFailure(written.error());
    }
    return DecodedPmbaMail{m.to, m.from, m.subject, m.message, path};
}

Result<qint64> PMBA_CreateBinaryMail(Dialogs& dialogs, const QString& attachmentPath, const QString& outputPath,
                                     const QString& to, const QString& from, const QString& subject,
                                     const QString& message)
{
    Result<qint64> r = PMBA_CreateBinaryMail(attachmentPath, outputPath, to, from, subject, message);
    ShowFailure(dialogs, r);
    return r;
}

Result<DecodedPmbaMail> PMBA_DecodeBinaryMail(Dialogs& dialogs, const QString& mailPath, const QString& outputFolder)
{
    Result<DecodedPmbaMail> r = PMBA_DecodeBinaryMail(mailPath, outputFolder);
    ShowFailure(dialogs, r);
    return r;
}

} // namespace tolvan::ModPMBA
