#include "terminal/TncLink.h"

#include "terminal/TerminalEngine.h"

namespace tolvan {

TncLink::TncLink(QObject* parent)
    : QObject(parent)
{
    m_reconnect.setSingleShot(true);
    connect(&m_reconnect, &QTimer::timeout, this, [this] {
        if (m_running) {
            m_socket.connectToHost(m_host, m_port);
        }
    });
    connect(&m_poll, &QTimer::timeout, this, &TncLink::poll);
    connect(&m_socket, &QTcpSocket::connected, this, &TncLink::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &TncLink::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this,
            [this] { onGone(QStringLiteral("the TNC closed the connection")); });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        // A closed connection also arrives as disconnected; report it once.
        if (e != QAbstractSocket::RemoteHostClosedError) {
            onGone(m_socket.errorString());
        }
    });
}

TncLink::~TncLink()
{
    m_running = false;
    m_socket.disconnect(this);
    m_socket.abort();
}

void TncLink::start(const QString& host, quint16 port, const QByteArray& call, quint8 radioPort)
{
    m_host = host;
    m_port = port;
    m_call = call;
    m_radioPort = radioPort;
    m_running = true;
    m_nextRetryMs = m_timing.firstRetryMs;
    m_socket.connectToHost(m_host, m_port);
}

void TncLink::stop()
{
    m_running = false;
    m_reconnect.stop();
    m_poll.stop();
    // Links are closed in an orderly way; what the TNC still holds for them
    // it sends before it disconnects.
    if (m_socket.state() == QAbstractSocket::ConnectedState) {
        for (auto it = m_links.cbegin(); it != m_links.cend(); ++it) {
            write(agw::DisconnectFrom(m_radioPort, m_call, it.key()));
        }
        m_socket.flush();
    }
    m_links.clear();
    m_ready = false;
    m_wasUp = false;
    m_socket.disconnectFromHost();
}

void TncLink::connectTo(const QByteArray& peer, const QList<QByteArray>& via)
{
    if (m_ready) {
        write(agw::ConnectTo(m_radioPort, m_call, peer, via));
    }
}

void TncLink::disconnectFrom(const QByteArray& peer)
{
    if (m_ready) {
        write(agw::DisconnectFrom(m_radioPort, m_call, peer));
    }
}

void TncLink::send(const QByteArray& peer, const QByteArray& bytes)
{
    auto it = m_links.find(peer);
    if (it == m_links.end()) {
        return; // the link is gone; its linkDown has been or will be reported
    }
    for (qsizetype at = 0; at < bytes.size(); at += agw::kPacLen) {
        it->pending << bytes.mid(at, agw::kPacLen);
    }
    it->pendingBytes += bytes.size();
    pump(peer);
}

qint64 TncLink::unacknowledged(const QByteArray& peer) const
{
    const auto it = m_links.constFind(peer);
    return it == m_links.cend() ? 0 : it->pendingBytes + qint64(it->outstanding) * agw::kPacLen;
}

void TncLink::onConnected()
{
    m_wasUp = true;
    m_toldUnreachable = false;
    m_nextRetryMs = m_timing.firstRetryMs;
    m_decoder.reset();
    emit tncConnected(m_host, m_port);
    write(agw::VersionQuery());
    write(agw::RegisterCall(m_call));
}

void TncLink::onReadyRead()
{
    m_decoder.feed(m_socket.readAll());
    while (std::optional<agw::Frame> frame = m_decoder.next()) {
        handle(*frame);
    }
    if (!m_decoder.error().isEmpty()) {
        // The stream's framing is lost: start over with a new connection.
        onGone(m_decoder.error());
    }
}

void TncLink::onGone(const QString& reason)
{
    // One loss is reported once, though the socket may tell it twice.
    if (!m_running || m_reconnect.isActive()) {
        return;
    }
    const bool wasUp = m_wasUp;
    m_wasUp = false;
    m_ready = false;
    m_poll.stop();
    if (wasUp) {
        emit tncLost(reason);
    }
    const QList<QByteArray> peers = m_links.keys();
    m_links.clear();
    for (const QByteArray& peer : peers) {
        emit linkDown(peer, QStringLiteral("TNC lost: ") + reason);
    }
    if (!wasUp && !m_toldUnreachable) {
        // Said once per outage, not at every try.
        m_toldUnreachable = true;
        emit unreachable(m_host, m_port, reason);
    }
    scheduleReconnect();
    if (m_socket.state() != QAbstractSocket::UnconnectedState) {
        m_socket.abort();
    }
}

