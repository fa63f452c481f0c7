#pragma once

#include "platform/Result.h"

#include <QString>

namespace tolvan::MailFiles {

// Appends text and CR LF in the code page, creating the file when missing.
// A failure names the file and the reason.
Result<> AppendLine(const QString& path, const QString& text);
// The whole file in the code page.
Result<QString> ReadWholeFile(const QString& path);
// The whole file of a coded mail; a file longer than any sender writes
// (MailCodec::kMaxCodedMailFileBytes) is refused before it is read.
Result<QString> ReadCodedMailFile(const QString& path);

} // namespace tolvan::MailFiles
