#pragma once

#include "platform/Dialogs.h"
#include "pmba/ModPMBA.h"
#include "sevenplus/SevenPlusSets.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace tolvan {

class ConfigStore;

// What "Read Message" on the received screen does with the selected file,
// without the screens: the screen shows the messages, opens the screen the
// outcome names and, when asked to, deletes the incoming file with KillFile.
namespace ReceiveRouting {

enum class Kind { Mail, FileMail, Unrecognized };

// The words in the name decide first: "MAIL" makes a mail, else "FILE" a file
// mail, in any letter case. Only a name with neither is judged by content, in
// the same order. A file mail's Base64 text may well contain "mail", so
// judging content first would send it to the inbox.
Kind Classify(const QString& fileName, QByteArrayView content);

struct Route {
    enum class Outcome {
        NoSelection,  // "No file selected."
        NotFound,     // no ordinary file at the path
        NotRegular,   // a link, FIFO, device or folder: listed, never read
        InboxBusy,    // a mail while the inbox shows another: nothing written, the file stays
        Pmba,         // decoded; show the receive attachment screen in PMBA mode
        PmbaFailed,   // the incoming file stays
        Mail,         // mail.dat written; show the inbox
        FileMail,     // the attachment hand-over file written; show the receive attachment screen,
                      // which deletes the incoming file once the carried file is safe
        Unrecognized, // the incoming file stays
        Unreadable,   // a mail or file mail its reader refused; the incoming file stays
        ReceiveError, // nothing deleted, no screen opened
        // 7PLUS parts are never deleted by reading them and never reach the
        // mail readers. A whole set is decoded by the screen; otherwise the
        // messages say what is missing or damaged.
        SevenPlusSet,        // all parts there; decode from sevenPlusPart1
        SevenPlusIncomplete, // the parts stay; the messages name the missing ones
        SevenPlusDamaged,    // a part whose header fails its check; it stays
    } outcome = Outcome::ReceiveError;
    QString incomingPath;
    ModPMBA::DecodedPmbaMail pmba; // for Outcome::Pmba
    // True only once the incoming file's content passed its reader's checks
    // and is safe in its hand-over file.
    bool deleteIncoming = false;
    // For Outcome::Mail: the mail is plain text, not a coded mail line.
    bool plainText = false;
    QList<MessageBoxRequest> messages; // to show, in order
    // For the 7PLUS outcomes: the set the file belongs to, and the full path
    // of its part 1 when the set is whole.
    SevenPlusSets::Set sevenPlusSet;
    QString sevenPlusPart1;
};

struct Paths {
    QString mailDat;            // the inbox's hand-over file, "mail.dat" among the hand-over files
    QString attachmentHandOver; // the program folder's path text followed by "temp"
    QString attachmentFolder;   // "PMBA-Binary-Received" inside the program folder
    // The inbox is shown with a mail the operator may be reading or answering:
    // "mail.dat" is then neither replaced nor removed, and a mail waits.
    bool inboxShown = false;
};
// The hand-over paths for this store.
Paths DefaultPaths(const ConfigStore& store);

// The most an incoming file may hold to be read: the longest file mail.
constexpr qint64 kMaxIncomingBytes = 96 * 1024 * 1024;

// Routes the file selectedName of the receive folder named in "receive.dat".
Route RouteIncoming(const ConfigStore& store, const QString& selectedName, const Paths& paths);

// Deletes an ordinary file, asking after each failure whether to try again.
// A "No" leaves the file, says so, and returns false. processEvents lets the
// screens repaint between attempts.
bool KillFile(Dialogs& dialogs, const QString& filePath, const std::function<void()>& processEvents = {});

} // namespace ReceiveRouting
} // namespace tolvan
