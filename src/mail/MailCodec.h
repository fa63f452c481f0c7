#pragma once

#include "platform/Result.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tolvan {

class LocaleText;

// The mail as it travels between stations: four fields (To, Subject, Message,
// From), each upper-cased and written as the decimal codes of its characters,
// joined by commas on one line. Also the names of the mail files.
namespace MailCodec {

// Fields and coded fields longer than this are refused by the senders; the
// decoder reports them as an error instead of decoding them.
constexpr qsizetype kMaxFieldLength = 32767;
// The longest coded mail line a sender writes: four fields of at most
// kMaxFieldLength codes of up to three digits and a space, three commas, CR LF.
constexpr qint64 kMaxCodedLineBytes = 4 * (4 * kMaxFieldLength - 1) + 3 + 2;
// The longest coded mail file a reader accepts: room for a few posts appended
// to one name within the same second, and the hand-over's extra CR LF.
constexpr qint64 kMaxCodedMailFileBytes = 4 * kMaxCodedLineBytes + 2;

struct MailFields {
    QString to;
    QString subject;
    QString message;
    QString from;
};

// Each character becomes its code-page code in decimal, codes separated by one space.
QString ConvertToASCII(QStringView text);
// Tokens between single spaces that read as numbers become characters; others
// are skipped. A code out of range or too many codes stop it, and the failure
// says why, for the operator.
Result<QString> DecodeFromASCII(QStringView asciiString);

// Upper-cases as the code page allows: a letter whose capital the code page
// lacks stays as it is.
QString UpperCase(QStringView text);

// The coded mail line without its line end.
QString FormatCodedMailLine(const QString& to, const QString& subject, const QString& message, const QString& from);
// The text cut at every comma; an empty text gives no part.
QStringList SplitMailText(const QString& text);

// The fields' names in their order on the mail line.
inline const char* const kFieldNames[4] = {"To", "Subject", "Message", "From"};

struct ParsedMail {
    // Cut: the four fields read, but the text does not end with a line end,
    // as every coded mail line does; its last field may be cut short (a "90"
    // cut to "9" would read as a TAB), so none of it is shown.
    enum class Status { Empty, Ok, BadFormat, BadCode, Cut } status = Status::Empty;
    MailFields fields;     // for BadCode, the fields decoded before the bad one
    int decodedFields = 0; // how many fields, in order, hold their decoded text
    QString error;         // for BadFormat, BadCode and Cut
};
// A whole coded mail file as the inbox reads it.
ParsedMail ParseCodedMail(const QString& wholeText);

// Whether a whole mail file is plain text rather than a coded mail line.
// A coded mail's first four comma-separated parts hold nothing but character
// codes between white space (a part may be empty), and there is at least one
// code. Anything else, say "Hello John, 73, Bob", is plain text from software
// that does not code its mails. An empty text is neither.
bool IsPlainMailText(QStringView wholeText);

// The plain text as the inbox shows it: the line ends after the text (the
// hand-over's own among them) removed.
QString PlainMailBody(QStringView wholeText);

// A file-name part with every character that cannot stand in a file name here
// or on a peer's system (/ \ : * ? " < > | and control characters) made "-".
QString SafeFileNamePart(QString text);

QString ComposeMailFileName(const QString& sendFolder, const QString& fromText, const QDateTime& now,
                            const LocaleText& locale);
QString ReplyMailFileName(const QString& folder, const QDateTime& now);
QString SavedMailFileName(const QString& saveFolder, const QDateTime& now, const LocaleText& locale);

} // namespace MailCodec
} // namespace tolvan
