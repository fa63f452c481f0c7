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

// The plan in words, shown to the operator before anything happens.
QString Describe(const QList<Entry>& plan);

// Creates every folder (existing ones are kept with their content) and then
// stores them and switches auto-save on; a folder that cannot be made stops it before anything is stored.
// A failure names the folder or store file that failed.
Result<> Apply(ConfigStore& store, const QList<Entry>& plan);

} // namespace StandardFolders

} // namespace tolvan
