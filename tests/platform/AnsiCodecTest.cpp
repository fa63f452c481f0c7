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

TEST(AnsiCodec, NamesEachCharacterItWouldLoseOnce)
{
    const QString emoji = QString::fromUcs4(U"\U0001F600");
    const struct {
        QString text;
        QString lost;
    } cases[] = {
        {"plain ASCII ?", ""},
        {"\u00C5\u20AC\u2122\u0178\u00FF", ""},                // all in the code page
        {"\u0414a\u0414\u03A9" + emoji + emoji, "\u0414\u03A9" + emoji},
        {QString(QChar(0xD800)) + "x", QString(QChar(0xD800))}, // a lone surrogate
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Ansi::lostCharacters(c.text), c.lost) << c.text.toStdString();
    }
    EXPECT_EQ(Ansi::describeCharacters(QStringLiteral("\u0414") + emoji + QChar(0xDC00)),
              "\u0414 (U+0414), " + emoji + " (U+1F600), (U+DC00)");
}
