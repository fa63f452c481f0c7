#pragma once

#include "platform/Result.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace tolvan {

// One destination of the engine's "queue" event: what waits for it and when
// it is tried next.
struct WaitingFiles {
    QString to;
    QStringList files;
    qint64 bytes = 0;
    QDateTime nextTry; // invalid: due now
    bool givenUp = false;
};
// The destinations of a "queue" event, in its order.
QList<WaitingFiles> ReadQueue(const QJsonObject& event);

// The terminal's state in one line, for the station program's main menu:
// fed the engine's events, it keeps the state and its line, and writes them
// as a small JSON file into the station folder:
//   {"pid":1234,"updated":"2026-12-07T10:41:12","state":"sending",
//    "line":"sending PHOTO.P01 to N0BBB-1, 43 %"}
// The station program reads it back with ReadLine, which also finds out
// whether the terminal that wrote it still runs.
//
// States, most pressing first: "no-tnc", "sending", "receiving",
// "connecting", "talking", "paused", "waiting", "idle".
class TerminalStatus {
public:
    // Before the TNC is heard from, the state is "no-tnc", saying that the
    // terminal is connecting to it at host:port.
    explicit TerminalStatus(const QString& tncHost = {}, quint16 tncPort = 0);

    void feed(const QJsonObject& event);
    QString state() const;
    QString line() const;

    // "terminal-status.json"
    static QString FileName();
    // Writes the state into the station folder in one step: a reader sees
    // the old file or the new one, never a part.
    Result<> write(const QString& stationFolder) const;
    // Removes the file this process wrote (the terminal ends cleanly).
    static void Remove(const QString& stationFolder);
    // The text after "Terminal: " in the main menu: the line of the file when
    // it exists, is younger than 90 s, and the process that wrote it still
    // runs as tolvan-terminal; otherwise "not running".
    static QString ReadLine(const QString& stationFolder);

private:
    struct Peer {
        bool calling = false;
        bool talking = false;
        QString direction; // of the file in hand: "out" or "in"; empty when none
        QString name;
        qint64 done = 0;
        qint64 total = 0;
    };
    QString m_tncLine;
    bool m_tncUp = false;
    bool m_paused = false;
    QList<QString> m_order; // peers in the order they became active
    QHash<QString, Peer> m_peers;
    QList<WaitingFiles> m_waiting;
};

} // namespace tolvan
