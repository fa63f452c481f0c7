#include "pmba/FileMail.h"

#include "platform/AnsiCodec.h"
#include "platform/AtomicFile.h"
#include "platform/ReceivedName.h"
#include "pmba/ModPMBA.h"

#include <QFile>
#include <QFileInfo>

namespace tolvan::FileMail {

namespace {

MessageBoxRequest box(const QString& text, MsgIcon icon, const QString& title = {})
{
    return {text, title, icon, MsgButtons::Ok, MsgAnswer::Ok};
}

WriteResult writeFailure(const QString& text, MsgIcon icon = MsgIcon::Critical)
{
    WriteResult r;
    r.message = box(text, icon);
    return r;
}

ReadResult readFailure(const QString& text, Mail partial = {})
{
    ReadResult r;
    r.mail = std::move(partial);
    r.message = box(text, MsgIcon::Critical);
    return r;
}

} // namespace

QString Base64Encode(QByteArrayView data)
{
    return QString::fromLatin1(data.toByteArray().toBase64());
}

namespace {

bool isLineSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v';
}

char16_t unit(QChar c)
{
    return c.unicode();
}

char16_t unit(char c)
{
    return static_cast<unsigned char>(c);
}

// Base64 with every white-space character dropped first: encoders may break
// their output into lines anywhere.
template <class Text> std::optional<QByteArray> decodeIgnoringSpace(const Text& text)
{
    // Written through a pointer: a per-character append costs more than the
    // decoding itself on a file of several megabytes.
    QByteArray compact(text.size(), Qt::Uninitialized);
    char* out = compact.data();
    for (const auto c : text) {
        const char16_t u = unit(c);
        if (isLineSpace(u)) {
            continue;
        }
        if (u > 0x7F) {
            return std::nullopt;
        }
        *out++ = static_cast<char>(u);
    }
    compact.truncate(out - compact.constData());
    auto decoded = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return std::nullopt;
    }
    return std::move(decoded.decoded);
}

} // namespace

std::optional<QByteArray> Base64DecodeBytes(QStringView text)
{
    return decodeIgnoringSpace(text);
}

std::optional<QByteArray> Base64DecodeBytes(QByteArrayView text)
{
    return decodeIgnoringSpace(text);
}

std::optional<QString> Base64Decode(QStringView text)
{
    const std::optional<QByteArray> bytes = Base64DecodeBytes(text);
    if (!bytes) {
        return std::nullopt;
    }
    return Ansi::decode(*bytes);
}

QByteArray Build(const Mail& mail)
{
    const QString inner = mail.message + u',' + mail.subject + u',' + mail.to + u',' + mail.from + u',' +
                          mail.fileName + u',' + Base64Encode(mail.data);
    return Ansi::encode(inner).toBase64() + "\r\n";
}

ReadResult Parse(QByteArrayView content)
{
    const std::optional<QByteArray> innerBytes = Base64DecodeBytes(content);
    if (!innerBytes) {
        return readFailure(QStringLiteral("Error: The file mail is not valid Base64 text!"));
    }
    const QStringList pieces = Ansi::decode(*innerBytes).split(u',');
    if (pieces.size() < 6) {
        return readFailure(QStringLiteral("Error: Decoded data format is incorrect!"));
    }
    Mail mail{pieces[0], pieces[1], pieces[2], pieces[3], pieces[4], {}};
    // The name is joined to a folder of ours: it must not lead out of it.
    if (const QString why = ReceivedName::Problem(mail.fileName); !why.isEmpty()) {
        return readFailure(
            QStringLiteral("Error: The file name in this mail is not valid: \"%1\"\n(%2)").arg(mail.fileName, why),
            mail);
    }
    const std::optional<QByteArray> data = Base64DecodeBytes(pieces[5]);
    if (!data) {
        return readFailure(QStringLiteral("Error: The attached file is not valid Base64 data!"), mail);
    }
    mail.data = *data;
    ReadResult r;
    r.ok = true;
    r.mail = std::move(mail);
    return r;
}

