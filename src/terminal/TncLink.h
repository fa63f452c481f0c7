#pragma once

#include "terminal/Agw.h"
#include "terminal/TncPort.h"

#include <QHash>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

namespace tolvan {

// The connection to an AGW TNC over TCP, driven by the event loop: connects,
// asks the version, registers the station's call sign, carries connected
// data and the TNC's link notices, and when the TNC goes away or restarts
// tries again after growing pauses and registers again.
//
// Sending is paced: at most kMaxOutstanding data frames a link may be with
// the TNC unacknowledged, read through the outstanding-frames query, so that
// the TNC's queue never floods.
class TncLink : public QObject, public TncPort {
    Q_OBJECT
public:
    static constexpr int kMaxOutstanding = 8;

    struct Timing {
        int firstRetryMs = 1000; // pause before the first reconnect
        int maxRetryMs = 60000;  // the pause doubles up to this
        int pollMs = 100;        // how often outstanding frames are asked for
    };

    explicit TncLink(QObject* parent = nullptr);
    ~TncLink() override;

    void setTiming(const Timing& timing) { m_timing = timing; }
    void start(const QString& host, quint16 port, const QByteArray& call, quint8 radioPort);
    void stop();

    bool isReady() const override { return m_ready; }
    void connectTo(const QByteArray& peer, const QList<QByteArray>& via) override;
    void disconnectFrom(const QByteArray& peer) override;
    void send(const QByteArray& peer, const QByteArray& bytes) override;
    qint64 unacknowledged(const QByteArray& peer) const override;

signals:
    void tncConnected(const QString& host, quint16 port);
    void tncLost(const QString& reason);
    // The call sign is registered: links can be made and accepted.
    void ready();
    void problem(const QString& message);
    // No connection to the TNC could be made; said once per outage.
    void unreachable(const QString& host, quint16 port, const QString& reason);
    void linkUp(const QByteArray& peer, bool incoming);
    void linkDown(const QByteArray& peer, const QString& reason);
    void received(const QByteArray& peer, const QByteArray& bytes);
    // Frames for this peer were acknowledged: there is room for more.
    void room(const QByteArray& peer);

private:
    struct Link {
        QList<QByteArray> pending; // frames not yet given to the TNC
        qint64 pendingBytes = 0;
        int outstanding = 0; // frames with the TNC, not yet acknowledged
        bool asked = false;  // an outstanding-frames query is unanswered
        // Direwolf keeps the sent-frame slots of a link that broke and counts
        // them in its answers for the next link to the same station until
        // they are reused. The answer to a question asked before anything is
        // sent gives their number (-1 until it is known); nothing is sent
        // before it, and they are left out of every later count.
        int stale = -1;
    };

    void onConnected();
    void onReadyRead();
    void onGone(const QString& reason);
    void handle(const agw::Frame& frame);
    void write(const agw::Frame& frame);
    void pump(const QByteArray& peer);
    void poll();
    void scheduleReconnect();

    Timing m_timing;
    QTcpSocket m_socket;
    QTimer m_reconnect;
    QTimer m_poll;
    agw::Decoder m_decoder;
    QString m_host;
    quint16 m_port = 0;
    QByteArray m_call;
    quint8 m_radioPort = 0;
    bool m_running = false;
    bool m_ready = false;
    bool m_wasUp = false; // tncConnected was reported for this connection
    bool m_toldUnreachable = false;
    int m_nextRetryMs = 0;
    QHash<QByteArray, Link> m_links; // connected peers
};

class TerminalEngine;

// Hands everything the link reports to the engine.
void ConnectEngine(TncLink& link, TerminalEngine& engine);

} // namespace tolvan
