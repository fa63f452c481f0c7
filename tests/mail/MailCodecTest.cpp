#include "mail/MailCodec.h"
#include "platform/AnsiCodec.h"
#include "platform/LocaleText.h"

#include <gtest/gtest.h>

using namespace tolvan;
using namespace tolvan::MailCodec;

TEST(ConvertToASCII, WritesDecimalCodesSeparatedBySingleSpaces)
{
    EXPECT_EQ(ConvertToASCII(u""), "");
    EXPECT_EQ(ConvertToASCII(u"A"), "65");
    EXPECT_EQ(ConvertToASCII(u"A B"), "65 32 66");
    EXPECT_EQ(ConvertToASCII(u"A\r\nB"), "65 13 10 66");
    EXPECT_EQ(ConvertToASCII(u"HI, 5"), "72 73 44 32 53");
    // Characters the code page lacks travel as "?".
    EXPECT_EQ(ConvertToASCII(QStringLiteral("\u03A9\u20AC")), "63 128");
}

struct DecodeCase {
    const char* coded;
    const char* text;
};

class DecodeFromASCIITest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeFromASCIITest, DecodesNumbersAndSkipsTheRest)
{
    const Result<QString> d = DecodeFromASCII(QString::fromLatin1(GetParam().coded));
    EXPECT_TRUE(d.ok()) << d.error().toStdString();
    EXPECT_EQ(d.value(), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    MailCodec, DecodeFromASCIITest,
    ::testing::Values(DecodeCase{"65 66", "AB"}, DecodeCase{"", ""}, DecodeCase{"65  66", "AB"},
                      DecodeCase{"65 X 66", "AB"}, DecodeCase{"72 73\r\n\r\n", "HI"}, DecodeCase{"\t65 66\t", "AB"},
                      DecodeCase{"65.5 66.5", "BB"}, DecodeCase{"6.55e1", "B"}, DecodeCase{"inf 65 nan", "A"}));

TEST(DecodeFromASCII, OutOfRangeCodesAreReportedNotCrashed)
{
    EXPECT_EQ(DecodeFromASCII(u"0 255").value(), QStringLiteral("\u0000\u00ff"));
    for (const char* bad : {"65 256", "-1", "40000", "99999999999999999999", "1e10"}) {
        const Result<QString> d = DecodeFromASCII(QString::fromLatin1(bad));
        EXPECT_FALSE(d.ok()) << bad;
        EXPECT_FALSE(d.error().isEmpty()) << bad;
    }
    // The token limit: one more than a field may hold.
    QString tooMany = QStringLiteral("65");
    tooMany += QStringLiteral(" 65").repeated(kMaxFieldLength);
    EXPECT_FALSE(DecodeFromASCII(tooMany).ok());
    const QString atLimit = ConvertToASCII(QString(kMaxFieldLength, u'x'));
    const Result<QString> full = DecodeFromASCII(atLimit);
    ASSERT_TRUE(full.ok());
    EXPECT_EQ(full->size(), kMaxFieldLength);
}

TEST(MailCodec, EveryCodePageCharacterRoundTrips)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i) {
        all.append(static_cast<char>(i));
    }
    const QString text = Ansi::decode(all);
    const Result<QString> d = DecodeFromASCII(ConvertToASCII(text));
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d.value(), text);
}

TEST(FormatCodedMailLine, UpperCasesCodesAndJoinsWithThreeCommas)
{
    EXPECT_EQ(FormatCodedMailLine("TO: a", "s", "hi", "b"), "84 79 58 32 65,83,72 73,66");
    const QString line = FormatCodedMailLine("a,b", "", QStringLiteral("caf\u00e9,\r\n\u00ff"), "x,y,z");
    EXPECT_EQ(line.count(u','), 3);
    EXPECT_EQ(line.split(u',')[1], "");
    // Accented letters become capitals where the code page has them.
    const ParsedMail back = ParseCodedMail(line + "\r\n");
    ASSERT_EQ(back.status, ParsedMail::Status::Ok);
    EXPECT_EQ(back.fields.message, QStringLiteral("CAF\u00c9,\r\n\u0178"));
    EXPECT_EQ(back.fields.from, "X,Y,Z");
    // A capital outside the code page would turn into "?": the letter stays.
    EXPECT_EQ(UpperCase(QStringLiteral("\u00b5\u00df")), QStringLiteral("\u00b5\u00df"));
}

