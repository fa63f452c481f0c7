#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QString>

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

// What "delete all" will work on. With proceed false, boxes holds the refusal
// and nothing is deleted; otherwise boxes holds the notice shown before the
// deletion.
struct DeleteAllPlan {
    bool proceed = false;
    QString folder;
    QList<MessageBoxRequest> boxes;
};

// Settles the folder: it must be stored, be a full path and exist, so that an
// empty or stale entry can never point the deletion somewhere else.
DeleteAllPlan PlanDeleteAll(const ConfigStore& store);
// Deletes the ordinary files directly in folder (no subfolder, no hidden file).
DeleteOutcome DeleteAllFiles(const QString& folder);

} // namespace SendFolder
} // namespace tolvan
