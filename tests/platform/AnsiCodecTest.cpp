#include "platform/AnsiCodec.h"
#include "platform/LocaleText.h"

#include <gtest/gtest.h>

using namespace tolvan;

TEST(AnsiCodec, EveryByteRoundTrips)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i) {
        all.append(static_cast<char>(i));
    }
    EXPECT_EQ(Ansi::encode(Ansi::decode(all)), all);
}

TEST(AnsiCodec, MapsTheWindowsSpecialsAndReplacesWhatItLacks)
{
    EXPECT_EQ(Ansi::encode(QStringLiteral("\u20AC\u2014\u0178")), QByteArray("\x80\x97\x9F"));
    EXPECT_EQ(Ansi::decode(QByteArray("\x80")), QStringLiteral("\u20AC"));
    // Greek, arrows and characters beyond the basic plane become a single "?".
    EXPECT_EQ(Ansi::encode(QStringLiteral("a\u03A9\u2192") + QString::fromUcs4(U"\U0001F600") + u'b'),
              QByteArray("a???b"));
    EXPECT_EQ(Ansi::encode(QString(QChar(0xD800))), QByteArray("?"));
}

TEST(LocaleText, SeparatorIsTheFirstNonLetterOfTheFormat)
{
    EXPECT_EQ(LocaleText::separatorOf("M/d/yy", "/"), "/");
    EXPECT_EQ(LocaleText::separatorOf("dd.MM.yy", "/"), ".");
    EXPECT_EQ(LocaleText::separatorOf("yyyyMMdd", "/"), "/");
    EXPECT_EQ(LocaleText(QLocale(QLocale::German, QLocale::Germany)).dateSeparator(), ".");
    EXPECT_EQ(LocaleText(QLocale(QLocale::English, QLocale::UnitedStates)).dateSeparator(), "/");
}
