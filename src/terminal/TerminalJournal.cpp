#include "terminal/TerminalJournal.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>

namespace tolvan {

namespace {

QString str(const QJsonObject& e, const char* key)
{
    return e.value(QLatin1String(key)).toString();
}

qint64 number(const QJsonObject& e, const char* key)
{
    return qint64(e.value(QLatin1String(key)).toDouble());
}

// The other station, whichever name the event gives it.
QString peerOf(const QJsonObject& e)
{
    for (const char* key : {"peer", "to", "from"}) {
        const QString call = str(e, key);
        if (!call.isEmpty()) {
            return call;
        }
    }
    return {};
}

bool outgoing(const QJsonObject& e)
{
    return str(e, "direction") != QLatin1String("in");
}

QString bytesText(const QLocale& locale, qint64 bytes)
{
    return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(locale.toString(bytes));
}

QString filesText(const QLocale& locale, qsizetype files)
{
    return files == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(locale.toString(qint64(files)));
}

// ", resuming after 2,000 bytes" when a transfer took up a partial file.
QString resumedText(const QLocale& locale, const QJsonObject& e, const char* verb)
{
    const qint64 from = number(e, "resumed_from");
    return from > 0 ? QStringLiteral(", %1 after %2").arg(QLatin1String(verb), bytesText(locale, from)) : QString();
}

// A reason in brackets, when there is one.
QString because(const QString& reason)
{
    return reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason);
}

} // namespace

QString TerminalJournal::DurationText(double seconds)
{
    const qint64 s = std::max<qint64>(0, std::llround(seconds));
    if (s < 60) {
        return QStringLiteral("%1 s").arg(s);
    }
    if (s < 3600) {
        return s % 60 ? QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60) : QStringLiteral("%1 min").arg(s / 60);
    }
    const qint64 minutes = (s % 3600) / 60;
    return minutes ? QStringLiteral("%1 h %2 min").arg(s / 3600).arg(minutes) : QStringLiteral("%1 h").arg(s / 3600);
}

QString TerminalJournal::Describe(const QJsonObject& e, const QLocale& locale)
{
    const QString event = str(e, "event");
    if (event == QLatin1String("tnc-connected")) {
        return QStringLiteral("Connected to the TNC at %1:%2").arg(str(e, "host")).arg(number(e, "port"));
    }
    if (event == QLatin1String("tnc-lost")) {
        return QStringLiteral("Lost the TNC%1; trying again").arg(because(str(e, "reason")));
    }
    if (event == QLatin1String("tnc-unreachable")) {
        return QStringLiteral("TNC not reachable at %1:%2%3; trying again")
            .arg(str(e, "host"))
            .arg(number(e, "port"))
            .arg(because(str(e, "reason")));
    }
    if (event == QLatin1String("calling")) {
        return QStringLiteral("Calling %1").arg(peerOf(e));
    }
    // "given-up" is left out: the engine's error that comes with it says the
    // same, and the waiting list shows the files waiting for Send now.
    if (event == QLatin1String("connected")) {
        return outgoing(e) ? QStringLiteral("Connected to %1").arg(str(e, "peer"))
                           : QStringLiteral("%1 called this station").arg(str(e, "peer"));
    }
    if (event == QLatin1String("disconnected")) {
        return QStringLiteral("Disconnected from %1%2").arg(str(e, "peer"), because(str(e, "reason")));
    }
    if (event == QLatin1String("file-started")) {
        return outgoing(e) ? QStringLiteral("Sending %1 to %2, %3%4")
                                 .arg(str(e, "name"), str(e, "peer"), bytesText(locale, number(e, "total")),
                                      resumedText(locale, e, "resuming"))
                           : QStringLiteral("Receiving %1 from %2, %3%4")
                                 .arg(str(e, "name"), str(e, "peer"), bytesText(locale, number(e, "total")),
                                      resumedText(locale, e, "resuming"));
    }
    if (event == QLatin1String("file-sent")) {
        return QStringLiteral("Sent %1 to %2, %3 in %4")
            .arg(str(e, "name"), str(e, "to"), bytesText(locale, number(e, "bytes")),
                 DurationText(e.value(QLatin1String("seconds")).toDouble()));
    }
    if (event == QLatin1String("file-received")) {
        return QStringLiteral("Received %1 from %2, %3%4")
            .arg(str(e, "name"), str(e, "from"), bytesText(locale, number(e, "bytes")),
                 resumedText(locale, e, "resumed"));
    }
    if (event == QLatin1String("retry")) {
        return QStringLiteral("No contact with %1%2; try %3 in %4")
            .arg(str(e, "to"), because(str(e, "reason")))
            .arg(number(e, "attempt"))
            .arg(DurationText(e.value(QLatin1String("wait_seconds")).toDouble()));
    }
    if (event == QLatin1String("refused")) {
        const QString name = str(e, "name");
        return name.isEmpty() ? QStringLiteral("Refused a call from %1: %2").arg(str(e, "from"), str(e, "reason"))
                              : QStringLiteral("Refused %1 from %2: %3").arg(name, str(e, "from"), str(e, "reason"));
    }
    if (event == QLatin1String("error")) {
        return str(e, "message");
    }
    if (event == QLatin1String("chat-connected")) {
        return outgoing(e) ? QStringLiteral("Talking with %1").arg(str(e, "peer"))
                           : QStringLiteral("%1 called to talk").arg(str(e, "peer"));
    }
    if (event == QLatin1String("chat-disconnected")) {
        return QStringLiteral("Conversation with %1 ended%2").arg(str(e, "peer"), because(str(e, "reason")));
    }
    if (event == QLatin1String("paused")) {
        return QStringLiteral("Stopped by the operator: no station is called until Send now");
    }
    if (event == QLatin1String("resumed")) {
        return QStringLiteral("Sending again");
    }
    return {};
}

