#pragma once

#include <QString>

namespace tolvan::IncomingFile {

// False when the file's own format shows that bytes are still missing: a PMBA
// mail shorter than its length fields add up to, a coded mail or a regular
// file mail whose text does not end in its line end yet (or is still empty).
// Anything else, including files that are broken rather than short, counts
// as complete here: the reader that opens it reports what is wrong. Never
// shows anything; a file that cannot be read counts as complete too.
bool FormatComplete(const QString& path);

// The kind of an incoming file, as the received screen would route it:
// "pmba", "sevenplus-part" (its first block is a valid 7PLUS header),
// "mail", "filemail" or "unknown". Reads the first 64 KiB at most.
QString Kind(const QString& path);

} // namespace tolvan::IncomingFile
