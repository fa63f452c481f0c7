#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace tolvan {

// A file that appears under its final name only once it is complete. The bytes
// go to a hidden temporary file in the same folder (folder lists and the packet
// programs skip dot names), which is renamed when committed; an uncommitted
// temporary file is removed when this object goes away.
class AtomicFile {
public:
    enum class Mode {
        Replace,   // an existing file of the final name is replaced in one step
        NoReplace, // an existing file of the final name makes the commit fail
    };

    AtomicFile(QString finalPath, Mode mode);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open();
    bool write(QByteArrayView bytes);
    // Flushes to disk, closes and renames. False leaves nothing behind.
    bool commit();
    void discard();

    const QString& finalPath() const { return m_finalPath; }
    const QString& tempPath() const { return m_tempPath; }
    // The description of the last failure, for the operator.
    const QString& errorString() const { return m_error; }

    // Writes bytes in one go; the description of the failure, or empty.
    static QString writeWhole(const QString& finalPath, QByteArrayView bytes, Mode mode);

private:
    bool fail(const QString& message);

    QString m_finalPath;
    Mode m_mode;
    QString m_tempPath;
    QFile m_file;
    QString m_error;
};

} // namespace tolvan