QString TerminalJournal::feed(const QJsonObject& event, const QDateTime& at)
{
    const QString sentence = Describe(event, m_locale);
    if (sentence.isEmpty()) {
        return {};
    }
    const QString line = at.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("  ") + sentence;
    m_lines << line;
    if (m_lines.size() > kKeep) {
        m_lines.remove(0, m_lines.size() - kKeep);
    }
    return line;
}

void TerminalGlance::starting(const QString& host, quint16 port, const QString& call)
{
    m_host = host;
    m_port = port;
    m_call = call;
    m_running = true;
    m_tncUp = false;
    m_registerRefused = false;
    m_transfer.reset();
    m_tnc = QStringLiteral("Looking for the TNC at %1:%2").arg(host).arg(port);
}

void TerminalGlance::notRunning(const QString& why)
{
    m_running = false;
    m_tncUp = false;
    m_transfer.reset();
    m_waiting.clear();
    m_tnc = QStringLiteral("Not started: %1").arg(why);
}

QString TerminalGlance::listenText() const
{
    if (!m_running) {
        return QStringLiteral("Not listening: the terminal is not started");
    }
    if (m_registerRefused) {
        return QStringLiteral("Not listening: the TNC refused the call sign %1").arg(m_call);
    }
    if (!m_tncUp) {
        return QStringLiteral("Not listening: no TNC");
    }
    return QStringLiteral("Listening for calls to %1").arg(m_call);
}

