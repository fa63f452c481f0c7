#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>


namespace tolvan {

class Clock;

// Where files arriving from other stations are written, one file at a time.
//
// A file is written under a hidden name in the receive folder,
// ".tolvan-yapp-<FROMCALL>-<name>.part", which the folder watches never
// announce, and is renamed to its own name only when it is whole: its size is
// the one the sender announced. The final name goes through the received-file
// name rule; a name already taken gets a number added, so nothing is ever
// overwritten. A write failure (a full disk) removes the partial file so
// nothing half-written stays.
//
// When the link breaks in the middle of a file the partial file stays, so the
// same station can go on where it stopped (the sender is told how many bytes
// are held). Beside it a small hidden ".info" file remembers the size the
// sender announced and the date it gave, and a resume is offered only for
// the same size and date. Partial
// files untouched for 24 hours are removed at the next start of a file and
// whenever expire() is called.
//
// A file received whole leaves a small hidden ".done" note for 24 hours: when
// the same station offers the same file again (same name, size and date), as
// happens when the link broke after the file was in place but before the
// sender heard so, the file is not written a second time; begin() answers
// that every byte is held and finish() gives the file already there.
//
// The constructor removes what has expired. One object serves one session; several sessions may use the same folder,
// since the partial names carry the sending station.
class ReceiveStore {
public:
    // The largest file accepted: the largest file the mail readers accept.
    static const qint64 kLargestFile;
    // How long a partial file is kept for its station to resume it.
    static constexpr qint64 kKeepPartialSeconds = 24 * 60 * 60;

    // clock may be null for the wall clock; tests pass their own.
    explicit ReceiveStore(QString receiveFolder, const Clock* clock = nullptr, qint64 largestFile = kLargestFile);
    ~ReceiveStore();
    ReceiveStore(const ReceiveStore&) = delete;
    ReceiveStore& operator=(const ReceiveStore&) = delete;

    const QString& folder() const { return m_folder; }

    // The hidden partial file for a file from a station.
    QString partialPath(const QString& fromCall, const QString& name) const;

    // Removes partial files (and their .info files) untouched for longer than
    // kKeepPartialSeconds.
    void expire();

    // Starts a file of `size` bytes named `name` from `fromCall`. Answers how
    // many bytes are already held from an earlier, broken transfer of the same
    // file from the same station (0 when none, or when resume is false, in
    // which case an old partial is discarded). Refuses, saying why, a name the
    // received-file name rule refuses, a size above the largest file
    // accepted, or a partial file that cannot be made. A file already in
    // progress is kept for resume first. senderDate, the date the sender
    // gave (may be empty), must also match for a resume.
    Result<qint64> begin(const QString& fromCall, const QString& name, qint64 size, bool resume = true,
                         const QByteArray& senderDate = {});

    // Appends bytes to the file in progress. A write failure (a full disk)
    // removes the partial file and says why; the transfer must be cancelled.
    // Bytes beyond the announced size are refused the same way.
    Result<> write(QByteArrayView bytes);

    // Bytes held of the file in progress (the resume offset included).
    qint64 held() const { return m_held; }
    qint64 expected() const { return m_size; }
    bool active() const { return m_fd >= 0 || !m_already.isEmpty(); }
    // The file in progress is one received whole before (see above).
    bool alreadyHeld() const { return !m_already.isEmpty(); }
    const QString& currentName() const { return m_name; }

    // The file in progress is complete: checks that it holds exactly the
    // announced size, then renames it to its own name in the receive folder
    // (a number added when that name is taken) and gives the final path. On a
    // failure the partial file is removed and the reason given.
    Result<QString> finish();

    // The link broke: the partial file stays for resume by the same station.
    void keepForResume();

    // The transfer was cancelled or refused: the partial file is removed.
    void discard();

private:
    void closeCurrent();
    void removeCurrent();
    QDateTime now() const;
    static QString infoPath(const QString& partial);
    static QString donePath(const QString& partial);

    QString m_folder;
    const Clock* m_clock = nullptr;
    qint64 m_largest = 0;
    int m_fd = -1;
    QString m_from;
    QString m_name;
    QString m_partial;
    QString m_already; // the earlier copy of the file in progress, if any
    QByteArray m_info; // size and date of the file in progress
    qint64 m_size = 0;
    qint64 m_held = 0;
};

} // namespace tolvan
