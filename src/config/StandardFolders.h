#pragma once

#include "config/ConfigStore.h"
#include "platform/Result.h"

#include <QList>
#include <QString>

namespace tolvan {

// One click to a working set of mail folders: Receive, Send, Save and
// Attachments in a TOLVAN folder in the operator's home, stored as the
// receive, send, save and attachment folders.
namespace StandardFolders {

struct Entry {
    QString storeFile; // canonical store name
    QString folder;    // absolute folder path
};

// What would be created and stored, for a home folder.
QList<Entry> Plan(const QString& home);

// A packet program the standard set-up fills in.
struct Program {
    QString storeFile; // canonical store name
    QString name;      // for the operator
    QString path;      // the program file, or "blank" when it is not installed
    bool kept = false; // the section already names a program file that exists
};

// The TOLVAN Terminal (tolvan-terminal beside the running program first, then
// on the PATH) and Direwolf (direwolf on the PATH). A section that already
// names an existing program file keeps it: the operator chose that one.
QList<Program> PlanPrograms(const ConfigStore& store, const QString& executableFolder, const QStringList& pathFolders);

// The folders of $PATH, in order.
QStringList PathFolders();

// The plan in words, shown to the operator before anything happens.
QString Describe(const QList<Entry>& plan, const QList<Program>& programs = {});

// Creates every folder (existing ones are kept with their content) and then
// stores them and switches auto-save on; a folder that cannot be made stops it before anything is stored.
// Then stores the programs and, once the station's call sign is known, writes
// its Direwolf configuration. A failure names the folder or file that failed.
Result<> Apply(ConfigStore& store, const QList<Entry>& plan, const QList<Program>& programs = {});

} // namespace StandardFolders

} // namespace tolvan
