#pragma once

#include "platform/Result.h"

#include <QByteArrayView>
#include <QString>

namespace tolvan {

// A file that appears under its final name only once it is complete. The bytes
// go to a hidden temporary file in the same folder (folder lists and the packet
// programs skip dot names), which is renamed when committed; an uncommitted
// temporary file is removed when this object goes away, and one left behind
// by a writer that was killed is removed by the next writer into its folder
// once it is a day old.
//
// Every whole-file writer of the program goes through here, because received
// names and folders are not to be trusted:
// - nothing is ever written through a symbolic link: a link (even a dangling
//   one) or anything else that is not a regular file at the final name is
//   refused with a message naming it, and the commit is a rename, never a copy;
// - a replaced file passes on at most its read and write bits, so a received
//   file never becomes a program (no execute, setuid, setgid or sticky bit);
// - a write cut short (a full disk, a file-size limit) fails with a message
//   saying how much was written, and the temporary file is removed.
class AtomicFile {
public:
    enum class Mode {
        Replace,   // a regular file of the final name is replaced in one step
        NoReplace, // any file of the final name makes the writer fail
    };
    enum class Failure {
        None,
        InTheWay, // a link or a non-regular file stands at the final name
        Exists,   // NoReplace, or a fixed work file that already exists
        DiskFull, // a write was cut short
        Other,
    };

    // workPath, when given, is the temporary file's fixed name instead of a
    // drawn hidden one. It is locked while its writer runs: a work file of
    // that name that nobody holds was left by a run that ended and is
    // removed; one that is held makes open() fail with Exists.
    AtomicFile(QString finalPath, Mode mode, QString workPath = {});
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Whether the content goes to disk before the rename (on by default); a
    // set of many parts may skip it.
    void setSync(bool sync) { m_sync = sync; }
    // The whole file's size when known, so a write cut short can say how
    // much of the file, not of one piece, was written.
    void setExpectedSize(qint64 bytes) { m_expected = bytes; }
    // Whether the file is readable and writable by its owner only, whatever
    // the file it replaces allowed (off by default). Set before open().
    void setPrivate(bool ownerOnly) { m_private = ownerOnly; }

    bool open();
    bool write(QByteArrayView bytes);
    // Flushes to disk, closes and renames. False leaves nothing behind.
    bool commit();
    void discard();

    const QString& finalPath() const { return m_finalPath; }
    const QString& tempPath() const { return m_tempPath; }
    // The description of the last failure, for the operator.
    const QString& errorString() const { return m_error; }
    Failure failure() const { return m_failure; }

    // Whether writeWhole waits for the disk before the rename.
    enum class Sync { Yes, No };
    // Writes bytes in one go; a failure's text names the file and the reason.
    static Result<> writeWhole(const QString& finalPath, QByteArrayView bytes, Mode mode, Sync sync = Sync::Yes,
                               bool ownerOnly = false);

    // Why nothing may be written at path: a symbolic link or something other
    // than a regular file stands there. Empty when the name is free or holds a
    // regular file.
    static QString obstacle(const QString& path);
    // True when anything, a dangling link included, has this name.
    static bool occupied(const QString& path);
    // Renames from to to unless to is taken (by a dangling link too); 0, or
    // the errno (EEXIST when taken). Never follows a link at to.
    static int renameNoReplace(const QByteArray& from, const QByteArray& to);
    // The message of a write cut short after `written` of `wanted` bytes
    // (wanted < 0: not known).
    static QString shortWriteMessage(qint64 written, qint64 wanted, const QString& path);

private:
    bool fail(Failure kind, const QString& message);
    bool openWorkFile(const QString& folder);

    QString m_finalPath;
    Mode m_mode;
    QString m_workPath;
    QString m_tempPath;
    int m_fd = -1;
    bool m_sync = true;
    qint64 m_written = 0;
    qint64 m_expected = -1;
    bool m_private = false;
    QString m_error;
    Failure m_failure = Failure::None;
};

} // namespace tolvan
