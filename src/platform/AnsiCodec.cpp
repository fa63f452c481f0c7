#include "platform/AnsiCodec.h"

#include <QSet>
#include <QStringList>

#include <array>

namespace tolvan::Ansi {

namespace {

// 0x80..0x9F; the five bytes Windows leaves undefined map to the C1 controls
// of the same value, as Windows itself does, so every byte round-trips.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

char16_t charOf(unsigned char code)
{
    if (code >= 0x80 && code <= 0x9F) {
        return kHigh[code - 0x80];
    }
    return code;
}

unsigned char codeOf(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<unsigned char>(cp);
    }
    for (size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == cp) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return '?';
}

QByteArray encode(QStringView text)
{
    // At most one byte per UTF-16 unit, written through a pointer.
    QByteArray out(text.size(), Qt::Uninitialized);
    char* d = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80) {
            *d++ = static_cast<char>(u);
            continue;
        }
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            // One character outside the code page, whatever it is.
            ++i;
            *d++ = '?';
            continue;
        }
        // A lone surrogate is no character of the code page either.
        *d++ = static_cast<char>(codeOf(c.isSurrogate() ? 0xFFFD : u));
    }
    out.truncate(d - out.constData());
    return out;
}

QString lostCharacters(QStringView text)
{
    QString lost;
    QSet<char32_t> seen;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80) {
            continue;
        }
        char32_t cp = c.unicode();
        qsizetype n = 1;
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(c, text[i + 1]);
            n = 2;
        } else if (!c.isSurrogate() && codeOf(cp) != '?') {
            continue;
        }
        if (!seen.contains(cp)) {
            seen.insert(cp);
            lost += text.sliced(i, n);
        }
        i += n - 1;
    }
    return lost;
}

QString describeCharacters(QStringView characters)
{
    QStringList items;
    for (qsizetype i = 0; i < characters.size(); ++i) {
        char32_t cp = characters[i].unicode();
        qsizetype n = 1;
        if (characters[i].isHighSurrogate() && i + 1 < characters.size() && characters[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(characters[i], characters[i + 1]);
            n = 2;
        }
        // A lone surrogate cannot be shown; its code point still names it.
        const QString shown = QChar::isSurrogate(cp) ? QString() : characters.sliced(i, n).toString() + u' ';
        items << shown + QStringLiteral("(U+%1)").arg(uint(cp), 4, 16, QChar(u'0')).toUpper();
        i += n - 1;
    }
    return items.join(QStringLiteral(", "));
}

QString decode(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        d[i] = QChar(charOf(static_cast<unsigned char>(bytes[i])));
    }
    return out;
}

} // namespace tolvan::Ansi
