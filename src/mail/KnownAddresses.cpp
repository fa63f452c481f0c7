#include "mail/KnownAddresses.h"

#include "mail/MailFiles.h"
#include "mail/MailPost.h"
#include "mail/SavedMail.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace tolvan::KnownAddresses {

namespace {

// The boxes start with prompts such as "TO:", "From-" or "To: "; a prompt
// alone is no address.
bool isBarePrompt(const QString& text)
{
    static const QRegularExpression prompt(QStringLiteral("^(to|from)\\s*[:\\-]?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    return prompt.match(text).hasMatch();
}

std::optional<MailCodec::MailFields> fieldsOf(const QString& path)
{
    const Result<QString> file = MailFiles::ReadWholeFile(path);
    if (!file.ok() || file->trimmed().isEmpty()) {
        return std::nullopt;
    }
    if (!MailCodec::IsPlainMailText(file.value())) {
        const MailCodec::ParsedMail coded = MailCodec::ParseCodedMail(file.value());
        if (coded.status == MailCodec::ParsedMail::Status::Ok) {
            return coded.fields;
        }
    }
    const SavedMail::ReaderFields plain = SavedMail::SplitForReader(file.value());
    return MailCodec::MailFields{plain.to.value_or(QString()), {}, {}, plain.from.value_or(QString())};
}

} // namespace

QStringList FromMails(const QList<MailCodec::MailFields>& newestFirst, int cap)
{
    QStringList out;
    QSet<QString> seen;
    for (const MailCodec::MailFields& mail : newestFirst) {
        for (const QString& raw : {mail.to, mail.from}) {
            const QString text = raw.trimmed();
            if (out.size() >= cap) {
                return out;
            }
            if (text.isEmpty() || isBarePrompt(text) || seen.contains(text.toCaseFolded())) {
                continue;
            }
            seen.insert(text.toCaseFolded());
            out << text;
        }
    }
    return out;
}

QStringList Collect(const ConfigStore& store, int cap)
{
    QFileInfoList files;
    const auto addFolder = [&files](const QString& folder) {
        if (!folder.isEmpty()) {
            files += QDir(folder).entryInfoList(QDir::Files);
        }
    };
    addFolder(MailPost::SentMailFolder(store));
    addFolder(SavedMail::SaveFolder(store).value());
    const QFileInfo lastRead(MailPost::HandOverPath(MailPost::kMailHandOver));
    if (lastRead.isFile()) {
        files << lastRead;
    }
    std::stable_sort(files.begin(), files.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.lastModified() > b.lastModified();
    });
    QList<MailCodec::MailFields> mails;
    for (const QFileInfo& f : files) {
        // Each mail gives at most two entries; stop reading once that is enough.
        if (mails.size() >= cap) {
            break;
        }
        if (const std::optional<MailCodec::MailFields> fields = fieldsOf(f.absoluteFilePath())) {
            mails << *fields;
        }
    }
    return FromMails(mails, cap);
}

} // namespace tolvan::KnownAddresses
