#pragma once

#include "terminal/ReceiveStore.h"
#include "terminal/SendQueue.h"
#include "terminal/TerminalSettings.h"
#include "terminal/Yapp.h"

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QHash>
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
// The engine reports each thing that happens as one event object, "event"
// naming it (tnc-connected, tnc-lost, connected, disconnected, file-sent,
// file-received, retry, refused, error), for the headless output and the
// window alike. It never touches a socket: the TNC reaches it through TncPort
// and the slots below.
class TerminalEngine : public QObject {
    Q_OBJECT
public:
    struct Timing {
        QList<int> retryPausesMs{60000, 120000, 300000, 600000}; // before the 2nd, 3rd, ... try
        int rescanMs = 5000;                                     // the send folder is looked at again this often
        int connectTimeoutMs = 180000;                           // a connect the TNC never answers counts as failed
        Yapp::Options yapp;
    };

    TerminalEngine(TerminalSettings settings, TncPort& tnc, QObject* parent = nullptr);
    ~TerminalEngine() override;

    void setTiming(const Timing& timing) { m_timing = timing; }
    // Watches the send folder; sending starts once the TNC is ready.
    void start();
    // Ends every session: a file being received is kept for resume.
    void stop();
    // Destinations that were given up on are tried again now.
    void retryNow();

    // The TNC's reports.
    void tncConnected(const QString& host, quint16 port);
    void tncLost(const QString& reason);
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
    bool m_ready = false;
    bool m_stopping = false;
};

} // namespace tolvan
