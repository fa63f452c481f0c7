#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

namespace tolvan::SafeFile {

// A failure's text names the file and the reason.

// Replaces the file at path with bytes through an AtomicFile: a reader sees
// either the old content or the whole new one, never a part; on any failure
// the old file is untouched and no temporary file is left.
Result<> replace(const QString& path, const QByteArray& bytes);

// Appends bytes to the file at path (created when missing) in one write loop
// that reports a short write instead of taking it for success.
Result<> append(const QString& path, const QByteArray& bytes);

// The same as replace, but the new file is readable and writable by its owner
// only: for hand-over files, which hold received mail.
Result<> replacePrivate(const QString& path, const QByteArray& bytes);

// Whether a symbolic link at the name is followed when reading. Received files
// and the program's own hand-over files never are; a path the operator gave
// (or a store file the operator may have linked) is.
enum class Links { Refuse, Follow };

// What stands at path when it is not a regular file ("a symbolic link",
// "a FIFO", "a folder", ...), looked at without following a link; empty for a
// regular file or a missing name.
QString NonRegularKind(const QString& path);

// The one way the program reads a file: one descriptor, opened without
// blocking (a FIFO with no writer would hang the program), only a regular
// file, its size limit applied before anything is read, and every byte read
// from that descriptor, so that a file replaced meanwhile is never mixed with
// its successor. A file rewritten in place while it was read is refused by
// finish(). Every failure's text names the file and the reason.
class Reader {
public:
    Reader() = default;
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // maxBytes < 0: no limit.
    Result<> open(const QString& path, qint64 maxBytes, Links links = Links::Refuse);
    // The size when opened.
    qint64 size() const { return m_size; }
    // Up to max bytes; 0 at the end, -1 on a failure (see error()). Never
    // reads past the size limit: a file that grew beyond it fails.
    qint64 read(char* buffer, qint64 max);
    const QString& error() const { return m_error; }
    // The open descriptor, for a reader that reads it by other means (a QFile
    // opened on it without taking it over); -1 when not open.
    int descriptor() const { return m_fd; }
    // Closes the file; fails when it changed while it was read.
    Result<> finish();

private:
    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
    qint64 m_limit = -1;
    qint64 m_done = 0;
    bool m_counted = false; // every byte went through read()
    struct stat m_opened {};
    QString m_error;
};

// The whole file through a Reader.
Result<QByteArray> ReadWhole(const QString& path, qint64 maxBytes, Links links = Links::Refuse);
// At most the first n bytes, through a Reader without the change check: for a
// look at a file's kind. A larger file is no failure.
Result<QByteArray> ReadHead(const QString& path, qint64 n, Links links = Links::Refuse);

} // namespace tolvan::SafeFile
