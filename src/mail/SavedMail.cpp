#include "mail/SavedMail.h"

#include "config/ConfigStore.h"
#include "mail/MailCodec.h"
#include "mail/MailFiles.h"
#include "mail/MailPost.h"
#include "monitor/fileoperation.h"

#include <QFile>
#include <QFileInfo>

namespace tolvan::SavedMail {

namespace {

Failure box(const QString& text, MsgIcon icon, const QString& title = {})
{
    return Fail(MessageBoxRequest{text, title, icon, MsgButtons::Ok, MsgAnswer::Ok});
}

Result<> handOver(const QString& path, const QString& handOverName, const QString& title)
{
    const Result<QString> read = MailFiles::ReadWholeFile(path);
    if (!read.ok()) {
        return box(QStringLiteral("The mail could not be read: ") + read.error(), MsgIcon::Critical, title);
    }
    const Result<> written = MailPost::WriteHandOver(handOverName, read.value());
    if (!written.ok()) {
        return box(QStringLiteral("The mail could not be handed over: ") + written.error(), MsgIcon::Critical, title);
    }
    return {};
}

} // namespace

Result<QString> SaveFolder(const ConfigStore& store)
{
    const StoreValue<QString> line = store.ReadStoreLine(MailPost::kSaveFile);
    if (line.error == StoreError::FileNotFound) {
        return Fail(QStringLiteral("The save folder is not set up: save.dat was not found.\n"
                                   "Choose the save folder on the SETUP screen."));
    }
    if (!line.ok() || line.value.isEmpty()) {
        return Fail(QStringLiteral("The save folder could not be read from save.dat (%1).")
                        .arg(line.ok() || line.error == StoreError::EndOfFile ? QStringLiteral("the file is empty")
                                                                              : line.message));
    }
    if (!QFileInfo(line.value).isDir()) {
        return Fail(QStringLiteral("The save folder \"%1\" does not exist.").arg(line.value));
    }
    return line.value;
}

QStringList ListFiles(const QString& folder, bool datOnly)
{
    QStringList names = fileoperation::ListedFiles(folder);
    if (datOnly) {
        names.removeIf([](const QString& n) { return !n.endsWith(QStringLiteral(".dat"), Qt::CaseInsensitive); });
    }
    return names;
}

QString ReceivedEntryPath(const QString& folder, const QString& name)
{
    return folder + u'/' + name;
}

QString SentEntryPath(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

Result<> HandToReader(const QString& path)
{
    return handOver(path, MailPost::kReaderHandOver, {});
}

Result<> HandToInbox(const QString& path)
{
    const QString title = QStringLiteral("Sent Mail");
    if (path.trimmed().isEmpty()) {
        return box(QStringLiteral("No sent mail file selected."), MsgIcon::Exclamation, title);
    }
    const QFileInfo info(path);
    if (!info.isFile() || info.isHidden()) {
        return box(QStringLiteral("Sent mail file not found:\n") + path, MsgIcon::Exclamation, title);
    }
    return handOver(path, MailPost::kMailHandOver, title);
}

bool DeleteEntry(const QString& folder, const QString& name)
{
    // Only a name of the list, never a path leading out of its folder.
    if (folder.isEmpty() || name.isEmpty() || name.contains(u'/') || name == u"." || name == u"..") {
        return false;
    }
    return QFile::remove(SentEntryPath(folder, name));
}

ReaderFields SplitForReader(const QString& wholeText)
{
    const QStringList parts = MailCodec::SplitMailText(wholeText);
    ReaderFields f;
    if (parts.size() > 0) {
        f.to = parts[0];
    }
    if (parts.size() > 1) {
        f.subject = parts[1];
    }
    // The message may itself hold commas: the From is always the last part,
    // and everything between the Subject and it is the message.
    if (parts.size() == 3) {
        f.message = parts[2];
    } else if (parts.size() > 3) {
        f.message = parts.mid(2, parts.size() - 3).join(u',');
        f.from = parts.last();
    }
    return f;
}

} // namespace tolvan::SavedMail
