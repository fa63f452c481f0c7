#include "SevenPlusTestUtil.h"

using namespace tolvan;
using namespace tolvan::Mod7plus;
using namespace tolvan::sevenplus_test;

namespace {

Block protect(std::span<const std::uint8_t> file, qsizetype start, int lineNumber)
{
    Values v{};
    Chars c{};
    Block line{};
    EXPECT_TRUE(Pack7PlusLine(file, start, v));
    EXPECT_TRUE(Encode7PlusValues(v, c));
    EXPECT_TRUE(Protect7PlusLine(c, lineNumber, line));
    return line;
}

std::span<const std::uint8_t> span(const QByteArray& a)
{
    return {reinterpret_cast<const std::uint8_t*>(a.constData()), size_t(a.size())};
}

} // namespace

TEST(SevenPlusAlphabet, MapsExactly216BytesBothWays)
{
    int excluded = 0;
    for (int b = 0; b < 256; ++b) {
        const int i = Get7PlusIndex(std::uint8_t(b));
        if (i < 0) {
            ++excluded;
            continue;
        }
        EXPECT_EQ(Get7PlusChar(i), b);
    }
    EXPECT_EQ(excluded, 40);
    for (int b : {0, 32, 42, 127, 145, 147, 253, 254, 255}) {
        EXPECT_EQ(Get7PlusIndex(std::uint8_t(b)), -1) << b;
    }
    EXPECT_EQ(Get7PlusChar(110), 146);
    EXPECT_THROW(Get7PlusChar(216), SevenPlusError);
    EXPECT_THROW(Get7PlusChar(-1), SevenPlusError);
}

TEST(SevenPlusCheck, AbcGivesKnownForwardAndReverseValues)
{
    const std::array<std::uint8_t, 3> abc = {'a', 'b', 'c'};
    EXPECT_EQ(Crc7PlusRange(abc, 0, 2, false), 0x1EE4);
    EXPECT_EQ(Crc7PlusRange(abc, 0, 2, true), 0x3EA4);
    EXPECT_EQ(Crc7PlusRange(abc, 2, 1, false), 0);
    EXPECT_EQ(Crc7PlusRange(abc, 2, 1, true), 0);
    std::uint16_t c = 0;
    for (auto b : abc) {
        c = Crc7PlusStep(c, b);
    }
    EXPECT_EQ(c, 0x1EE4);
}

TEST(SevenPlusCheck, RangeEqualsOneStepPerByteInBothDirections)
{
    const QByteArray data = randomBytes(300, 21);
    const auto bytes = span(data);
    for (int first : {0, 1, 7, 13}) {
        for (int last = first - 1; last < 300; last += 1 + (last + 1) % 5) {
            std::uint16_t f = 0;
            std::uint16_t r = 0;
            for (int i = first; i <= last; ++i) {
                f = Crc7PlusStep(f, bytes[i]);
                r = Crc7PlusStep(r, bytes[last - (i - first)]);
            }
            ASSERT_EQ(Crc7PlusRange(bytes, first, last, false), f) << first << ".." << last;
            ASSERT_EQ(Crc7PlusRange(bytes, first, last, true), r) << first << ".." << last;
        }
    }
}

struct ZeroLineCase {
    int lineNumber;
    std::array<std::uint8_t, 5> checks;
};

class SevenPlusZeroLine : public ::testing::TestWithParam<ZeroLineCase> {};

TEST_P(SevenPlusZeroLine, CarriesKnownCheckCharacters)
{
    const QByteArray zeros(62, '\0');
    Values v{};
    ASSERT_TRUE(Pack7PlusLine(span(zeros), 0, v));
    for (auto x : v) {
        EXPECT_EQ(x, 0);
    }
    const Block line = protect(span(zeros), 0, GetParam().lineNumber);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(line[i], 0x21);
    }
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(line[64 + i], GetParam().checks[i]) << "position " << 64 + i;
    }
    EXPECT_TRUE(Verify7PlusLine(line, GetParam().lineNumber));
}

