#pragma once

#include "platform/Result.h"
#include "platform/SafeFile.h"

#include <QString>

namespace tolvan::MailFiles {

// Appends text and CR LF in the code page, creating the file when missing.
// A failure names the file and the reason.
Result<> AppendLine(const QString& path, const QString& text);
// The longest mail text file read whole (a saved-mail file collects every
// mail saved within one minute).
constexpr qint64 kMaxTextFileBytes = 64 * 1024 * 1024;

// The whole file in the code page, read as SafeFile::Reader reads: a regular
// file only, a link only when links says so.
Result<QString> ReadWholeFile(const QString& path, SafeFile::Links links = SafeFile::Links::Refuse);
// The whole file of a coded mail; a file longer than any sender writes
// (MailCodec::kMaxCodedMailFileBytes) is refused before it is read.
Result<QString> ReadCodedMailFile(const QString& path, SafeFile::Links links = SafeFile::Links::Refuse);

} // namespace tolvan::MailFiles
