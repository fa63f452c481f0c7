#pragma once

#include "platform/Result.h"
#include "terminal/ChatText.h"
#include "terminal/ReceiveStore.h"
#include "terminal/SendQueue.h"
#include "terminal/TerminalSettings.h"
#include "terminal/Yapp.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QTimer>

#include <memory>

namespace tolvan {

class TncPort;

// The terminal's work: every file waiting in the send folder goes to its
// destination in one YAPP batch per connected session, and files that allowed
// stations send are written into the receive folder.
//
// One outgoing session runs at a time. A destination that does not answer,
// or whose session breaks, is tried again after growing pauses; after the
// last one its files wait for the operator (retryNow) or the next start.
// The TNC going away is not the destination's fault: nothing is counted, the
// work goes on when the TNC is back.
//
// Besides files, the terminal holds keyboard-to-keyboard conversations: the
// operator calls a station and types lines (connectChat, sendChatLine), and an
// incoming connection from an allowed station whose first bytes are not the
// start of a YAPP transfer is a conversation too, as is a caller that says
// nothing for a while. A YAPP start within a conversation brings files, and
// the conversation goes on after them. While a conversation with a station is
// up, no file session to it starts: its files wait.
//
// The engine reports each thing that happens as one event object, "event"
// naming it (tnc-connected, tnc-lost, calling, connected, disconnected,
// queue, file-started, progress, file-sent, file-received, retry, given-up,
// refused, paused, resumed, chat-connected, chat-line, chat-disconnected,
// error), for the headless output and the window alike. It never touches a
// socket: the TNC reaches it through TncPort and the slots below.
class TerminalEngine : public QObject {
    Q_OBJECT
public:
    struct Timing {
        QList<int> retryPausesMs{60000, 120000, 300000, 600000}; // before the 2nd, 3rd, ... try
        int rescanMs = 5000;                                     // the send folder is looked at again this often
        int connectTimeoutMs = 180000;                           // a connect the TNC never answers counts as failed
        Yapp::Options yapp;
        int progressMs = 1000;     // at most one progress event per session this often
        int conversationMs = 8000; // an incoming link silent this long is a conversation
        int promptMs = 1500;       // a begun line that rests this long is shown (a prompt)
    };

    TerminalEngine(TerminalSettings settings, TncPort& tnc, QObject* parent = nullptr);
    ~TerminalEngine() override;

    void setTiming(const Timing& timing) { m_timing = timing; }
    // Watches the send folder; sending starts once the TNC is ready.
    void start();
    // Ends every session: a file being received is kept for resume.
    void stop();
    // The same as sendNow() for all destinations.
    void retryNow();

    // Every waiting destination (empty call) or only that one is tried now,
    // those given up on and those pausing before a retry included. Ends a pause.
    void sendNow(const QByteArray& call = {});
    // The operator's "Stop": ends every file session now (a partial received
    // file is kept for resume, a file being sent stays in the send folder)
    // and starts no outgoing file session until sendNow(). Incoming calls
    // are still answered; conversations stay up.
    void pause();
    bool isPaused() const { return m_paused; }

    // Calls a station for a conversation, through the digipeaters of path
    // (none: directly; the settings' path is the caller's to offer).
    // Fails, saying why, for a text that is no call sign, this station
    // itself, a station a session is already up with, or a TNC not ready.
    Result<> connectChat(const QByteArray& call, const QList<QByteArray>& path = {});
    // Sends one typed line and a CR, in Windows-1252 (a character it lacks
    // goes as "?"); a text of several lines goes as several lines.
    Result<> sendChatLine(const QByteArray& peer, const QString& line);
    // Ends the conversation with peer, or gives up calling it.
    void disconnectChat(const QByteArray& peer);

    // The TNC's reports.
    void tncConnected(const QString& host, quint16 port);
    void tncLost(const QString& reason);
    // No TCP connection to the TNC could be made (said once per outage).
    void tncUnreachable(const QString& host, quint16 port, const QString& reason);
    void tncReady();
    void tncProblem(const QString& message);
    void linkUp(const QByteArray& peer, bool incoming);
    void linkDown(const QByteArray& peer, const QString& reason);
    void received(const QByteArray& peer, const QByteArray& bytes);
    void room(const QByteArray& peer);

signals:
    void event(const QJsonObject& event);

private:
    struct Session;
    struct Retry {
        int failures = 0; // failed tries in a row
        qint64 dueMs = 0; // monotonic time of the next try
        bool givenUp = false;
        QDateTime dueAt; // the same, as wall time for the queue event
    };

    void scan();
    void beginOutgoing(const Destination& destination);
    void startSending(Session& s);
    void startReceiving(Session& s);
    void endSession(const QByteArray& peer, const QString& reason);
    void failedTry(const QByteArray& peer, const QString& reason);
    void emitEvent(const QString& name, QJsonObject fields);
    void error(const QString& message);
    void scheduleScan(int ms);
    void reportQueue(const QList<Destination>& destinations);
    void openConversation(Session& s);
    void conversationBytes(Session& s, const QByteArray& bytes);
    void firstBytes(Session& s, const QByteArray& bytes);
    void progressOf(Session& s, const QString& direction, const QString& name, qint64 done, qint64 total);
    void fileBegun(Session& s, const QString& direction, const QString& name, qint64 total, qint64 resumedFrom);

    TerminalSettings m_settings;
    TncPort& m_tnc;
    Timing m_timing;
    SendQueue m_queue;
    QFileSystemWatcher m_watcher;
    QTimer m_rescan;
    QTimer m_soon; // a scan shortly after something changed
    QTimer m_expire;
    QTimer m_connectTimer;
    QElapsedTimer m_clock;
    QHash<QByteArray, std::shared_ptr<Session>> m_sessions;
    QHash<QByteArray, Retry> m_retries;
    QByteArray m_outgoing;    // the peer of the outgoing session, if any
    QSet<QString> m_reported; // undeliverable files already named
    // Files not to offer again while unchanged: refused by the peer, or
    // acknowledged but not movable into Transmitted.
    QHash<QString, FileStamp> m_leftOut;
    QJsonArray m_lastQueue; // the destinations of the last queue event
    bool m_queuePaused = false;
    QString m_tncHost;
    quint16 m_tncPort = 0;
    bool m_ready = false;
    bool m_stopping = false;
    bool m_paused = false;
};

} // namespace tolvan
