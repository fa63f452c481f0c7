#pragma once

#include "platform/Dialogs.h"
#include "platform/Result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolvan {

class ConfigStore;

// The outgoing list of the communication center: the mail files waiting in the
// send folder for the packet program, and their deletion.
namespace SendFolder {

inline const QString kSendFile = QStringLiteral("send.dat");

// The folder the outgoing list shows: the stored send folder with surrounding
// spaces trimmed; empty when none is stored or it cannot be read.
QString ListedFolder(const ConfigStore& store);

// The result of a deletion: the boxes to show, in order, and whether the list
// is to be read again.
struct DeleteOutcome {
    QList<MessageBoxRequest> boxes;
    bool refresh = false;
};

// Deletes the file selected in the list; an empty name means none is selected.
DeleteOutcome DeleteSelectedFile(const QString& folder, const QString& name);

// What "delete all" will work on: names are the files listed now, and when
// there are any, question asks the operator first (Yes/No, default No): only
// those files are deleted, never one that arrived while the question was open.
struct DeleteAllPlan {
    QString folder;
    QStringList names;
    std::optional<MessageBoxRequest> question;
};

// Settles the folder: it must be stored, be a full path and exist, so that an
// empty or stale entry can never point the deletion somewhere else. A refusal
// carries its box, and nothing is deleted.
Result<DeleteAllPlan> PlanDeleteAll(const ConfigStore& store);
// Deletes the named ordinary files directly in folder (no subfolder, no
// hidden file); no name at all is reported as an error.
DeleteOutcome DeleteAllFiles(const QString& folder, const QStringList& names);

} // namespace SendFolder
} // namespace tolvan
