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

// The register after a run of bytes is the bytes, read as one polynomial,
// reduced modulo x^16 + x^12 + x^5 + 1. Eight bytes at a time:
// r' = r * x^64 + b0 * x^56 + ... + b7, where every term of degree 16 or more
// comes reduced from a table u[k][i] = i * x^(8k). The eight lookups are
// independent, which is what makes this several times faster than one step
// per byte.
struct SliceTables {
    std::array<std::array<std::uint16_t, 256>, 10> u{};
    constexpr SliceTables()
    {
        for (int i = 0; i < 256; ++i) {
            std::uint32_t c = std::uint32_t(i);
            for (int k = 0; k < 10; ++k) {
                u[k][i] = static_cast<std::uint16_t>(c);
                for (int bit = 0; bit < 8; ++bit) {
                    c <<= 1;
                    if (c & 0x10000) {
                        c ^= 0x11021;
                    }
                }
            }
        }
    }
};

constexpr SliceTables kSlice;
static_assert(kSlice.u[2][1] == kCrc.t[1] && kSlice.u[2][0x80] == kCrc.t[0x80]);

// Bytes p[0], p[1], ... (forward) or p[count-1], p[count-2], ... (reverse).
template <bool Reverse>
inline std::uint16_t run(const std::uint8_t* p, int count)
{
    auto at = [p, count](int i) { return Reverse ? p[count - 1 - i] : p[i]; };
    std::uint32_t r = 0;
    int i = 0;
    const auto& u = kSlice.u;
    for (; i + 8 <= count; i += 8) {
        r = u[9][r >> 8] ^ u[8][r & 0xFF] ^ u[7][at(i)] ^ u[6][at(i + 1)] ^ u[5][at(i + 2)] ^ u[4][at(i + 3)]
            ^ u[3][at(i + 4)] ^ u[2][at(i + 5)] ^ (std::uint32_t(at(i + 6)) << 8) ^ at(i + 7);
    }
    auto c = static_cast<std::uint16_t>(r);
    for (; i < count; ++i) {
        c = step(c, at(i));
    }
    return c;
}

inline std::uint16_t forward(const std::uint8_t* p, int count)
{
    return run<false>(p, count);
}

inline std::uint16_t backward(const std::uint8_t* p, int count)
{
    return run<true>(p, count);
}

// The characters of every number below 216^2 as two base-216 digits, least
// significant first (low byte first).
struct PairTable {
    std::array<std::uint16_t, 216 * 216> p{};
    PairTable()
    {
        for (int n = 0; n < 216 * 216; ++n) {
            p[n] = std::uint16_t(kAlphabet.chars[n % 216] | (kAlphabet.chars[n / 216] << 8));
        }
    }
};

const PairTable kPairs;

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
    // Only the file's last line needs its missing bytes filled with zeros.
    const std::uint8_t* src = file.data() + start;
    std::array<std::uint8_t, kLineBytes> padded{};
    if (size - start < kLineBytes) {
        std::copy_n(src, size - start, padded.data());
        src = padded.data();
    }
    auto be32 = [](const std::uint8_t* p) {
        return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
    };
    // Each group of 31 bytes is one 248-bit number, first byte most
    // significant, cut into eight 31-bit values: read as seven 4-byte and one
    // 3-byte big-endian words, then regrouped.
    for (int g = 0; g < 2; ++g) {
        const std::uint8_t* b = src + 31 * g;
        const std::uint32_t p0 = be32(b), p1 = be32(b + 4), p2 = be32(b + 8), p3 = be32(b + 12);
        const std::uint32_t p4 = be32(b + 16), p5 = be32(b + 20), p6 = be32(b + 24);
        const std::uint32_t p7 = (std::uint32_t(b[28]) << 16) | (std::uint32_t(b[29]) << 8) | b[30];
        std::int64_t* q = values.data() + 8 * g;
        q[0] = p0 >> 1;
        q[1] = ((p0 & 0x01u) << 30) | (p1 >> 2);
        q[2] = ((p1 & 0x03u) << 29) | (p2 >> 3);
        q[3] = ((p2 & 0x07u) << 28) | (p3 >> 4);
        q[4] = ((p3 & 0x0Fu) << 27) | (p4 >> 5);
        q[5] = ((p4 & 0x1Fu) << 26) | (p5 >> 6);
        q[6] = ((p5 & 0x3Fu) << 25) | (p6 >> 7);
        q[7] = ((p6 & 0x7Fu) << 24) | p7;
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
        // Two base-216 digits at a time from a table of their character pairs.
        const auto u = std::uint32_t(v);
        const std::uint32_t high = u / (216 * 216); // below 216 * 216 since 216^4 > 2^31
        const std::uint16_t lo = kPairs.p[u - high * (216 * 216)];
        const std::uint16_t hi = kPairs.p[high];
        chars[4 * k] = std::uint8_t(lo);
        chars[4 * k + 1] = std::uint8_t(lo >> 8);
        chars[4 * k + 2] = std::uint8_t(hi);
        chars[4 * k + 3] = std::uint8_t(hi >> 8);
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
    const auto& index = kAlphabet.index;
    const std::uint8_t* c = chars.data();
    int bad = 0;
    for (int k = 0; k < 16; ++k) {
        const int i0 = index[c[4 * k]];
        const int i1 = index[c[4 * k + 1]];
        const int i2 = index[c[4 * k + 2]];
        const int i3 = index[c[4 * k + 3]];
        // One test per line instead of one branch per character.
        bad |= i0 | i1 | i2 | i3;
        const std::uint64_t value = ((std::uint64_t(i3) * 216 + std::uint64_t(i2)) * 216 + std::uint64_t(i1)) * 216
                                    + std::uint64_t(i0);
        bad |= value > std::uint64_t(kMaxValue) ? -1 : 0;
        v[k] = std::uint32_t(value);
    }
    if (bad < 0) {
        return false;
    }
    // Eight 31-bit values make 248 bits, read back as 31 bytes, most
    // significant first: seven 32-bit words, each value shifted up by one bit
    // more than the last with the top bits of the next below it, then the
    // low 24 bits of the eighth value.
    for (int h = 0; h < 2; ++h) {
        std::uint8_t* out = bytes.data() + 31 * h;
        const std::uint32_t* u = v.data() + 8 * h;
        const std::uint32_t words[7] = {
            (u[0] << 1) | (u[1] >> 30), (u[1] << 2) | (u[2] >> 29), (u[2] << 3) | (u[3] >> 28),
            (u[3] << 4) | (u[4] >> 27), (u[4] << 5) | (u[5] >> 26), (u[5] << 6) | (u[6] >> 25),
            (u[6] << 7) | (u[7] >> 24)};
        for (int i = 0; i < 7; ++i) {
            out[4 * i] = std::uint8_t(words[i] >> 24);
            out[4 * i + 1] = std::uint8_t(words[i] >> 16);
            out[4 * i + 2] = std::uint8_t(words[i] >> 8);
            out[4 * i + 3] = std::uint8_t(words[i]);
        }
        out[28] = std::uint8_t(u[7] >> 16);
        out[29] = std::uint8_t(u[7] >> 8);
        out[30] = std::uint8_t(u[7]);
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
