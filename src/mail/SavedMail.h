#pragma once

#include "platform/Dialogs.h"
#include "platform/Result.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tolvan {

class ConfigStore;

// The saved received mails and the sent copies: the lists the browser shows,
// and opening or deleting one of them.
namespace SavedMail {

// The save folder from save.dat (whole first line); on failure no folder and
// the reason for the operator.
Result<QString> SaveFolder(const ConfigStore& store);

// The names a browser list shows: ordinary files, hidden ones left out, sorted
// by name; only "*.dat" (any letter case) when datOnly.
QStringList ListFiles(const QString& folder, bool datOnly);

// Paths of a clicked entry: the received list always inserts a separator, the
// sent list only when the folder lacks one.
QString ReceivedEntryPath(const QString& folder, const QString& name);
QString SentEntryPath(const QString& folder, const QString& name);

// Reads the saved mail at path and writes it, with CR LF added, into the
// reader's hand-over file. A failure carries the box to show.
Result<> HandToReader(const QString& path);
// Checks and reads the sent copy at path and writes it, with CR LF added, into
// the inbox's hand-over file. A failure carries the box to show.
Result<> HandToInbox(const QString& path);

// Deletes a listed file; false when it could not be deleted.
bool DeleteEntry(const QString& folder, const QString& name);

// The four boxes of the reader filled from a plain mail text: a part that is
// missing leaves its box as it was.
struct ReaderFields {
    std::optional<QString> to;
    std::optional<QString> subject;
    std::optional<QString> message;
    std::optional<QString> from;
};
ReaderFields SplitForReader(const QString& wholeText);

} // namespace SavedMail
} // namespace tolvan
