#pragma once

#include <QByteArray>
#include <QList>

namespace tolvan {

// What the terminal's engine asks of the TNC: connected-mode links to other
// stations by call sign. The TCP layer implements it; tests may script it.
class TncPort {
public:
    virtual ~TncPort() = default;
    // The TNC is reachable and our call sign is registered with it.
    virtual bool isReady() const = 0;
    virtual void connectTo(const QByteArray& peer, const QList<QByteArray>& via) = 0;
    virtual void disconnectFrom(const QByteArray& peer) = 0;
    // Queues bytes for a connected peer; they go out in frames of at most
    // PACLEN bytes, a few at a time.
    virtual void send(const QByteArray& peer, const QByteArray& bytes) = 0;
    // Bytes given to send for this peer that the peer has not yet acknowledged
    // (an estimate while frames are with the TNC).
    virtual qint64 unacknowledged(const QByteArray& peer) const = 0;
};

} // namespace tolvan
