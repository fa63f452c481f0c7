#pragma once

#include <QString>

namespace tolvan {

// The one rule for the name of a file that arrives from another station (the
// PMBA attachment, the regular file mail's file, the 7PLUS header name),
// applied to the name as it will be written. The senders apply the same rule
// plus the code page, so nothing is accepted at one end and refused at the
// other.
namespace ReceivedName {

// Why the name may not be written, as the end of a sentence such as
// "it holds the control character U+0007"; empty when it may. Refused: an
// empty name, "." and "..", any of \ / : * ? " < > |, C0 and C1 control
// characters and DEL, a name that begins with "." or "-" or ends with a space
// or a dot, the device names of Windows (con, prn, aux, nul, com1-com9,
// lpt1-lpt9, with any extension, in any letter case), and the names of the
// program's own files (its executables, store files, hand-over files and
// folders), in any letter case.
QString Problem(const QString& name);

// The name as it may be shown to the operator, in a box or on a terminal:
// control characters, DEL and the characters that reorder text appear as
// \xHH or \uHHHH, so a hostile name can neither drive the terminal nor pose
// as another name.
QString Shown(const QString& name);
// The same for a whole message, which keeps its line breaks and tabs when
// keepLineBreaks is set.
QString Printable(const QString& text, bool keepLineBreaks = true);

// Problem, and also a character that the code page cannot carry, named with
// its code point.
QString SendProblem(const QString& name);

// The first character of text that the code page lacks (it would arrive as
// "?"), described as "\"X\" (U+XXXX)"; empty when there is none. Control
// characters are left to the name rule.
QString FirstCharacterOutsideCodePage(const QString& text);

// True for a character that never appears in a file name written here: a
// separator or wildcard of either system, or a control character.
bool IsForbiddenChar(char32_t c);

} // namespace ReceivedName
} // namespace tolvan
