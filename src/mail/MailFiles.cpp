#include "mail/MailFiles.h"

#include "platform/AnsiCodec.h"
#include "platform/SafeFile.h"

#include <QFile>

namespace tolvan::MailFiles {

FileResult AppendLine(const QString& path, const QString& text)
{
    QByteArray bytes = Ansi::encode(text);
    bytes.append("\r\n");
    const SafeFile::Result r = SafeFile::append(path, bytes);
    if (!r.ok) {
        return {false, QStringLiteral("Cannot write the mail file %1").arg(r.error)};
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

} // namespace tolvan::MailFiles
