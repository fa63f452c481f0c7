#pragma once

#include "platform/Result.h"

#include <QString>
#include <QStringList>

namespace tolvan {

// The station folder holds one station's store files, its sent copies, its
// received attachments and the hand-over files. Two stations (two call signs)
// on one machine each run with a folder of their own.
//
// Its path text always ends with "/", so the store's prefix-rule files land
// inside it, never beside it in the parent folder.
namespace StationFolder {

// The folder chosen when the operator gives none: the executable's own folder
// when it is a writable copy outside the system folders (a build or unpacked
// copy, portable use), otherwise the per-user data folder.
QString Choose(const QString& explicitFolder, const QString& executableFolder, const QString& dataHome);

// Whether programs in this folder belong to the system (installed by a
// package) rather than to a copy the operator unpacked or built.
bool IsSystemFolder(const QString& folder);

// $XDG_DATA_HOME/tolvan-pm, or ~/.local/share/tolvan-pm.
QString DefaultDataFolder();

// The folder's absolute path text ending with "/".
QString WithSeparator(const QString& folder);

// The folder's own name, for telling two stations apart on screen.
QString DisplayName(const QString& stationFolder);

// Creates the folder when missing, then moves in, once, every prefix-rule
// store file that an earlier version left beside the folder (in the parent,
// named with the folder's name in front) and that is missing inside it. The
// value is the store files brought in; a failure says why the folder cannot
// be used, for the operator.
Result<QStringList> Prepare(const QString& stationFolder);

// The names of the store files that lie under the prefix rule.
const QStringList& PrefixRuleNames();

} // namespace StationFolder

} // namespace tolvan
