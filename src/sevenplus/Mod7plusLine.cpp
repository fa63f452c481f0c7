// Line coding and check values: 62 file bytes <-> one 69-byte protected line,
// and the sealing of header and footer blocks. Pure computation on arrays.

#include "sevenplus/Mod7plus.h"

#include <algorithm>

namespace tolvan::Mod7plus {

namespace {

// The 216 code characters leave out the control characters, the space and the
// few bytes that mail gateways are known to mangle (*, DEL, 145, 147, 253..255).
struct Alphabet {
    std::array<std::uint8_t, 216> chars{};
    std::array<std::int16_t, 256> index{};

    constexpr Alphabet()
    {
        for (auto& i : index) {
            i = -1;
        }
        int n = 0;
        for (int b = 33; b <= 252; ++b) {
            if (b == 42 || b == 127 || b == 145 || b == 147) {
                continue;
            }
            chars[n] = static_cast<std::uint8_t>(b);
            index[b] = static_cast<std::int16_t>(n);
            ++n;
        }
    }
};

constexpr Alphabet kAlphabet;
static_assert(kAlphabet.chars[0] == 33 && kAlphabet.chars[8] == 41 && kAlphabet.chars[9] == 43);
static_assert(kAlphabet.chars[92] == 126 && kAlphabet.chars[93] == 128 && kAlphabet.chars[109] == 144);
static_assert(kAlphabet.chars[110] == 146 && kAlphabet.chars[111] == 148 && kAlphabet.chars[215] == 252);

// x^(16+j) mod (x^16 + x^12 + x^5 + 1), for the high-byte bits 7 down to 0.
constexpr std::array<std::uint16_t, 8> kBitConstants = {0x9188, 0x48C4, 0x2462, 0x1231,
                                                       0x8108, 0x4084, 0x2042, 0x1021};

// One entry per value of the register's high byte: the XOR of the constants of
// its set bits, so a step costs one lookup.
struct CrcTable {
    std::array<std::uint16_t, 256> t{};
    constexpr CrcTable()
    {
        for (int h = 0; h < 256; ++h) {
            std::uint16_t m = 0;
            for (int bit = 7; bit >= 0; --bit) {
                if (h & (1 << bit)) {
                    m ^= kBitConstants[7 - bit];
                }
            }
            t[h] = m;
        }
    }
};

constexpr CrcTable kCrc;

inline std::uint16_t step(std::uint16_t c, std::uint8_t b)
{
    return static_cast<std::uint16_t>((((c & 0xFF) << 8) | b) ^ kCrc.t[c >> 8]);
}

inline std::uint16_t forward(const std::uint8_t* p, int count)
{
    std::uint16_t c = 0;
    for (int i = 0; i < count; ++i) {
        c = step(c, p[i]);
    }
    return c;
}

inline std::uint16_t backward(const std::uint8_t* p, int count)
{
    std::uint16_t c = 0;
    for (int i = count - 1; i >= 0; --i) {
        c = step(c, p[i]);
    }
    return c;
}

inline std::uint8_t ch(int index)
{
    return kAlphabet.chars[index];
}

// Writes the three line-check and two reverse-check characters; positions
// 0..63 must already hold the data characters.
void writeChecks(std::uint8_t* line, int lineNumber)
{
    const std::uint32_t f = forward(line, 64) & 0x3FFF;
    const std::uint32_t w = std::uint32_t(lineNumber) * 16384 + f;
    line[64] = ch(w % 216);
    line[65] = ch((w / 216) % 216);
    line[66] = ch(w / (216 * 216));
    const std::uint32_t r = backward(line, 67) & 0x7FFF;
    line[67] = ch(r % 216);
    line[68] = ch(r / 216);
}

const std::array<std::uint8_t, 8> kHeaderStart = {' ', 'g', 'o', '_', '7', '+', '.', ' '};

} // namespace

int Get7PlusChar(int index)
{
    if (index < 0 || index > 215) {
        throw SevenPlusError(5, QStringLiteral("Invalid 7PLUS character index"));
    }
    return kAlphabet.chars[index];
}

int Get7PlusIndex(std::uint8_t byte)
{
    return kAlphabet.index[byte];
}

std::uint16_t Crc7PlusStep(std::uint16_t reg, std::uint8_t byte)
{
    return step(reg, byte);
}

std::uint16_t Crc7PlusRange(std::span<const std::uint8_t> bytes, qsizetype first, qsizetype last, bool reverse)
{
    if (first > last) {
        return 0;
    }
    if (first < 0 || last >= qsizetype(bytes.size())) {
        throw SevenPlusError(9, QStringLiteral("Subscript out of range"));
    }
    const int count = int(last - first + 1);
    return reverse ? backward(bytes.data() + first, count) : forward(bytes.data() + first, count);
}

bool Pack7PlusLine(std::span<const std::uint8_t> file, qsizetype start, Values& values)
{
    const qsizetype size = qsizetype(file.size());
    if (start < 0 || start >= size) {
        return false;
    }
    std::array<std::uint8_t, kLineBytes> buf{};
    const qsizetype have = std::min<qsizetype>(kLineBytes, size - start);
    std::copy_n(file.data() + start, have, buf.data());
    // Each group of 31 bytes is one 248-bit number, first byte most
    // significant, cut into eight 31-bit values.
    for (int g = 0; g < 2; ++g) {
        const std::uint8_t* p = buf.data() + 31 * g;
        std::uint64_t acc = 0;
        int bits = 0;
        int pos = 0;
        for (int i = 0; i < 8; ++i) {
            while (bits < 31) {
                acc = (acc << 8) | p[pos++];
                bits += 8;
            }
            bits -= 31;
            values[8 * g + i] = std::int64_t((acc >> bits) & 0x7FFFFFFF);
            acc &= (std::uint64_t(1) << bits) - 1;
        }
    }
    return true;
}

bool Encode7PlusValues(std::span<const std::int64_t> values, Chars& chars)
{
    if (values.size() != 16) {
        return false;
    }
    for (int k = 0; k < 16; ++k) {
        const std::int64_t v = values[k];
        if (v < 0 || v > kMaxValue) {
            return false;
        }
        const auto u = std::uint32_t(v);
        chars[4 * k] = ch(u % 216);
        chars[4 * k + 1] = ch((u / 216) % 216);
        chars[4 * k + 2] = ch((u / (216 * 216)) % 216);
        chars[4 * k + 3] = ch(u / (216 * 216 * 216)); // below 216 since 216^4 > 2^31
    }
    return true;
}

bool Protect7PlusLine(std::span<const std::uint8_t> chars, int lineNumber, Block& line)
{
    if (chars.size() != kCodeChars || lineNumber < 0 || lineNumber > 511) {
        return false;
    }
    std::copy_n(chars.data(), kCodeChars, line.data());
    writeChecks(line.data(), lineNumber);
    return true;
}

bool Verify7PlusLine(std::span<const std::uint8_t> line, int expectedLine)
{
    if (line.size() != kBlockSize || expectedLine < 0 || expectedLine > 511) {
        return false;
    }
    const int i64 = Get7PlusIndex(line[64]);
    const int i65 = Get7PlusIndex(line[65]);
    const int i66 = Get7PlusIndex(line[66]);
    if (i64 < 0 || i65 < 0 || i66 < 0) {
        return false;
    }
    const int w = i66 * 216 * 216 + i65 * 216 + i64;
    if (w / 16384 != expectedLine || w % 16384 != (forward(line.data(), 64) & 0x3FFF)) {
        return false;
    }
    const int i67 = Get7PlusIndex(line[67]);
    const int i68 = Get7PlusIndex(line[68]);
    if (i67 < 0 || i68 < 0) {
        return false;
    }
    return i68 * 216 + i67 == (backward(line.data(), 67) & 0x7FFF);
}

bool Decode7PlusLine(std::span<const std::uint8_t> chars, LineBytes& bytes)
{
    if (chars.size() < kCodeChars) {
        return false;
    }
    std::array<std::uint32_t, 16> v{};
    for (int k = 0; k < 16; ++k) {
        std::uint64_t value = 0;
        for (int d = 3; d >= 0; --d) {
            const int i = Get7PlusIndex(chars[4 * k + d]);
            if (i < 0) {
                return false;
            }
            value = value * 216 + std::uint64_t(i);
        }
        if (value > std::uint64_t(kMaxValue)) {
            return false;
        }
        v[k] = std::uint32_t(value);
    }
    // Eight 31-bit values make 248 bits, read back as 31 bytes, most significant first.
    for (int h = 0; h < 2; ++h) {
        std::uint8_t* out = bytes.data() + 31 * h;
        std::uint64_t acc = 0;
        int bits = 0;
        int pos = 0;
        for (int i = 0; i < 8; ++i) {
            acc = (acc << 31) | v[8 * h + i];
            bits += 31;
            while (bits >= 8) {
                bits -= 8;
                out[pos++] = std::uint8_t(acc >> bits);
            }
            acc &= (std::uint64_t(1) << bits) - 1;
        }
    }
    return true;
}

bool Seal7PlusBlock(std::span<std::uint8_t> block)
{
    if (block.size() != kBlockSize) {
        return false;
    }
    block[62] = 0xB0;
    block[63] = 0xB1;
    block[64] = 0xB2;
    block[65] = 0xDB;
    // The whole register is reduced modulo 216 here, not masked first.
    block[66] = ch(forward(block.data(), 66) % 216);
    const std::uint32_t r = backward(block.data(), 67) & 0x7FFF;
    block[67] = ch(r % 216);
    block[68] = ch(r / 216);
    return true;
}

bool Verify7PlusHeader(std::span<const std::uint8_t> block)
{
    if (block.size() != kBlockSize) {
        return false;
    }
    if (!std::equal(kHeaderStart.begin(), kHeaderStart.end(), block.begin())) {
        return false;
    }
    if (block[62] != 0xB0 || block[63] != 0xB1 || block[64] != 0xB2) {
        return false;
    }
    if (block[66] != ch(forward(block.data(), 66) % 216)) {
        return false;
    }
    const std::uint32_t r = backward(block.data(), 67) & 0x7FFF;
    return block[67] == ch(r % 216) && block[68] == ch(r / 216);
}

} // namespace tolvan::Mod7plus
