#pragma once

#include "terminal/TerminalStatus.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolvan {

// The terminal's events in the operator's words, for the window's journal:
// one plain sentence per event worth keeping ("Sent MAIL - 1.txt to N0BBB-1,
// 1,234 bytes in 12 s"), numbers in the locale's form. Widget-free, so what
// the window says can be checked without one.
class TerminalJournal {
public:
    static constexpr int kKeep = 200;

    explicit TerminalJournal(QLocale locale = QLocale::system())
        : m_locale(std::move(locale))
    {
    }

    // The sentence for an event; empty for those the journal leaves out
    // (progress, the waiting list, conversation lines).
    static QString Describe(const QJsonObject& event, const QLocale& locale);
    // "12 s", "2 min 5 s", "1 h 3 min".
    static QString DurationText(double seconds);

    // Adds the event's sentence with its time; the line added, or empty.
    QString feed(const QJsonObject& event, const QDateTime& at);
    // The last kKeep lines, oldest first.
    const QStringList& lines() const { return m_lines; }

private:
    QLocale m_locale;
    QStringList m_lines;
};

// What the window shows at a glance, kept up to date from the events: the
// TNC, whether calls are answered, the files waiting per destination and the
// transfer in hand.
class TerminalGlance {
public:
    using Waiting = WaitingFiles;
    struct Transfer {
        bool outgoing = true;
        QString peer;
        QString name;
        qint64 done = 0;
        qint64 total = 0;
        double bytesPerSecond = 0;
    };

    explicit TerminalGlance(QLocale locale = QLocale::system())
        : m_locale(std::move(locale))
    {
    }

    // Where the TNC is looked for and who this station is, before any event.
    void starting(const QString& host, quint16 port, const QString& call);
    // The engine could not be started: why (settings to mend).
    void notRunning(const QString& why);
    void feed(const QJsonObject& event);

    QString tncText() const { return m_tnc; }
    bool tncUp() const { return m_tncUp; }
    QString callText() const { return m_call; }
    QString listenText() const;
    bool paused() const { return m_paused; }
    const QList<Waiting>& waiting() const { return m_waiting; }
    // One line per destination: "N0BBB-1: 3 files, 1,234 bytes, next try 10:42".
    QString waitingText(const Waiting& w) const;
    const std::optional<Transfer>& transfer() const { return m_transfer; }
    // "Sending PHOTO.P01 to N0BBB-1: 43 % (2,150 of 5,000 bytes), 42 bytes/s,
    // about 1 min 9 s left"; "Nothing is being sent or received" when idle.
    QString transferText() const;
    int transferPercent() const;

private:
    QLocale m_locale;
    QString m_host;
    quint16 m_port = 0;
    QString m_call;
    QString m_tnc;
    bool m_tncUp = false;
    bool m_running = true;
    bool m_registerRefused = false;
    bool m_paused = false;
    QList<Waiting> m_waiting;
    std::optional<Transfer> m_transfer;
};

// A conversation line as the transcript shows it: the time, the other
// station and the text ("10:41:12  from N0BBB-1: hello"). The text is shown
// as the engine handed it over, already neutralised; nothing in it is read
// as markup or control.
QString ChatTranscriptLine(const QJsonObject& chatLine, const QDateTime& at);

} // namespace tolvan
