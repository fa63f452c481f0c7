#include "platform/LocaleText.h"

namespace tolvan {

LocaleText::LocaleText(const QLocale& locale)
    : m_locale(locale)
    , m_dateSeparator(separatorOf(locale.dateFormat(QLocale::ShortFormat), QStringLiteral("/")))
    , m_timeSeparator(separatorOf(locale.timeFormat(QLocale::ShortFormat), QStringLiteral(":")))
{
}

QString LocaleText::separatorOf(const QString& format, const QString& fallback)
{
    bool inQuote = false;
    for (QChar c : format) {
        if (c == u'\'') {
            inQuote = !inQuote;
            continue;
        }
        if (!inQuote && !c.isLetter()) {
            return QString(c);
        }
    }
    return fallback;
}

} // namespace tolvan
