#pragma once

#include "terminal/Agw.h"

#include <QHash>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace tolvan::test {

// An AGW TNC inside the test process: clients that registered call signs are
// joined as if by radio. A call to a station nobody registered, or one told
// not to answer, ends after noAnswerMs with the TNC's retry-out notice.
class FakeTnc {
public:
    int noAnswerMs = 100;
    QSet<QByteArray> silent;             // stations that never answer a call
    QHash<QByteArray, int> calls;        // connect requests per called station
    QHash<QByteArray, qint64> dataBytes; // connected data bytes per sending station
    QList<QByteArray> via;               // the digipeaters of the last 'v' connect
    qint64 dropAfter = -1;               // breaks the first link to carry this many data bytes
    int mostUnasked = 0;                 // most data frames a client sent between two 'Y' questions

    FakeTnc() { listen(0); }
    ~FakeTnc() { stop(); }
    quint16 port() const { return m_port; }

    // Ends the link between two stations as a broken link would.
    void dropLink(const QByteArray& a, const QByteArray& b)
    {
        notify(a, agw::Kind::Disconnect, b, "*** DISCONNECTED RETRYOUT With " + b + "\r");
        notify(b, agw::Kind::Disconnect, a, "*** DISCONNECTED RETRYOUT With " + a + "\r");
        m_links.remove(key(a, b));
    }
    // The TNC process ends: every client connection closes, nothing listens.
    void stop()
    {
        for (QTcpSocket* s : std::exchange(m_clients, {})) {
            s->disconnect();
            delete s;
        }
        m_server.reset();
        m_calls.clear();
        m_links.clear();
    }
    // ... and starts again on the same port.
    void restart() { stop(), listen(m_port); }
    bool linked(const QByteArray& a, const QByteArray& b) const { return m_links.contains(key(a, b)); }

private:
    static QByteArray key(const QByteArray& a, const QByteArray& b) { return a < b ? a + '|' + b : b + '|' + a; }

    void listen(quint16 port)
    {
        m_server = std::make_unique<QTcpServer>();
        m_server->listen(QHostAddress::LocalHost, port);
        m_port = m_server->serverPort();
        QObject::connect(m_server.get(), &QTcpServer::newConnection, [this, server = m_server.get()] {
            while (QTcpSocket* s = server->nextPendingConnection()) {
                m_clients << s;
                auto decoder = std::make_shared<agw::Decoder>();
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s, decoder] {
                    decoder->feed(s->readAll());
                    while (auto f = decoder->next()) {
                        handle(s, *f);
                    }
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, [this, s] {
                    m_clients.removeAll(s);
                    m_calls.remove(m_calls.key(s));
                    s->deleteLater();
                });
            }
        });
    }

    void send(QTcpSocket* s, char kind, const QByteArray& from, const QByteArray& to, const QByteArray& data)
    {
        if (s) {
            agw::Frame f;
            f.kind = kind;
            f.callFrom = from;
            f.callTo = to;
            f.data = data;
            s->write(agw::Encode(f));
        }
    }
    // Tells station `to` about its peer `from`.
    void notify(const QByteArray& to, char kind, const QByteArray& from, const QByteArray& text)
    {
        send(m_calls.value(to), kind, from, to, text + '\0');
    }

    void handle(QTcpSocket* s, const agw::Frame& f)
    {
        const QByteArray& me = f.callFrom;
        const QByteArray& peer = f.callTo;
        switch (f.kind) {
        case agw::Kind::Version:
            send(s, 'R', {}, {}, QByteArray("\x01\0\0\0\0\0\0\0", 8));
            break;
        case agw::Kind::Register:
            m_calls.insert(me, s);
            send(s, 'X', me, {}, QByteArray(1, '\1'));
            break;
        case agw::Kind::Connect:
        case agw::Kind::ConnectVia:
            ++calls[peer];
            if (f.kind == agw::Kind::ConnectVia) {
                via.clear();
                for (int i = 0; i < f.data.at(0); ++i) {
                    via << f.data.mid(1 + i * agw::kCallField, agw::kCallField).replace('\0', "");
                }
            }
            if (!m_calls.contains(peer) || silent.contains(peer)) {
                QTimer::singleShot(noAnswerMs, s, [this, me, peer] {
                    notify(me, agw::Kind::Disconnect, peer, "*** DISCONNECTED RETRYOUT With " + peer + "\r");
                });
                break;
            }
            m_links.insert(key(me, peer));
            notify(me, agw::Kind::Connect, peer, "*** CONNECTED With Station " + peer + "\r");
            notify(peer, agw::Kind::Connect, me, "*** CONNECTED To Station " + me + "\r");
            break;
        case agw::Kind::Data:
            if (m_links.contains(key(me, peer))) {
                dataBytes[me] += f.data.size();
                mostUnasked = qMax(mostUnasked, ++m_unasked[me]);
                if (dropAfter >= 0 && dataBytes[me] >= dropAfter) {
                    dropAfter = -1;
                    dropLink(me, peer);
                    break;
                }
                send(m_calls.value(peer), 'D', me, peer, f.data);
            }
            break;
        case agw::Kind::Disconnect:
            if (m_links.remove(key(me, peer))) {
                notify(me, agw::Kind::Disconnect, peer, "*** DISCONNECTED From Station " + peer + "\r");
                notify(peer, agw::Kind::Disconnect, me, "*** DISCONNECTED From Station " + me + "\r");
            }
            break;
        case agw::Kind::Outstanding:
            m_unasked[me] = 0;
            send(s, 'Y', me, peer, QByteArray(4, '\0'));
            break;
        default:
            break;
        }
    }

    std::unique_ptr<QTcpServer> m_server;
    quint16 m_port = 0;
    QList<QTcpSocket*> m_clients;
    QHash<QByteArray, QTcpSocket*> m_calls;
    QSet<QByteArray> m_links;
    QHash<QByteArray, int> m_unasked;
};

} // namespace tolvan::test