INSTANTIATE_TEST_SUITE_P(Lines, SevenPlusZeroLine,
                         ::testing::Values(ZeroLineCase{0, {0xD9, 0x37, 0x21, 0xF0, 0x3E}},
                                           ZeroLineCase{5, {0x36, 0xDE, 0x22, 0x68, 0x66}}));

TEST(SevenPlusLine, RandomLinesRoundTripAtEveryLineNumber)
{
    const QByteArray data = randomBytes(62 * 512, 11);
    LineBytes out{};
    for (int k = 0; k < 512; ++k) {
        const Block line = protect(span(data), k * 62, k);
        ASSERT_TRUE(Verify7PlusLine(line, k));
        ASSERT_TRUE(Decode7PlusLine(line, out));
        ASSERT_EQ(QByteArray(reinterpret_cast<const char*>(out.data()), 62), data.mid(k * 62, 62)) << k;
        for (int b = 0; b < 69; ++b) {
            EXPECT_NE(Get7PlusIndex(line[b]), -1);
        }
    }
}

TEST(SevenPlusLine, ExtremeBytePatternsRoundTrip)
{
    for (char fill : {'\0', '\xFF', '\x80', '\x01', '\x7F'}) {
        const QByteArray data(62, fill);
        LineBytes out{};
        const Block line = protect(span(data), 0, 511);
        ASSERT_TRUE(Decode7PlusLine(line, out));
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(out.data()), 62), data);
    }
}

TEST(SevenPlusLine, ShortLastLineIsPaddedWithZeros)
{
    const QByteArray data = randomBytes(70, 3);
    LineBytes out{};
    const Block line = protect(span(data), 62, 1);
    ASSERT_TRUE(Decode7PlusLine(line, out));
    const QByteArray expected = data.mid(62) + QByteArray(54, '\0');
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(out.data()), 62), expected);
}

TEST(SevenPlusLine, PackRefusesStartOutsideTheFile)
{
    const QByteArray data(10, 'x');
    Values v{};
    EXPECT_FALSE(Pack7PlusLine(span(data), -1, v));
    EXPECT_FALSE(Pack7PlusLine(span(data), 10, v));
    EXPECT_FALSE(Pack7PlusLine({}, 0, v));
    EXPECT_TRUE(Pack7PlusLine(span(data), 9, v));
}

TEST(SevenPlusLine, WrongSizesAndNumbersAreRefused)
{
    Chars c{};
    Block line{};
    const std::array<std::int64_t, 15> fifteen{};
    EXPECT_FALSE(Encode7PlusValues(fifteen, c));
    Values v{};
    v[3] = std::int64_t(1) << 31;
    EXPECT_FALSE(Encode7PlusValues(v, c));
    v[3] = -1;
    EXPECT_FALSE(Encode7PlusValues(v, c));
    v[3] = kMaxValue;
    EXPECT_TRUE(Encode7PlusValues(v, c));
    EXPECT_FALSE(Protect7PlusLine(c, 512, line));
    EXPECT_FALSE(Protect7PlusLine(c, -1, line));
    EXPECT_FALSE(Protect7PlusLine(std::span(c).first(63), 0, line));
    ASSERT_TRUE(Protect7PlusLine(c, 0, line));
    EXPECT_FALSE(Verify7PlusLine(std::span(line).first(68), 0));
    EXPECT_FALSE(Verify7PlusLine(line, 512));
    LineBytes out{};
    EXPECT_FALSE(Decode7PlusLine(std::span(line).first(63), out));
    EXPECT_TRUE(Decode7PlusLine(std::span(line).first(64), out));
}

