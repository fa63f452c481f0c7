#pragma once

#include <QString>

namespace tolvan::MailFiles {

struct FileResult {
    bool ok = true;
    QString error; // the file error's description, naming the file
};

struct ReadResult {
    bool ok = true;
    QString text;
    QString error;
};

// Appends text and CR LF in the code page, creating the file when missing.
FileResult AppendLine(const QString& path, const QString& text);
// The whole file in the code page.
ReadResult ReadWholeFile(const QString& path);
// The whole file of a coded mail; a file longer than any sender writes
// (MailCodec::kMaxCodedMailFileBytes) is refused before it is read.
ReadResult ReadCodedMailFile(const QString& path);

} // namespace tolvan::MailFiles
