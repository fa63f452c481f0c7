#include "mail/MailFiles.h"

#include "platform/AnsiCodec.h"
#include "platform/SafeFile.h"

#include "mail/MailCodec.h"

#include <QFile>
#include <QFileInfo>

namespace tolvan::MailFiles {

FileResult AppendLine(const QString& path, const QString& text)
{
    QByteArray bytes = Ansi::encode(text);
    bytes.append("\r\n");
    const Result<> r = SafeFile::append(path, bytes);
    if (!r.ok()) {
        return {false, QStringLiteral("Cannot write the mail file %1").arg(r.error())};
    }
    return {};
}

ReadResult ReadWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {false, {}, QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString())};
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {false, {}, QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString())};
    }
    return {true, Ansi::decode(bytes), {}};
}

ReadResult ReadCodedMailFile(const QString& path)
{
    if (const qint64 size = QFileInfo(path).size(); size > MailCodec::kMaxCodedMailFileBytes) {
        return {false,
                {},
                QStringLiteral("\"%1\" is %2 bytes long; a coded mail file is at most %3 bytes.")
                    .arg(path)
                    .arg(size)
                    .arg(MailCodec::kMaxCodedMailFileBytes)};
    }
    return ReadWholeFile(path);
}

} // namespace tolvan::MailFiles
