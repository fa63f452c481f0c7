#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace tolvan {

// Windows-1252, the code page of the stations we exchange files with. All 256
// bytes round-trip; a character the code page lacks becomes "?" (63).
namespace Ansi {

QByteArray encode(QStringView text);
QString decode(QByteArrayView bytes);
// The code of one character (63 when the code page lacks it).
unsigned char codeOf(char32_t codePoint);
// The character of one code.
char16_t charOf(unsigned char code);

// The characters of text that the code page cannot hold (each would be written
// as "?"), each once, in the order they first appear; empty when the text
// survives encoding whole. A character beyond the basic plane stays one
// character (a surrogate pair), a lone surrogate counts as a character.
QString lostCharacters(QStringView text);
// The characters for a message, each with its code point, so that one the
// operator's font cannot draw is still named: "\u0434 (U+0434), ...".
QString describeCharacters(QStringView characters);

} // namespace Ansi
} // namespace tolvan
