#pragma once

#include "platform/Result.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace tolvan {

// What a file in the send folder looked like at one moment: a file that is
// sent is compared with the look it had when it was opened, so a file changed
// while on the air is never taken for sent.
struct FileStamp {
    qint64 size = -1;
    qint64 modifiedMs = 0; // modification time, milliseconds since the epoch
    quint64 inode = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path now; size -1 when it cannot be read.
FileStamp StampOf(const QString& path);

// One file waiting in the send folder.
struct OutgoingFile {
    QString path;        // absolute path in the send folder
    QString name;        // the name it is sent under (its own file name)
    QString destination; // call sign with optional -SSID, upper case
    FileStamp stamp;     // as seen by the scan; the sender replaces it when it opens the file
};

// The files of one destination, in name order.
struct Destination {
    QString call;
    QList<OutgoingFile> files;
};

// The files waiting in the send folder and where each one goes, and what
// becomes of a file once the receiving station has acknowledged it whole.
//
// A waiting file is a regular file directly in the send folder whose name does
// not begin with "." (hidden files and the "Transmitted" folder are left
// alone). Its destination is the call sign in its To field when it is a coded
// mail, a PMBA mail or a regular file mail and that field holds a valid call
// sign (a prompt such as "TO-", "TO:" or "TO " before it is dropped);
// otherwise the default destination.
//
// A file may also be addressed by where it lies: every regular file (not
// hidden) in a sub-folder named by a valid call sign, such as
// "<send folder>/N0BBB-1/PHOTO.P01", goes to that station whatever it holds,
// under its bare file name. Raw files, 7PLUS parts among them, carry no
// address of their own. Sent files of both kinds move into Transmitted.
class SendQueue {
public:
    explicit SendQueue(QString sendFolder);

    const QString& folder() const { return m_folder; }
    // "<send folder>/Transmitted"
    QString transmittedFolder() const;
    // "<send folder>/Transmitted/journal.txt"
    QString journalPath() const;

    // The waiting files grouped by destination, destinations in call-sign
    // order. Files whose destination cannot be found and for which no valid
    // default is given are left out and named in `undeliverable`.
    QList<Destination> scan(const QString& defaultDestination, QStringList* undeliverable = nullptr) const;

    // The sub-folders named by a call sign, whose files go to that station.
    QStringList addressFolders() const;

    // The destination of one file: the call sign from its To field when it
    // has one, else the default (empty when the default is no call sign).
    static QString DestinationOf(const QString& path, const QString& defaultDestination);

    // The call sign in a To field, without a prompt before it and upper-cased,
    // or empty when the field holds none ("TO: n0bbb-1" gives "N0BBB-1").
    static QString CallFromToField(const QString& field);

    // True for a call sign with an optional -SSID (0-15): one to six letters
    // and digits holding at least one digit and one letter.
    static bool IsCallSign(const QString& call);

    // What became of a file the peer acknowledged whole.
    enum class SentOutcome {
        Moved,   // moved into Transmitted and written in the journal
        Changed, // it changed while being sent: left in place, to be sent again whole
        Gone,    // it was removed or renamed meanwhile: nothing to move
    };

    // Called once the receiving station acknowledged the whole file: when
    // the file still has the stamp it had when it was opened, moves it into
    // Transmitted with one rename (a number is added when the name is taken
    // there; nothing is overwritten) and appends a journal line:
    // local ISO time TAB destination TAB name TAB bytes TAB seconds.
    // A failure (Transmitted cannot be made, the rename fails) leaves the
    // file where it was and says why; the journal failing after the move is
    // reported but the file stays moved, so it is never sent twice.
    Result<SentOutcome> markSent(const OutgoingFile& file, qint64 bytes, double seconds,
                                 const QDateTime& when = QDateTime::currentDateTime()) const;

private:
    QString m_folder;
};

} // namespace tolvan