WriteResult Write(const QString& attachmentPath, const QString& outputPath, const QString& to, const QString& from,
                  const QString& subject, const QString& message)
{
    Mail mail{message, subject, to, from, attachmentPath.mid(attachmentPath.lastIndexOf(u'/') + 1), {}};
    // A comma would shift the fields at the receiver and a bad name is refused
    // there, so the carried file would never arrive.
    QString why = ReceivedName::SendProblem(mail.fileName);
    if (why.isEmpty() && mail.fileName.contains(u',')) {
        why = QStringLiteral("it holds a comma");
    }
    if (!why.isEmpty()) {
        return writeFailure(
            QStringLiteral("Error: The file name \"%1\" cannot be sent in a file mail: %2.").arg(mail.fileName, why),
            MsgIcon::Exclamation);
    }
    if (QFileInfo(attachmentPath).size() > kMaxCarriedFileBytes) {
        return writeFailure(QStringLiteral("Error: %1 is too large for a file mail (at most %2 bytes).")
                                .arg(attachmentPath)
                                .arg(kMaxCarriedFileBytes),
                            MsgIcon::Exclamation);
    }
    QFile source(attachmentPath);
    if (!QFileInfo(attachmentPath).isFile() || !source.open(QIODevice::ReadOnly)) {
        return writeFailure(QStringLiteral("Error: File is empty or unreadable!"));
    }
    mail.data = source.readAll();
    if (source.error() != QFileDevice::NoError || mail.data.isEmpty()) {
        return writeFailure(QStringLiteral("Error: File is empty or unreadable!"));
    }
    source.close();

    const QByteArray content = Build(mail);
    // Readers refuse anything longer, so it would never be read.
    if (content.size() > kMaxFileMailBytes) {
        return writeFailure(QStringLiteral("Error: The file mail would be longer than %1 bytes; shorten the texts.")
                                .arg(kMaxFileMailBytes),
                            MsgIcon::Exclamation);
    }
    // A second post in the same second must not add a second mail to the
    // first one's file: the receiver could read neither.
    const QString error = AtomicFile::writeWhole(outputPath, content, AtomicFile::Mode::NoReplace);
    if (!error.isEmpty()) {
        return writeFailure(QStringLiteral("File mail error: ") + error);
    }
    WriteResult r;
    r.ok = true;
    r.size = content.size();
    return r;
}

ReadResult Read(const QString& path)
{
    // Refused before reading: a longer file was not written by a sender and
    // would only take memory.
    if (const qint64 size = QFileInfo(path).size(); size > kMaxFileMailBytes) {
        return readFailure(QStringLiteral("Error: The file mail %1 is %2 bytes long; a file mail is at most %3 bytes.")
                               .arg(path)
                               .arg(size)
                               .arg(kMaxFileMailBytes));
    }
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return readFailure(QStringLiteral("Error: The file mail cannot be read: ") +
                           (file.errorString().isEmpty() ? path : file.errorString()));
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return readFailure(QStringLiteral("Error: The file mail cannot be read: ") + file.errorString());
    }
    return Parse(content);
}

SaveResult SaveCarriedFile(const Mail& mail, const QString& folder, bool replaceExisting)
{
    SaveResult r;
    if (const QString why = ReceivedName::Problem(mail.fileName); !why.isEmpty()) {
        r.message =
            box(QStringLiteral("Error: The file name in this mail is not valid: \"%1\"\n(%2)").arg(mail.fileName, why),
                MsgIcon::Critical);
        return r;
    }
    r.path = folder.endsWith(u'/') ? folder + mail.fileName : folder + u'/' + mail.fileName;
    if (!replaceExisting && QFileInfo::exists(r.path) && AtomicFile::obstacle(r.path).isEmpty()) {
        r.status = SaveResult::Status::Exists;
        return r;
    }
    const QString error = AtomicFile::writeWhole(
        r.path, mail.data, replaceExisting ? AtomicFile::Mode::Replace : AtomicFile::Mode::NoReplace);
    if (!error.isEmpty()) {
        r.message = box(QStringLiteral("Error: The received file could not be written: ") + error, MsgIcon::Critical);
        return r;
    }
    r.status = SaveResult::Status::Saved;
    return r;
}

SaveResult SaveCarriedFile(Dialogs& dialogs, const Mail& mail, const QString& folder)
{
    SaveResult r = SaveCarriedFile(mail, folder, false);
    if (r.status == SaveResult::Status::Exists) {
        const MessageBoxRequest question{
            QStringLiteral("A file named \"%1\" already exists:\n%2\n\nReplace it with the received file?")
                .arg(mail.fileName, r.path),
            QStringLiteral("Confirmation"), MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No};
        if (dialogs.messageBox(question) != MsgAnswer::Yes) {
            return r;
        }
        r = SaveCarriedFile(mail, folder, true);
    }
    if (r.message) {
        dialogs.messageBox(*r.message);
    }
    return r;
}

} // namespace tolvan::FileMail
