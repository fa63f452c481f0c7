#pragma once

#include "platform/Result.h"

#include <QString>

namespace tolvan {

// The name with a number added before its extension: "MAIL - X.txt" with 2
// gives "MAIL - X (2).txt"; 0 gives the name itself. A leading dot does not
// start an extension.
QString NumberedName(const QString& name, int number);

// Moves the file at `from` into `folder` under `name`, or under the first
// numbered name that is free there, in one rename that never replaces
// anything (a link at a name counts as taken). Gives the path it now has; on
// failure the file stays where it was.
Result<QString> MoveUnderFreeName(const QString& from, const QString& folder, const QString& name);

} // namespace tolvan
