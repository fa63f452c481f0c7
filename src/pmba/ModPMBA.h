#pragma once

#include "platform/Dialogs.h"
#include "platform/Result.h"
#include "platform/SafeFile.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace tolvan {

// A PMBA mail: one short mail (To, From, Subject, Message) and one attached
// file of any kind, in a binary file protected by a CRC-32 of the attached
// bytes. All integers are signed 32-bit little-endian; texts are length-counted
// code-page bytes. Every mail begins with 04 00 00 00 "PMBA" 01 00 00 00.
//
// The operations show nothing themselves: a failure carries the box the
// operator should see, and the Dialogs overloads show it.
namespace ModPMBA {

constexpr qint32 kVersion = 1;
// The longest text field a reader accepts, in bytes.
constexpr qint32 kMaxTextField = 0x100000;
// The longest PMBA mail there can be: the signature, the version, five text
// fields at their limit, the size, the largest attachment and the checksum.
constexpr qint64 kMaxMailBytes = 8 + 4 + 5 * (4 + qint64(kMaxTextField)) + 4 + 0x7FFFFFFF + 4;
// Size of a mail whose texts are all empty and whose name and data are one byte.
constexpr qint64 kSmallestMail = 42;

inline const QString kTitle = QStringLiteral("PMBA");
inline const QString kInvalidTextLength = QStringLiteral("Invalid PMBA text field length.");
inline const QString kIncompleteText = QStringLiteral("Incomplete PMBA text field.");
inline const QString kDecodingErrorPrefix = QStringLiteral("PMBA decoding error: ");
inline const QString kWriteErrorPrefix = QStringLiteral("PMBA binary mail error: ");

// What a successful decode hands to the receive attachment screen.
struct DecodedPmbaMail {
    QString to;
    QString from;
    QString subject;
    QString message;
    QString attachmentPath; // full path of the attachment as written
};

// The fields of a mail that passed every check of its bytes; the file name
// is not checked yet.
struct ParsedMail {
    QString to;
    QString from;
    QString subject;
    QString message;
    QString fileName;
    QByteArray data;
};

// Writes the mail to outputPath and gives its size in bytes. The file appears
// under that name only when complete, and an existing file there is never
// overwritten.
Result<qint64> PMBA_CreateBinaryMail(const QString& attachmentPath, const QString& outputPath, const QString& to,
                                     const QString& from, const QString& subject, const QString& message);

// The size in bytes of the mail PMBA_CreateBinaryMail would write for the
// same attachment and texts, with the same refusals; nothing is written and
// the attachment is not read.
Result<qint64> PMBA_MailSize(const QString& attachmentPath, const QString& to, const QString& from,
                             const QString& subject, const QString& message);

// What becomes of an earlier attachment of the same name.
enum class Existing { Replace, Keep };

// Checks the mail at mailPath and writes its attachment into outputFolder,
// replacing an earlier attachment of the same name, or, with Keep, failing
// with a message naming it. The mail file is never changed; on failure no
// attachment is left behind. The mail is read as SafeFile::Reader reads: a
// regular file, a link only when links says so.
Result<DecodedPmbaMail> PMBA_DecodeBinaryMail(const QString& mailPath, const QString& outputFolder,
                                              Existing existing = Existing::Replace,
                                              SafeFile::Links links = SafeFile::Links::Refuse);

// The same, showing a failure's box through dialogs.
Result<qint64> PMBA_CreateBinaryMail(Dialogs& dialogs, const QString& attachmentPath, const QString& outputPath,
                                     const QString& to, const QString& from, const QString& subject,
                                     const QString& message);
Result<DecodedPmbaMail> PMBA_DecodeBinaryMail(Dialogs& dialogs, const QString& mailPath, const QString& outputFolder);

// Reads a whole mail from file's current position to its end and applies every
// check of the bytes (signature, version, field lengths, size, trailing data, CRC).
Result<ParsedMail> PMBA_ParseMail(QIODevice& file);

// One text field at the device's current position. A read fails with
// kInvalidTextLength, kIncompleteText or the device's own words.
bool PMBA_WriteText(QIODevice& file, const QString& text);
Result<QString> PMBA_ReadText(QIODevice& file);

quint32 PMBA_Crc32(QByteArrayView bytes);

// True for a name the received-name rule accepts (platform/ReceivedName.h):
// it stays inside the folder it is joined to, here and on a Windows peer.
bool PMBA_IsValidFileName(const QString& name);

// At least 8 bytes, beginning with the 32-bit value 4 and "PMBA". Never shows anything.
bool IsPMBAFile(const QString& path);

} // namespace ModPMBA
} // namespace tolvan
