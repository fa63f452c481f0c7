#include "pmba/FilePost.h"

#include "config/ConfigStore.h"
#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace tolvan::FilePost {

namespace {

MessageBoxRequest box(const QString& text, MsgIcon icon, const QString& title)
{
    return {text, title, icon, MsgButtons::Ok, MsgAnswer::Ok};
}

PostResult refused(const QString& text, MsgIcon icon, const QString& title)
{
    PostResult r;
    r.boxes << box(text, icon, title);
    return r;
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QChar(u'0'));
}

} // namespace

Result<QString> ReadSendFolder(const ConfigStore& store, const QString& title)
{
    const auto fail = [&title](const QString& text) { return Fail(box(text, MsgIcon::Critical, title)); };
    if (!store.StoreFileExists(kSendFile)) {
        return fail(QStringLiteral("Cannot find send.dat:\n") + store.StorePath(kSendFile));
    }
    const StoreValue<QString> line = store.ReadStoreLine(kSendFile);
    if (line.error == StoreError::EndOfFile) {
        return fail(QStringLiteral("send.dat is empty:\n") + store.StorePath(kSendFile));
    }
    if (!line.ok()) {
        return fail(QStringLiteral("Cannot read send.dat:\n") + line.message);
    }
    QString folder = line.value.trimmed();
    if (folder.size() >= 2 && folder.startsWith(u'"') && folder.endsWith(u'"')) {
        folder = folder.mid(1, folder.size() - 2);
    }
    if (folder.isEmpty()) {
        return fail(QStringLiteral("Mail Send folder path is empty."));
    }
    if (!QFileInfo(folder).isDir()) {
        return fail(QStringLiteral("Mail Send folder does not exist:\n") + folder);
    }
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString TimeDateStamp(const QDateTime& now)
{
    const QTime t = now.time();
    const QDate d = now.date();
    return twoDigits(t.hour()) + u'-' + twoDigits(t.minute()) + u'-' + twoDigits(t.second()) + QStringLiteral("--")
           + twoDigits(d.month()) + u'-' + twoDigits(d.day()) + u'-' + twoDigits(d.year() % 100);
}

PostResult PostPmbaMail(const ConfigStore& store, const QDateTime& now, bool pmbaMode, const QString& attachment,
                        const Fields& fields)
{
    if (!pmbaMode) {
        return refused(QStringLiteral("PMBA mode is not selected."), MsgIcon::Exclamation, kTitle);
    }
    if (attachment.trimmed().isEmpty()) {
        return refused(QStringLiteral("Please select an attachment."), MsgIcon::Exclamation, kTitle);
    }
    if (!QFileInfo(attachment).isFile()) {
        return refused(kSendErrorPrefix + QStringLiteral("Attachment file not found."), MsgIcon::Critical, kTitle);
    }
    QFile readable(attachment);
    if (!readable.open(QIODevice::ReadOnly)) {
        return refused(kSendErrorPrefix + QStringLiteral("Cannot read the attachment:\n%1\n%2")
                                              .arg(attachment, readable.errorString()),
                       MsgIcon::Critical, kTitle);
    }
    readable.close();
    const Result<QString> send = ReadSendFolder(store, kTitle);
    if (!send.ok()) {
        MessageBoxRequest shown = FailureBox(send.failure(), kTitle);
        shown.text.prepend(kSendErrorPrefix);
        return {false, {}, 0, {shown}};
    }
    const QString path = send.value() + QStringLiteral("PMBA - ") + TimeDateStamp(now) + QStringLiteral(".pmb");
    if (QFileInfo::exists(path)) {
        return refused(QStringLiteral("A PMBA mail file with this name already exists.\nPlease try again in a moment."),
                       MsgIcon::Exclamation, kTitle);
    }
    const Result<qint64> created =
        ModPMBA::PMBA_CreateBinaryMail(attachment, path, fields.to, fields.from, fields.subject, fields.message);
    PostResult r;
    if (!created.ok()) {
        r.boxes << FailureBox(created.failure(), kTitle);
        r.boxes << box(QStringLiteral("PMBA mail creation failed."), MsgIcon::Critical, kTitle);
        return r;
    }
    r.ok = true;
    r.path = path;
    r.size = QFileInfo(path).size();
    r.boxes << box(QStringLiteral("PMBA binary mail created successfully!\n\nSaved in Mail Send folder:\n%1\n\n"
                                  "Size: %2 bytes")
                       .arg(path)
                       .arg(r.size),
                   MsgIcon::Information, kTitle);
    return r;
}

QStringList FieldsWithComma(const Fields& fields, const QString& fileName)
{
    QStringList withComma;
    const std::pair<const QString*, const char*> checked[] = {{&fields.message, "Message"},
                                                              {&fields.subject, "Subject"},
                                                              {&fields.to, "To"},
                                                              {&fields.from, "From"},
                                                              {&fileName, "file name"}};
    for (const auto& [text, label] : checked) {
        if (text->contains(u',')) {
            withComma << QString::fromLatin1(label);
        }
    }
    return withComma;
}

PostResult PostRegularMail(const ConfigStore& store, const QDateTime& now, const QString& attachment,
                           const Fields& fields)
{
    if (attachment.isEmpty()) {
        return refused(QStringLiteral("No file selected!"), MsgIcon::Exclamation, {});
    }
    const QFileInfo info(attachment);
    if (!info.isFile() || info.size() < 1) {
        return refused(QStringLiteral("Error: File is empty or unreadable!"), MsgIcon::Critical, {});
    }

    // The receiver cuts the mail at every comma: one inside a field would move
    // the file's data into the wrong place and it would arrive damaged.
    const QStringList withComma = FieldsWithComma(fields, attachment.mid(attachment.lastIndexOf(u'/') + 1));
    if (!withComma.isEmpty()) {
        return refused(QStringLiteral("A regular file mail cannot carry a comma. There is one in: %1.\n"
                                      "The receiving station would split the mail there and write a damaged file.\n\n"
                                      "Remove the comma, or send the file with \"Post PMBA to Outbox\", which "
                                      "carries any text.")
                           .arg(withComma.join(QStringLiteral(", "))),
                       MsgIcon::Exclamation, {});
    }

    const Result<QString> send = ReadSendFolder(store, {});
    if (!send.ok()) {
        return {false, {}, 0, {FailureBox(send.failure(), {})}};
    }
    const QString path = send.value() + QStringLiteral("File - ") + TimeDateStamp(now) + QStringLiteral(".txt");
    if (QFileInfo::exists(path)) {
        return refused(QStringLiteral("A file mail with this name already exists.\nPlease try again in a moment."),
                       MsgIcon::Exclamation, {});
    }
    const Result<qint64> written =
        FileMail::Write(attachment, path, fields.to, fields.from, fields.subject, fields.message);
    PostResult r;
    if (!written.ok()) {
        r.boxes << FailureBox(written.failure(), {});
        return r;
    }
    r.ok = true;
    r.path = path;
    r.size = written.value();
    return r;
}

} // namespace tolvan::FilePost
