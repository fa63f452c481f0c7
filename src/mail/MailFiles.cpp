#include "mail/MailFiles.h"

#include "platform/AnsiCodec.h"
#include "platform/SafeFile.h"

#include "mail/MailCodec.h"

namespace tolvan::MailFiles {

Result<> AppendLine(const QString& path, const QString& text)
{
    QByteArray bytes = Ansi::encode(text);
    bytes.append("\r\n");
    const Result<> r = SafeFile::append(path, bytes);
    if (!r.ok()) {
        return Fail(QStringLiteral("Cannot write the mail file %1").arg(r.error()));
    }
    return {};
}

namespace {

Result<QString> readText(const QString& path, qint64 limit, SafeFile::Links links)
{
    const Result<QByteArray> bytes = SafeFile::ReadWhole(path, limit, links);
    if (!bytes.ok()) {
        return Fail(QStringLiteral("Cannot read the mail file: ") + bytes.error());
    }
    return Ansi::decode(bytes.value());
}

} // namespace

Result<QString> ReadWholeFile(const QString& path, SafeFile::Links links)
{
    return readText(path, kMaxTextFileBytes, links);
}

Result<QString> ReadCodedMailFile(const QString& path, SafeFile::Links links)
{
    return readText(path, MailCodec::kMaxCodedMailFileBytes, links);
}

} // namespace tolvan::MailFiles
