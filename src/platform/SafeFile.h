#pragma once

#include <QByteArray>
#include <QString>

namespace tolvan::SafeFile {

struct Result {
    bool ok = true;
    QString error; // names the file and the reason
};

// Replaces the file at path with bytes: they are written to a hidden temporary
// file in the same folder, synced, and renamed over the old file, so a reader
// sees either the old content or the whole new one, never a part. Every short
// write is an error (a full disk or a size limit), and then the temporary file
// is removed and the old file is untouched.
Result replace(const QString& path, const QByteArray& bytes);

// Appends bytes to the file at path (created when missing) in one write loop
// that reports a short write instead of taking it for success.
Result append(const QString& path, const QByteArray& bytes);

} // namespace tolvan::SafeFile
