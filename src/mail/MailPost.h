#pragma once

#include "mail/MailCodec.h"
#include "platform/Dialogs.h"
#include "platform/Result.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tolvan {

class ConfigStore;
class LocaleText;

// Posting a composed mail into the send folder, the local copy of everything
// sent, and the hand-over files through which the mail screens pass a mail on.
namespace MailPost {

inline const QString kSendFile = QStringLiteral("send.dat");
inline const QString kSaveFile = QStringLiteral("save.dat");
inline const QString kSentFolderName = QStringLiteral("SentMail");
// Hand-over files in the station folder: the inbox reads the first, the
// reader the second.
inline const QString kMailHandOver = QStringLiteral("mail.dat");
inline const QString kReaderHandOver = QStringLiteral("temp");

// The folder of the sent copies inside the program folder.
QString SentMailFolder(const ConfigStore& store);
// Where the hand-over files live: the station folder, set once at start so
// that whatever folder the program was started from, one station's screens
// pass mails through one place. Until it is set, the working folder.
void SetHandOverFolder(const QString& folder);
// A hand-over file's path.
QString HandOverPath(const QString& name);

// Creates the hand-over file with no content (it stays present). A failure
// names the file and the reason.
Result<> EmptyHandOver(const QString& name);
// Replaces the hand-over file with text followed by CR LF.
Result<> WriteHandOver(const QString& name, const QString& text);

// Where a posted mail went.
struct Posted {
    QString path;     // the outgoing mail file
    QString copyPath; // its copy in SentMail
    bool appended = false; // a mail of the same name was already waiting
};

// Writes the four fields as a coded mail line into the send folder under the
// composed name and copies the file into SentMail. A new file appears under its
// name only when complete; a file of the same name gets the line appended. On
// any failure nothing of this post is left behind and the error names the cause.
Result<Posted> PostComposedMail(const ConfigStore& store, const QDateTime& now, const LocaleText& locale,
                                const MailCodec::MailFields& mail);

// Writes a reply into the send folder under its time-named file, the same way
// as a composed mail but without a sent copy.
Result<Posted> PostReplyMail(const ConfigStore& store, const QDateTime& now, const MailCodec::MailFields& mail);

// True when none of the four boxes holds more than its own prompt ("To: ",
// "TO-", "From- ", "Subject: ", "Your Message: " and the like) or blanks.
bool IsUnwrittenMail(const MailCodec::MailFields& mail);

// The question asked before mail still waiting in the send folder is deleted.
MessageBoxRequest OutboxQuestion(const QString& folder, const QStringList& names);

} // namespace MailPost
} // namespace tolvan