TEST(SevenPlusLine, LineNumberIsPartOfTheCheck)
{
    const QByteArray data = randomBytes(62, 5);
    const Block line = protect(span(data), 0, 7);
    EXPECT_TRUE(Verify7PlusLine(line, 7));
    EXPECT_FALSE(Verify7PlusLine(line, 6));
    EXPECT_FALSE(Verify7PlusLine(line, 8));
}

TEST(SevenPlusLine, AnyChangedByteFailsTheCheck)
{
    const QByteArray data = randomBytes(62 * 8, 9);
    for (int k = 0; k < 8; ++k) {
        const Block good = protect(span(data), k * 62, k);
        for (int pos = 0; pos < 69; ++pos) {
            for (int delta : {1, 2, 77, 215}) {
                Block bad = good;
                bad[pos] = std::uint8_t(Get7PlusChar((Get7PlusIndex(good[pos]) + delta) % 216));
                EXPECT_FALSE(Verify7PlusLine(bad, k)) << "line " << k << " pos " << pos << " delta " << delta;
            }
        }
    }
}

class SevenPlusExcludedByte : public ::testing::TestWithParam<int> {};

TEST_P(SevenPlusExcludedByte, PassesTheChecksButFailsDecoding)
{
    Chars c{};
    Values v{};
    v.fill(123456789);
    ASSERT_TRUE(Encode7PlusValues(v, c));
    c[17] = std::uint8_t(GetParam());
    Block line{};
    ASSERT_TRUE(Protect7PlusLine(c, 3, line));
    EXPECT_TRUE(Verify7PlusLine(line, 3));
    LineBytes out{};
    EXPECT_FALSE(Decode7PlusLine(line, out));
}

INSTANTIATE_TEST_SUITE_P(Bytes, SevenPlusExcludedByte, ::testing::Values(' ', '*', '\n', '\0', 127, 253, 254, 255));

TEST(SevenPlusLine, ValueOfTwoToThe31FailsDecoding)
{
    Chars c{};
    Values v{};
    ASSERT_TRUE(Encode7PlusValues(v, c));
    const std::uint64_t big = std::uint64_t(1) << 31;
    c[4] = std::uint8_t(Get7PlusChar(int(big % 216)));
    c[5] = std::uint8_t(Get7PlusChar(int(big / 216 % 216)));
    c[6] = std::uint8_t(Get7PlusChar(int(big / 216 / 216 % 216)));
    c[7] = std::uint8_t(Get7PlusChar(int(big / 216 / 216 / 216)));
    LineBytes out{};
    EXPECT_FALSE(Decode7PlusLine(c, out));
    c[4] = std::uint8_t(Get7PlusChar(int((big - 1) % 216)));
    EXPECT_TRUE(Decode7PlusLine(c, out));
}

TEST(SevenPlusHeaderBlock, SealedHeaderVerifiesAndEveryCoveredByteMatters)
{
    const QByteArray text = QByteArray(" go_7+. 001 of 001 TEST.JPG     0000062 0040 200 (7PLUS v2.2) ");
    ASSERT_EQ(text.size(), 62);
    const Block good = sealedBlock(text);
    EXPECT_EQ(good[62], 0xB0);
    EXPECT_EQ(good[65], 0xDB);
    EXPECT_TRUE(Verify7PlusHeader(good));
    for (int pos = 0; pos < 69; ++pos) {
        Block bad = good;
        bad[pos] ^= 0x01;
        EXPECT_FALSE(Verify7PlusHeader(bad)) << pos;
    }
    EXPECT_FALSE(Verify7PlusHeader(std::span(good).first(68)));
}

TEST(SevenPlusHeaderBlock, FooterOrOtherTextNeverPassesAsHeader)
{
    Block footer{};
    ASSERT_TRUE(Build7PlusFooter("PICTURE", 1, 2, footer, "5B1573C5"));
    EXPECT_FALSE(Verify7PlusHeader(footer));
    EXPECT_FALSE(Verify7PlusHeader(sealedBlock(QByteArray(62, 'x'))));
}
