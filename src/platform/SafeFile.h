#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QString>

namespace tolvan::SafeFile {

// A failure's text names the file and the reason.

// Replaces the file at path with bytes through an AtomicFile: a reader sees
// either the old content or the whole new one, never a part; on any failure
// the old file is untouched and no temporary file is left.
Result<> replace(const QString& path, const QByteArray& bytes);

// Appends bytes to the file at path (created when missing) in one write loop
// that reports a short write instead of taking it for success.
Result<> append(const QString& path, const QByteArray& bytes);

} // namespace tolvan::SafeFile
