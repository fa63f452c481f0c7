#include "mail/MailPost.h"

#include "config/ConfigStore.h"
#include "mail/MailFiles.h"
#include "platform/AnsiCodec.h"
#include "platform/AtomicFile.h"
#include "platform/LocaleText.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace tolvan::MailPost {

namespace {

// The send folder as the compose screen reads it: the whole first line.
Result<QString> readSendFolder(const ConfigStore& store)
{
    const StoreValue<QString> line = store.ReadStoreLine(kSendFile);
    if (line.error == StoreError::FileNotFound) {
        return Fail(QStringLiteral("The send folder is not set up: send.dat was not found (%1).\n"
                                   "Choose the send folder on the SETUP screen.")
                        .arg(store.StorePath(kSendFile)));
    }
    if (!line.ok() && line.error != StoreError::EndOfFile) {
        return Fail(QStringLiteral("send.dat could not be read: %1").arg(line.message));
    }
    if (line.value.isEmpty()) {
        return Fail(QStringLiteral("send.dat holds no send folder.\nChoose the send folder on the SETUP screen."));
    }
    if (!QFileInfo(line.value).isDir()) {
        return Fail(QStringLiteral("The send folder \"%1\" does not exist.").arg(line.value));
    }
    return line.value;
}

// Takes an append back, so a failed post leaves the file as it was.
void truncateTo(const QString& path, qint64 size)
{
    QFile file(path);
    file.resize(size);
}

// Longer fields cannot be coded; the receiving station would refuse them.
Result<> checkFieldLengths(const MailCodec::MailFields& mail)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const std::pair<const QString*, const char*> fields[] = {
        {&mail.to, "To"}, {&mail.subject, "Subject"}, {&mail.message, "Message"}, {&mail.from, "From"}};
    for (const auto& [text, label] : fields) {
        if (text->size() > MailCodec::kMaxFieldLength) {
            return Fail(QStringLiteral("The %1 field holds %2 characters; a mail field can hold at most %3.")
                            .arg(QString::fromLatin1(label), english.toString(text->size()),
                                 english.toString(MailCodec::kMaxFieldLength)));
        }
    }
    return {};
}

struct Outgoing {
    bool appended = false;
    qint64 previousSize = -1; // the size before an append, to take it back
};

// A new mail appears under its name only when whole, since the packet program
// may pick it up at any moment; a second post into the same name (same
// second) adds its line to the waiting file.
Result<Outgoing> writeOutgoing(const QString& path, const QByteArray& line)
{
    Outgoing w;
    if (QFileInfo::exists(path)) {
        w.previousSize = QFileInfo(path).size();
    } else {
        const Result<> created = AtomicFile::writeWhole(path, line, AtomicFile::Mode::NoReplace);
        if (!created.ok()) {
            if (!QFileInfo::exists(path)) {
                return Fail(QStringLiteral("The mail file could not be created in the send folder.\n%1\n%2")
                                .arg(path, created.error()));
            }
            w.previousSize = QFileInfo(path).size(); // made by someone else a moment ago
        }
    }
    if (w.previousSize >= 0) {
        const Result<> appended = SafeFile::append(path, line);
        if (!appended.ok()) {
            truncateTo(path, w.previousSize);
            return Fail(
                QStringLiteral("The mail could not be added to the waiting mail file.\n%1").arg(appended.error()));
        }
        w.appended = true;
    }
    return w;
}

QByteArray codedLine(const MailCodec::MailFields& mail)
{
    return Ansi::encode(MailCodec::FormatCodedMailLine(mail.to, mail.subject, mail.message, mail.from)) + "\r\n";
}

// The send folder, once the mail's fields are known to fit a coded mail.
Result<QString> sendFolderFor(const ConfigStore& store, const MailCodec::MailFields& mail)
{
    const Result<QString> folder = readSendFolder(store);
    if (!folder.ok()) {
        return folder;
    }
    if (const Result<> fits = checkFieldLengths(mail); !fits.ok()) {
        return fits.failure();
    }
    return folder;
}

} // namespace

QString SentMailFolder(const ConfigStore& store)
{
    const QString program = store.programFolder();
    return (program.endsWith(u'/') ? program : program + u'/') + kSentFolderName;
}

namespace {
QString& handOverFolder()
{
    static QString folder;
    return folder;
}
} // namespace

void SetHandOverFolder(const QString& folder)
{
    handOverFolder() = folder;
}

QString HandOverPath(const QString& name)
{
    const QString& folder = handOverFolder();
    return folder.isEmpty() ? QDir::current().filePath(name) : QDir(folder).filePath(name);
}

