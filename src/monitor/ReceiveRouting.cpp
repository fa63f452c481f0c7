#include "monitor/ReceiveRouting.h"

#include "config/ConfigStore.h"
#include "mail/MailCodec.h"
#include "mail/MailPost.h"
#include "platform/AnsiCodec.h"
#include "platform/SafeFile.h"
#include "pmba/FileMail.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tolvan::ReceiveRouting {

namespace {

// Stable numbers for the "Receive Error" box, one per kind of failure.
enum ErrorNumber {
    kStoreUnreadable = 1,
    kIncomingUnreadable = 2,
    kIncomingEmpty = 3,
    kHandOverUnwritable = 4,
};

MessageBoxRequest box(const QString& text, MsgIcon icon, const QString& title = {})
{
    return {text, title, icon, MsgButtons::Ok, MsgAnswer::Ok};
}

Route receiveError(Route r, int number, const QString& description)
{
    r.outcome = Route::Outcome::ReceiveError;
    r.deleteIncoming = false;
    r.messages << box(QStringLiteral("Error %1: %2").arg(number).arg(description), MsgIcon::Critical,
                      QStringLiteral("Receive Error"));
    return r;
}

// A file its reader cannot read stays where it is, and the operator is told
// which file and why, so that it can be read by other means.
Route unreadable(Route r, const QString& what, const QString& fault)
{
    r.outcome = Route::Outcome::Unreadable;
    r.deleteIncoming = false;
    r.messages << box(QStringLiteral("This %1 cannot be read:\n%2\n\n%3\n\nThe file stays in the receive folder.")
                          .arg(what, r.incomingPath, fault),
                      MsgIcon::Exclamation);
    return r;
}

// Why a coded mail file cannot be read as the inbox reads it; empty when it can.
QString codedMailFault(const QString& text)
{
    const MailCodec::ParsedMail mail = MailCodec::ParseCodedMail(text);
    if (mail.status == MailCodec::ParsedMail::Status::BadFormat) {
        return mail.error + QStringLiteral(" It holds character codes, but not the four fields of a coded mail.");
    }
    return mail.status == MailCodec::ParsedMail::Status::Ok ? QString() : mail.error;
}

// A regular file under that very name (a link is not), and not hidden.
bool isOrdinaryFile(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && SafeFile::NonRegularKind(path).isEmpty() && !info.isHidden();
}

QString joinFolder(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// The 7PLUS outcomes, or Outcome::ReceiveError when the file is no part.
Route routeSevenPlus(Route r, const QString& folder, const QString& name)
{
    const MsgIcon info = MsgIcon::Information;
    const QString title = QStringLiteral("7PLUS");
    SevenPlusSets::Collector collector;
    collector.Refresh(folder);
    if (collector.damaged().contains(name)) {
        r.outcome = Route::Outcome::SevenPlusDamaged;
        r.messages << box(QStringLiteral("%1 looks like a 7PLUS part, but its header fails its check.\n\nThe file "
                                         "stays in the receive folder. Ask the sender to send this part again.\n\n%2")
                              .arg(name, r.incomingPath),
                          MsgIcon::Exclamation, title);
        return r;
    }
    const SevenPlusSets::Set* set = collector.SetOf(name);
    if (!set) {
        return r;
    }
    r.sevenPlusSet = *set;
    if (set->complete()) {
        r.outcome = Route::Outcome::SevenPlusSet;
        r.sevenPlusPart1 = joinFolder(folder, set->part1());
        return r;
    }
    r.outcome = Route::Outcome::SevenPlusIncomplete;
    const QList<int> missing = set->missing();
    r.messages << box(QStringLiteral("%1 is a 7PLUS file of %2 parts; %3 of them are in the receive folder.\n\n"
                                     "Waiting for part%4 %5.\n\nThe parts stay in the receive folder; the file is "
                                     "decoded once every part has arrived.\n\n%6")
                          .arg(set->name)
                          .arg(set->totalParts)
                          .arg(set->parts.size())
                          .arg(missing.size() == 1 ? QString() : QStringLiteral("s"))
                          .arg(SevenPlusSets::JoinNumbers(missing), r.incomingPath),
                      info, title);
    return r;
}

} // namespace

Kind Classify(const QString& fileName, QByteArrayView content)
{
    const QString name = fileName.toUpper();
    if (name.contains(u"MAIL")) {
        return Kind::Mail;
    }
    if (name.contains(u"FILE")) {
        return Kind::FileMail;
    }
    const QByteArray upper = content.toByteArray().toUpper();
    if (upper.contains("MAIL")) {
        return Kind::Mail;
    }
    if (upper.contains("FILE")) {
        return Kind::FileMail;
    }
    return Kind::Unrecognized;
}

Paths DefaultPaths(const ConfigStore& store)
{
    const QString program = store.programFolder();
    return {MailPost::HandOverPath(MailPost::kMailHandOver), program + QStringLiteral("temp"),
            joinFolder(program, QStringLiteral("PMBA-Binary-Received"))};
}

Route RouteIncoming(const ConfigStore& store, const QString& selectedName, const Paths& paths)
{
    Route r;
    const StoreValue<QString> folder = store.ReadStoreLine(QStringLiteral("receive.dat"));
    if (!folder.ok()) {
        return receiveError(r, kStoreUnreadable, folder.message);
    }
    if (folder.value.trimmed().isEmpty()) {
        // An empty entry would put the file in the root folder's name space.
        return receiveError(r, kStoreUnreadable, QStringLiteral("receive.dat holds no receive folder."));
    }
    if (selectedName.isEmpty()) {
        r.outcome = Route::Outcome::NoSelection;
        r.messages << box(QStringLiteral("No file selected."), MsgIcon::Exclamation);
        return r;
    }
    r.incomingPath = joinFolder(folder.value.trimmed(), selectedName);
    // A link would lead anywhere (a system file shown as mail and copied into
    // a hand-over file), a FIFO would hang the read: neither is ever opened.
    if (const QString kind = SafeFile::NonRegularKind(r.incomingPath);
        !selectedName.contains(u'/') && !kind.isEmpty()) {
        r.outcome = Route::Outcome::NotRegular;
        r.messages << box(QStringLiteral("%1 is %2, not a regular file.\n\nIt is not read; it stays in the receive "
                                         "folder.")
                              .arg(r.incomingPath, kind),
                          MsgIcon::Exclamation);
        return r;
    }
    // A list entry is a bare name; anything else would reach outside the folder.
    if (selectedName.contains(u'/') || !isOrdinaryFile(r.incomingPath)) {
        r.outcome = Route::Outcome::NotFound;
        r.messages << box(QStringLiteral("File not found:\n") + r.incomingPath, MsgIcon::Critical);
        return r;
    }

    if (ModPMBA::IsPMBAFile(r.incomingPath)) {
        if (!QFileInfo::exists(paths.attachmentFolder)) {
            QDir().mkpath(paths.attachmentFolder);
        }
        const Result<ModPMBA::DecodedPmbaMail> decoded =
            ModPMBA::PMBA_DecodeBinaryMail(r.incomingPath, paths.attachmentFolder);
        if (!decoded.ok()) {
            r.outcome = Route::Outcome::PmbaFailed;
            r.messages << FailureBox(decoded.failure(), ModPMBA::kTitle);
            r.messages << box(QStringLiteral("PMBA decoding failed.\nThe original incoming file was preserved.\n") +
                                  r.incomingPath,
                              MsgIcon::Exclamation, ModPMBA::kTitle);
            return r;
        }
        // The mail stays until the operator has saved its attachment.
        r.outcome = Route::Outcome::Pmba;
        r.pmba = decoded.value();
        return r;
    }

    // Recognised by content, whatever the name: a part is no mail even when
    // its file name or header text holds the word.
    if (Route sevenPlus = routeSevenPlus(r, folder.value.trimmed(), selectedName);
        sevenPlus.outcome != Route::Outcome::ReceiveError) {
        return sevenPlus;
    }

    // One read from one descriptor: never through a link, never a FIFO, never
    // more than the longest mail.
    const Result<QByteArray> read = SafeFile::ReadWhole(r.incomingPath, kMaxIncomingBytes);
    if (!read.ok()) {
        return receiveError(r, kIncomingUnreadable, read.error());
    }
    const QByteArray& content = read.value();
    if (content.isEmpty()) {
        return receiveError(r, kIncomingEmpty, QStringLiteral("The file is empty: ") + r.incomingPath);
    }

    const Kind kind = Classify(QFileInfo(r.incomingPath).fileName(), content);
    if (kind == Kind::Mail && paths.inboxShown) {
        // The mail on screen, or a reply being typed, is not replaced.
        r.outcome = Route::Outcome::InboxBusy;
        r.messages << box(QStringLiteral("The inbox is open with another mail.\n\nLeave the inbox first (with "
                                         "auto-save on, EXIT saves its mail), then read this one:\n%1\n\nThe file "
                                         "stays in the receive folder.")
                              .arg(r.incomingPath),
                          MsgIcon::Exclamation);
        return r;
    }
    // Stale hand-overs must not be shown for this file; the shown inbox's
    // mail.dat stays with it.
    if (!paths.inboxShown) {
        QFile::remove(paths.mailDat);
    }
    QFile::remove(paths.attachmentHandOver);

    QString handOver;
    QByteArray handOverBytes;
    switch (kind) {
    case Kind::Mail: {
        // Plain text goes to the inbox as it is; the inbox tells it from a
        // coded mail by the same rule.
        const QString text = Ansi::decode(content);
        r.plainText = MailCodec::IsPlainMailText(text);
        if (const QString fault = r.plainText ? QString() : codedMailFault(text); !fault.isEmpty()) {
            return unreadable(r, QStringLiteral("mail"), fault);
        }
        r.outcome = Route::Outcome::Mail;
        handOver = paths.mailDat;
        handOverBytes = content + "\r\n";
        break;
    }
    case Kind::FileMail:
        if (const Result<FileMail::Mail> read = FileMail::Parse(content); !read.ok()) {
            return unreadable(r, QStringLiteral("file mail"), read.error());
        }
        r.outcome = Route::Outcome::FileMail;
        handOver = paths.attachmentHandOver;
        handOverBytes = content;
        break;
    case Kind::Unrecognized:
        r.outcome = Route::Outcome::Unrecognized;
        r.messages << box(QStringLiteral("Unrecognized file type.\n\n%1\n\nIt is neither a PMBA mail, a mail nor a "
                                         "file mail, and stays in the receive folder.")
                              .arg(r.incomingPath),
                          MsgIcon::Exclamation);
        return r;
    }
    // Hand-over files hold received mail: for the operator's eyes only. The
    // incoming file may go only once its content is whole in the hand-over
    // file; a file mail only once its carried file is written, which the
    // receive attachment screen does.
    const Result<> written = SafeFile::replacePrivate(handOver, handOverBytes);
    if (!written.ok()) {
        return receiveError(r, kHandOverUnwritable, written.error());
    }
    r.deleteIncoming = r.outcome == Route::Outcome::Mail;
    return r;
}

bool KillFile(Dialogs& dialogs, const QString& filePath, const std::function<void()>& processEvents)
{
    while (isOrdinaryFile(filePath)) {
        QFile file(filePath);
        if (file.remove()) {
            return true;
        }
        const MessageBoxRequest question{QStringLiteral("Failed to delete the file: ") + file.errorString() +
                                             QStringLiteral("\n\nTry again?"),
                                         {},
                                         MsgIcon::Exclamation,
                                         MsgButtons::YesNo,
                                         MsgAnswer::Yes};
        if (dialogs.messageBox(question) != MsgAnswer::Yes) {
            dialogs.messageBox(
                box(QStringLiteral("The file was not deleted and stays in the receive folder:\n") + filePath,
                    MsgIcon::Exclamation));
            return false;
        }
        if (processEvents) {
            processEvents();
        }
    }
    return true;
}

} // namespace tolvan::ReceiveRouting
