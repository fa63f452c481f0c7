#include "mail/MailFiles.h"

#include "platform/AnsiCodec.h"

#include <QFile>

namespace tolvan::MailFiles {

FileResult AppendLine(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return {false, QStringLiteral("Cannot open \"%1\" for writing: %2").arg(path, file.errorString())};
    }
    QByteArray bytes = Ansi::encode(text);
    bytes.append("\r\n");
    // One write call, so another program never sees the line without its end
    // unless the disk is full, which is reported.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        return {false, QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString())};
    }
    file.close();
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
