#include "sevenplus/SevenPlusPost.h"

#include "platform/AtomicFile.h"
#include "platform/SafeFile.h"
#include "terminal/FreeName.h"
#include "terminal/TerminalSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tolvan {

namespace {

// Far above the largest part (512 lines of 71 bytes and two more).
constexpr qint64 kMaxPartBytes = 1 << 20;

void removeAll(const QStringList& paths)
{
    for (const QString& path : paths) {
        QFile::remove(path);
    }
}

} // namespace

Result<QStringList> PostSevenPlusParts(const QStringList& partPaths, const QString& sendFolder,
                                       const QString& destination)
{
    const Result<QByteArray> checked = CheckCallSign(destination.trimmed());
    if (!checked.ok()) {
        return Fail(QStringLiteral("\"%1\" is not a call sign: %2").arg(destination.trimmed(), checked.error()));
    }
    if (partPaths.isEmpty()) {
        return Fail(QStringLiteral("There are no parts to post: make a set first."));
    }
    const QFileInfo send(sendFolder);
    if (sendFolder.trimmed().isEmpty() || !send.isDir()) {
        return Fail(QStringLiteral("The send folder \"%1\" does not exist. Choose it with SETUP.").arg(sendFolder));
    }
    const QString call = QString::fromLatin1(NormalCall(checked.value()));
    const QString folder = QDir(send.absoluteFilePath()).filePath(call);
    const QFileInfo sub(folder);
    if (sub.isSymLink() || (sub.exists() && !sub.isDir())) {
        return Fail(QStringLiteral("%1 is in the way: it is not a folder, so nothing can be posted to %2.")
                        .arg(folder, call));
    }
    if (!sub.exists() && !QDir().mkdir(folder)) {
        return Fail(QStringLiteral("The folder %1 cannot be created.").arg(folder));
    }

    // Hidden copies first, which the terminal does not look at; each is on
    // the disk before the next part is read.
    QStringList staged;
    for (qsizetype i = 0; i < partPaths.size(); ++i) {
        const Result<QByteArray> bytes = SafeFile::ReadWhole(partPaths[i], kMaxPartBytes);
        const QString copy = folder + QStringLiteral("/.posting-%1-").arg(i) + QFileInfo(partPaths[i]).fileName();
        Result<> written;
        if (bytes.ok()) {
            written = AtomicFile::writeWhole(copy, bytes.value(), AtomicFile::Mode::Replace);
        }
        if (!bytes.ok() || !written.ok()) {
            removeAll(staged);
            return Fail(QStringLiteral("Nothing was posted: %1").arg(bytes.ok() ? written.error() : bytes.error()));
        }
        staged << copy;
    }
    // Then each takes its name in one rename that never replaces a file.
    QStringList posted;
    for (qsizetype i = 0; i < staged.size(); ++i) {
        const Result<QString> moved = MoveUnderFreeName(staged[i], folder, QFileInfo(partPaths[i]).fileName());
        if (!moved.ok()) {
            removeAll(posted);
            removeAll(staged.mid(i));
            return Fail(QStringLiteral("Nothing was posted: %1").arg(moved.error()));
        }
        posted << moved.value();
    }
    // Every part is safe in the send folder; a set part that cannot be
    // removed stays behind as a spare copy, which loses nothing.
    for (const QString& part : partPaths) {
        QFile::remove(part);
    }
    return posted;
}

} // namespace tolvan