void TncLink::scheduleReconnect()
{
    if (!m_running || m_reconnect.isActive()) {
        return;
    }
    m_reconnect.start(m_nextRetryMs);
    m_nextRetryMs = qMin(m_nextRetryMs * 2, m_timing.maxRetryMs);
}

void TncLink::handle(const agw::Frame& f)
{
    switch (f.kind) {
    case agw::Kind::Register:
        if (f.data.isEmpty() || f.data.at(0) != 1) {
            emit problem(QStringLiteral("The TNC refused to register the call sign %1 (is another program using "
                                        "it?)")
                             .arg(QString::fromLatin1(m_call)));
            return;
        }
        m_ready = true;
        emit ready();
        return;
    case agw::Kind::Connect: {
        // From the TNC: callFrom is the other station. "CONNECTED To" means
        // the other station called us.
        const bool incoming = agw::NoticeText(f.data).contains(QLatin1String("CONNECTED To"), Qt::CaseInsensitive);
        Link link;
        link.asked = true;
        m_links.insert(f.callFrom, link);
        write(agw::AskOutstanding(m_radioPort, m_call, f.callFrom));
        emit linkUp(f.callFrom, incoming);
        return;
    }
    case agw::Kind::Disconnect: {
        m_links.remove(f.callFrom);
        if (m_links.isEmpty()) {
            m_poll.stop();
        }
        emit linkDown(f.callFrom, agw::NoticeText(f.data));
        return;
    }
    case agw::Kind::Data:
        if (m_links.contains(f.callFrom)) {
            emit received(f.callFrom, f.data);
        }
        return;
    case agw::Kind::Outstanding: {
        // The answer names us first and the other station second.
        auto it = m_links.find(f.callTo);
        const std::optional<quint32> count = agw::NumberOf(f.data);
        if (it == m_links.end() || !count) {
            return;
        }
        const int before = it->outstanding;
        const int reported = int(qMin<quint32>(*count, 1000));
        it->asked = false;
        if (it->stale < 0 || reported < it->stale) {
            it->stale = reported;
        }
        it->outstanding = reported - it->stale;
        pump(f.callTo);
        if (it->outstanding < before || it->outstanding == 0) {
            emit room(f.callTo);
        }
        return;
    }
    default:
        return; // version answers and monitor frames need nothing
    }
}

void TncLink::write(const agw::Frame& frame)
{
    m_socket.write(agw::Encode(frame));
}

void TncLink::pump(const QByteArray& peer)
{
    auto it = m_links.find(peer);
    if (it == m_links.end()) {
        return;
    }
    if (it->stale < 0) {
        return; // the answer about frames left from an earlier link comes first
    }
    while (it->outstanding < kMaxOutstanding && !it->pending.isEmpty()) {
        const QByteArray chunk = it->pending.takeFirst();
        it->pendingBytes -= chunk.size();
        ++it->outstanding;
        write(agw::SendData(m_radioPort, m_call, peer, chunk));
    }
    if (it->outstanding > 0 && !m_poll.isActive()) {
        m_poll.start(m_timing.pollMs);
    }
}

void TncLink::poll()
{
    bool waiting = false;
    for (auto it = m_links.begin(); it != m_links.end(); ++it) {
        if (it->outstanding > 0 || !it->pending.isEmpty()) {
            waiting = true;
            if (!it->asked) {
                it->asked = true;
                write(agw::AskOutstanding(m_radioPort, m_call, it.key()));
            }
        }
    }
    if (!waiting) {
        m_poll.stop();
    }
}

void ConnectEngine(TncLink& link, TerminalEngine& engine)
{
    QObject::connect(&link, &TncLink::tncConnected, &engine, &TerminalEngine::tncConnected);
    QObject::connect(&link, &TncLink::tncLost, &engine, &TerminalEngine::tncLost);
    QObject::connect(&link, &TncLink::ready, &engine, &TerminalEngine::tncReady);
    QObject::connect(&link, &TncLink::problem, &engine, &TerminalEngine::tncProblem);
    QObject::connect(&link, &TncLink::unreachable, &engine, &TerminalEngine::tncUnreachable);
    QObject::connect(&link, &TncLink::linkUp, &engine, &TerminalEngine::linkUp);
    QObject::connect(&link, &TncLink::linkDown, &engine, &TerminalEngine::linkDown);
    QObject::connect(&link, &TncLink::received, &engine, &TerminalEngine::received);
    QObject::connect(&link, &TncLink::room, &engine, &TerminalEngine::room);
}

} // namespace tolvan