TEST(ParseCodedMail, EmptyShortAndBadMails)
{
    EXPECT_EQ(ParseCodedMail("").status, ParsedMail::Status::Empty);
    const ParsedMail shortMail = ParseCodedMail("1,2,3");
    EXPECT_EQ(shortMail.status, ParsedMail::Status::BadFormat);
    EXPECT_EQ(shortMail.error, "File content is not in the expected format.");
    const ParsedMail bad = ParseCodedMail("65,66,300,67");
    EXPECT_EQ(bad.status, ParsedMail::Status::BadCode);
    EXPECT_EQ(bad.fields.to, "A");
    EXPECT_EQ(bad.fields.subject, "B");
    EXPECT_TRUE(bad.fields.message.isEmpty());
    EXPECT_TRUE(bad.error.contains("300"));

    // Two mails appended to one file: the first mail's fields, and a From that
    // mixes the first From with the second To (the straddling number is skipped).
    const QString twice = FormatCodedMailLine("A", "B", "C", "DE") + "\r\n" + FormatCodedMailLine("FG", "F", "G", "H") + "\r\n";
    const ParsedMail mixed = ParseCodedMail(twice);
    ASSERT_EQ(mixed.status, ParsedMail::Status::Ok);
    EXPECT_EQ(mixed.fields.to, "A");
    EXPECT_EQ(mixed.fields.message, "C");
    EXPECT_EQ(mixed.fields.from, "DG");
}

TEST(SplitMailText, CutsAtEveryCommaAndTrimsNothing)
{
    EXPECT_TRUE(SplitMailText("").isEmpty());
    EXPECT_EQ(SplitMailText("abc"), QStringList{"abc"});
    EXPECT_EQ(SplitMailText("To,S,A,B,From\r\n"), (QStringList{"To", "S", "A", "B", "From\r\n"}));
}

TEST(MailFileNames, BuiltFromClockLocaleAndFromText)
{
    const QDateTime t(QDate(2026, 12, 5), QTime(14, 35, 7));
    LocaleText dash;
    dash.setDateSeparator("-");
    EXPECT_EQ(ComposeMailFileName("/srv/out", "From- OPERATOR", t, dash),
              "/srv/out/MAIL - From- OPERATOR--14-35-07--12-05-26.dat");
    EXPECT_EQ(ReplyMailFileName("/srv/out", t), "/srv/out/MAIL - 143507.txt");
    EXPECT_EQ(ReplyMailFileName("/srv/out", QDateTime(QDate(2026, 1, 2), QTime(9, 5, 0))), "/srv/out/MAIL - 090500.txt");
    EXPECT_EQ(SavedMailFileName("/srv/save", QDateTime(QDate(2024, 3, 15), QTime(14, 30)), dash),
              "/srv/save/mail_24-03-15_1430.dat");

    // A "/" separator or a From text with characters a file name cannot hold
    // never makes a path of the name.
    LocaleText slash;
    slash.setDateSeparator("/");
    EXPECT_EQ(ComposeMailFileName("/srv/out", "a/b\\c:d*e?f\"g<h>i|j", t, slash),
              "/srv/out/MAIL - a-b-c-d-e-f-g-h-i-j--14-35-07--12-05-26.dat");
    EXPECT_EQ(SavedMailFileName("/srv/save", QDateTime(QDate(2024, 3, 15), QTime(14, 30)), slash),
              "/srv/save/mail_24-03-15_1430.dat");
    EXPECT_EQ(SafeFileNamePart("tab\there\r\n"), "tab-here--");
}
