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

} // namespace Ansi
} // namespace tolvan
