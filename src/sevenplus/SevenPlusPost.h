#pragma once

#include "platform/Result.h"

#include <QString>
#include <QStringList>

namespace tolvan {

// Posts the parts of a 7PLUS set as they are, for the terminal to send: a raw
// part carries no address, so the parts go into the send folder's sub-folder
// named by the destination's call sign in upper case ("<send>/N0BBB-1/"),
// which the terminal sends to that station. Each part appears there whole
// under its own name, or under the next free numbered name when that one is
// taken; nothing there is ever replaced. The parts leave the set's folder
// only once every copy is safely on disk; on a failure nothing is posted and
// the set stays where it was. The value is the paths written.
Result<QStringList> PostSevenPlusParts(const QStringList& partPaths, const QString& sendFolder,
                                       const QString& destination);

} // namespace tolvan