Result<> EmptyHandOver(const QString& name)
{
    return SafeFile::replacePrivate(HandOverPath(name), QByteArray());
}

Result<> WriteHandOver(const QString& name, const QString& text)
{
    // A hand-over holds mail: for the operator's eyes only.
    return SafeFile::replacePrivate(HandOverPath(name), Ansi::encode(text) + "\r\n");
}

Result<Posted> PostComposedMail(const ConfigStore& store, const QDateTime& now, const LocaleText& locale,
                                const MailCodec::MailFields& mail)
{
    const Result<QString> folder = sendFolderFor(store, mail);
    if (!folder.ok()) {
        return folder.failure();
    }

    Posted r;
    r.path = MailCodec::ComposeMailFileName(folder.value(), mail.from, now, locale);
    const QString name = r.path.mid(r.path.lastIndexOf(u'/') + 1);
    const QString sentFolder = SentMailFolder(store);
    r.copyPath = sentFolder + u'/' + name;

    // The copy's folder is made first, so that a failure there leaves the send folder untouched.
    const QFileInfo sentInfo(sentFolder);
    if (!sentInfo.exists() && !sentInfo.isSymLink() && !QDir().mkdir(sentFolder)) {
        return Fail(QStringLiteral("The folder for sent copies could not be created: %1").arg(sentFolder));
    }
    if (!QFileInfo(sentFolder).isDir()) {
        return Fail(QStringLiteral("The folder for sent copies is not a folder: %1").arg(sentFolder));
    }

    const Result<Outgoing> written = writeOutgoing(r.path, codedLine(mail));
    if (!written.ok()) {
        return written.failure();
    }
    r.appended = written->appended;
    const qint64 previousSize = written->previousSize;

    auto undoOutgoing = [&] {
        if (r.appended) {
            truncateTo(r.path, previousSize);
        } else {
            QFile::remove(r.path);
        }
    };

    const Result<QByteArray> readBack = SafeFile::ReadWhole(r.path, MailFiles::kMaxTextFileBytes);
    if (!readBack.ok()) {
        undoOutgoing();
        return Fail(QStringLiteral("The mail file could not be read back for its sent copy.\n%1\n%2")
                        .arg(r.path, readBack.error()));
    }
    const QByteArray& whole = readBack.value();
    const Result<> copied = SafeFile::replace(r.copyPath, whole);
    if (!copied.ok()) {
        // Without its copy the post is taken back whole, so that posting
        // again does not send the mail twice.
        undoOutgoing();
        return Fail(QStringLiteral("The sent copy could not be written.\n%1").arg(copied.error()));
    }
    return r;
}

Result<Posted> PostReplyMail(const ConfigStore& store, const QDateTime& now, const MailCodec::MailFields& mail)
{
    const Result<QString> folder = sendFolderFor(store, mail);
    if (!folder.ok()) {
        return folder.failure();
    }
    Posted r;
    r.path = MailCodec::ReplyMailFileName(folder.value(), now);
    const Result<Outgoing> written = writeOutgoing(r.path, codedLine(mail));
    if (!written.ok()) {
        return written.failure();
    }
    r.appended = written->appended;
    return r;
}

bool IsUnwrittenMail(const MailCodec::MailFields& mail)
{
    // A box counts as unwritten when, apart from blanks and the ":" or "-"
    // that closes a prompt, it holds nothing but its own prompt word.
    auto unwritten = [](QString text, QLatin1String prompt) {
        text = text.trimmed();
        while (text.endsWith(u':') || text.endsWith(u'-')) {
            text.chop(1);
            text = text.trimmed();
        }
        return text.isEmpty() || text.compare(prompt, Qt::CaseInsensitive) == 0;
    };
    return unwritten(mail.to, QLatin1String("To")) && unwritten(mail.subject, QLatin1String("Subject")) &&
           unwritten(mail.message, QLatin1String("Your Message")) && unwritten(mail.from, QLatin1String("From"));
}

MessageBoxRequest OutboxQuestion(const QString& folder, const QStringList& names)
{
    constexpr int kShown = 10;
    QStringList shown = names.mid(0, kShown);
    if (names.size() > kShown) {
        shown << QStringLiteral("... and %1 more").arg(names.size() - kShown);
    }
    const QString text =
        QStringLiteral("The send folder still holds %1 file(s) that the packet program has not sent yet:\n%2\n\n%3\n\n"
                       "Delete them before writing a new mail?")
            .arg(names.size())
            .arg(folder, shown.join(u'\n'));
    return {text, QStringLiteral("Confirmation"), MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No};
}

} // namespace tolvan::MailPost
