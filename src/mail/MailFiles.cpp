#include "mail/MailFiles.h"

#include "platform/AnsiCodec.h"
#include "platform/SafeFile.h"

#include "mail/MailCodec.h"

#include <QFile>
#include <QFileInfo>

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

Result<QString> ReadWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Fail(QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return Fail(QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString()));
    }
    return Ansi::decode(bytes);
}

Result<QString> ReadCodedMailFile(const QString& path)
{
    if (const qint64 size = QFileInfo(path).size(); size > MailCodec::kMaxCodedMailFileBytes) {
        return Fail(QStringLiteral("\"%1\" is %2 bytes long; a coded mail file is at most %3 bytes.")
                        .arg(path)
                        .arg(size)
                        .arg(MailCodec::kMaxCodedMailFileBytes));
    }
    return ReadWholeFile(path);
}

} // namespace tolvan::MailFiles