void TerminalGlance::feed(const QJsonObject& e)
{
    const QString event = str(e, "event");
    if (event == QLatin1String("tnc-connected")) {
        m_tncUp = true;
        m_registerRefused = false;
        m_tnc = QStringLiteral("Connected to the TNC at %1:%2").arg(str(e, "host")).arg(number(e, "port"));
    } else if (event == QLatin1String("tnc-lost")) {
        m_tncUp = false;
        m_transfer.reset();
        m_tnc =
            QStringLiteral("TNC at %1:%2 lost%3; trying again").arg(m_host).arg(m_port).arg(because(str(e, "reason")));
    } else if (event == QLatin1String("tnc-unreachable")) {
        m_tncUp = false;
        m_tnc = TerminalJournal::Describe(e, m_locale);
    } else if (event == QLatin1String("error")) {
        // The TNC link tells of an unreachable TNC and a refused call sign
        // only as errors; they are its state until the next connect.
        const QString message = str(e, "message");
        if (str(e, "tnc") == QLatin1String("unreachable") || (message.startsWith(QLatin1String("The TNC at ")) &&
                                                              message.contains(QLatin1String("cannot be reached")))) {
            m_tncUp = false;
            m_tnc = message;
        } else if (message.startsWith(QLatin1String("The TNC refused to register"))) {
            m_registerRefused = true;
        }
    } else if (event == QLatin1String("queue")) {
        m_paused = e.value(QLatin1String("paused")).toBool();
        m_waiting = ReadQueue(e);
    } else if (event == QLatin1String("paused")) {
        m_paused = true;
    } else if (event == QLatin1String("resumed")) {
        m_paused = false;
    } else if (event == QLatin1String("file-started") || event == QLatin1String("progress")) {
        Transfer t;
        t.outgoing = outgoing(e);
        t.peer = str(e, "peer");
        t.name = str(e, "name");
        t.total = number(e, "total");
        t.done = event == QLatin1String("progress") ? number(e, "done") : number(e, "resumed_from");
        t.bytesPerSecond = e.value(QLatin1String("bytes_per_second")).toDouble();
        m_transfer = t;
    } else if (event == QLatin1String("file-sent") || event == QLatin1String("file-received") ||
               event == QLatin1String("refused")) {
        const QString peer = event == QLatin1String("file-sent") ? str(e, "to") : str(e, "from");
        if (m_transfer && m_transfer->peer == peer) {
            m_transfer.reset();
        }
    } else if (event == QLatin1String("disconnected")) {
        if (m_transfer && m_transfer->peer == str(e, "peer")) {
            m_transfer.reset();
        }
    }
}

QString TerminalGlance::waitingText(const Waiting& w) const
{
    QString when;
    if (m_paused) {
        when = QStringLiteral("waits for Send now (stopped)");
    } else if (w.givenUp) {
        when = QStringLiteral("no answer; waits for Send now");
    } else if (w.nextTry.isValid()) {
        when = QStringLiteral("next try %1").arg(m_locale.toString(w.nextTry.time(), QLocale::ShortFormat));
    } else {
        when = QStringLiteral("due now");
    }
    return QStringLiteral("%1: %2, %3, %4")
        .arg(w.to, filesText(m_locale, w.files.size()), bytesText(m_locale, w.bytes), when);
}

int TerminalGlance::transferPercent() const
{
    if (!m_transfer || m_transfer->total <= 0) {
        return 0;
    }
    return int(std::clamp<qint64>(m_transfer->done * 100 / m_transfer->total, 0, 100));
}

QString TerminalGlance::transferText() const
{
    if (!m_transfer) {
        return QStringLiteral("Nothing is being sent or received");
    }
    const Transfer& t = *m_transfer;
    QString text = t.outgoing ? QStringLiteral("Sending %1 to %2").arg(t.name, t.peer)
                              : QStringLiteral("Receiving %1 from %2").arg(t.name, t.peer);
    text += QStringLiteral(": %1 % (%2 of %3)")
                .arg(transferPercent())
                .arg(m_locale.toString(t.done), bytesText(m_locale, t.total));
    if (t.bytesPerSecond > 0) {
        text +=
            QStringLiteral(", %1 bytes/s, about %2 left")
                .arg(m_locale.toString(std::llround(t.bytesPerSecond)))
                .arg(TerminalJournal::DurationText(double(std::max<qint64>(0, t.total - t.done)) / t.bytesPerSecond));
    }
    return text;
}

QString ChatTranscriptLine(const QJsonObject& e, const QDateTime& at)
{
    return QStringLiteral("%1  %2 %3: %4")
        .arg(at.toString(QStringLiteral("HH:mm:ss")), outgoing(e) ? QStringLiteral("to") : QStringLiteral("from"),
             str(e, "peer"), str(e, "text"));
}

} // namespace tolvan
