#pragma once

#include <QLocale>
#include <QString>

namespace tolvan {

// What the operator's regional settings contribute to names and displays: the
// date and time separators and the names of days and months.
class LocaleText {
public:
    explicit LocaleText(const QLocale& locale = QLocale::system());

    QString dateSeparator() const { return m_dateSeparator; }
    QString timeSeparator() const { return m_timeSeparator; }
    QString dayName(int dayOfWeek) const { return m_locale.dayName(dayOfWeek, QLocale::LongFormat); }
    QString monthName(int month) const { return m_locale.monthName(month, QLocale::LongFormat); }

    void setDateSeparator(const QString& separator) { m_dateSeparator = separator; }
    void setTimeSeparator(const QString& separator) { m_timeSeparator = separator; }

    // The first character of a date or time format that is not a letter, or the
    // fallback when the format has none.
    static QString separatorOf(const QString& format, const QString& fallback);

private:
    QLocale m_locale;
    QString m_dateSeparator;
    QString m_timeSeparator;
};

} // namespace tolvan
