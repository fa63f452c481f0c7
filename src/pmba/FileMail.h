#pragma once

#include "platform/Dialogs.h"
#include "platform/Result.h"
#include "platform/SafeFile.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace tolvan {

// The regular file mail: a text file holding, as Base64, the code-page bytes of
// "Message,Subject,To,From,FileName,B64" (B64 being the carried file's own
// Base64 text), followed by CR LF. There is no escaping: a comma in a field
// moves the following fields up by one, as on every station that reads it.
namespace FileMail {

// The largest file a file mail carries, and the largest file mail: the writer
// refuses to make a longer one and the reader refuses a longer file before
// reading it. The carried file's bytes grow by 16/9 through the two Base64
// layers, which leaves room for the texts.
constexpr qint64 kMaxCarriedFileBytes = 48 * 1024 * 1024;
constexpr qint64 kMaxFileMailBytes = 96 * 1024 * 1024;

struct Mail {
    QString message;
    QString subject;
    QString to;
    QString from;
    QString fileName;
    QByteArray data; // the carried file's bytes
};

// Where a carried file went. Finding a file of that name already there is
// no failure: the operator decides, and nothing was written.
struct SavedFile {
    enum class Status { Saved, Exists } status = Status::Saved;
    QString path;
};

// Base64 with the standard alphabet and padding, on one line.
QString Base64Encode(QByteArrayView data);
// Line breaks and other white space anywhere in the text are ignored; any
// other character outside the alphabet, or broken padding, gives nothing.
std::optional<QByteArray> Base64DecodeBytes(QStringView text);
std::optional<QByteArray> Base64DecodeBytes(QByteArrayView text);
// The decoded bytes as code-page text.
std::optional<QString> Base64Decode(QStringView text);

// The whole file content, CR LF included.
QByteArray Build(const Mail& mail);
// Reads a file content as the receive attachment screen does. The carried
// file's name must be one that stays inside the folder it is saved into.
// Every failure has its box; a failure after the texts were read still hands
// them over.
Result<Mail> Parse(QByteArrayView content);

// Reads the file at attachmentPath and writes the mail to outputPath, which
// must not exist yet, and gives its size in bytes; the file appears under
// that name only when complete.
Result<qint64> Write(const QString& attachmentPath, const QString& outputPath, const QString& to, const QString& from,
                     const QString& subject, const QString& message);
// The size of the mail Write would write for the same file and texts, with
// the same refusals; nothing is written and the file is not read.
Result<qint64> Size(const QString& attachmentPath, const QString& to, const QString& from, const QString& subject,
                    const QString& message);
// Reads and parses the file mail at path, as Parse, through one
// SafeFile::Reader.
Result<Mail> Read(const QString& path, SafeFile::Links links = SafeFile::Links::Refuse);

// Writes the carried file into folder under its own name. An existing file of
// that name is replaced only with replaceExisting; otherwise the status is
// Exists and nothing is written.
Result<SavedFile> SaveCarriedFile(const Mail& mail, const QString& folder, bool replaceExisting);
// The same, asking the operator before an existing file is replaced (Exists
// when the answer is No); shows any failure.
Result<SavedFile> SaveCarriedFile(Dialogs& dialogs, const Mail& mail, const QString& folder);

} // namespace FileMail
} // namespace tolvan
