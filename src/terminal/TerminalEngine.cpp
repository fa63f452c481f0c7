#include "terminal/TerminalEngine.h"

#include "terminal/TncPort.h"

#include <QFileInfo>

namespace tolvan {

namespace {

// Bytes a link may hold unacknowledged before the sender reads the next
// block of its file: enough to keep the TNC's window of frames full.
constexpr qint64 kLinkWindow = 16 * 256;

class PeerSink : public ByteSink {
public:
    PeerSink(TncPort& tnc, QByteArray peer)
        : m_tnc(tnc)
        , m_peer(std::move(peer))
    {
    }
    void write(const QByteArray& bytes) override { m_tnc.send(m_peer, bytes); }
    bool canAcceptMore() const override { return m_tnc.unacknowledged(m_peer) < kLinkWindow; }

private:
    TncPort& m_tnc;
    QByteArray m_peer;
};

QString text(const QByteArray& call)
{
    return QString::fromLatin1(call);
}

} // namespace

struct TerminalEngine::Session {
    enum class State { Connecting, Up, Closing };
    QByteArray peer;
    bool incoming = false;
    State state = State::Connecting;
    QList<OutgoingFile> files;
    std::unique_ptr<PeerSink> sink;
    std::unique_ptr<ReceiveStore> store;
    std::unique_ptr<YappSender> sender;
    std::unique_ptr<YappReceiver> receiver;
    QElapsedTimer fileClock;
    bool failed = false; // the batch ended early: a failed try
    QString failure;
};

TerminalEngine::TerminalEngine(TerminalSettings settings, TncPort& tnc, QObject* parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_tnc(tnc)
    , m_queue(m_settings.sendFolder)
{
    m_clock.start();
    connect(&m_rescan, &QTimer::timeout, this, &TerminalEngine::scan);
    m_soon.setSingleShot(true);
    connect(&m_soon, &QTimer::timeout, this, &TerminalEngine::scan);
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, [this] {
        const QByteArray peer = m_outgoing;
        auto it = m_sessions.find(peer);
        if (it != m_sessions.end() && (*it)->state == Session::State::Connecting) {
            m_tnc.disconnectFrom(peer);
            m_sessions.erase(it);
            m_outgoing.clear();
            failedTry(peer, QStringLiteral("no answer"));
        }
    });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { scheduleScan(300); });
}

TerminalEngine::~TerminalEngine() = default;

void TerminalEngine::start()
{
    m_watcher.addPath(m_settings.sendFolder);
    m_rescan.start(m_timing.rescanMs);
    // Partial files no station came back for are removed after a day, also
    // while the terminal runs for weeks without receiving anything.
    const auto expire = [folder = m_settings.receiveFolder] { ReceiveStore(folder).expire(); };
    expire();
    connect(&m_expire, &QTimer::timeout, this, expire);
    m_expire.start(60 * 60 * 1000);
}

void TerminalEngine::stop()
{
    m_stopping = true;
    m_rescan.stop();
    m_expire.stop();
    m_soon.stop();
    m_connectTimer.stop();
    for (const std::shared_ptr<Session>& s : std::as_const(m_sessions)) {
        if (s->receiver) {
            s->receiver->linkBroken(); // keeps the partial file for resume
        }
        if (s->sender) {
            s->sender->linkBroken();
        }
        m_tnc.disconnectFrom(s->peer);
    }
    m_sessions.clear();
    m_outgoing.clear();
}

void TerminalEngine::retryNow()
{
    m_retries.clear();
    scheduleScan(0);
}

void TerminalEngine::sendNow(const QByteArray&)
{
    retryNow();
}

void TerminalEngine::pause()
{
    m_paused = true;
}

Result<> TerminalEngine::connectChat(const QByteArray&, const QList<QByteArray>&)
{
    return Fail(QStringLiteral("Conversations are not ready yet."));
}

Result<> TerminalEngine::sendChatLine(const QByteArray&, const QString&)
{
    return Fail(QStringLiteral("Conversations are not ready yet."));
}

void TerminalEngine::disconnectChat(const QByteArray&) {}

void TerminalEngine::tncUnreachable(const QString& host, quint16 port, const QString& reason)
{
    error(QStringLiteral("The TNC at %1:%2 cannot be reached (%3); trying again").arg(host).arg(port).arg(reason));
}

void TerminalEngine::tncConnected(const QString& host, quint16 port)
{
    emitEvent(QStringLiteral("tnc-connected"), {{QStringLiteral("host"), host}, {QStringLiteral("port"), port}});
}

void TerminalEngine::tncLost(const QString& reason)
{
    m_ready = false;
    // A call in progress died with the TNC; it is made again when the TNC is
    // back, and does not count against the station called. Links that were
    // up are reported gone by the TNC link itself.
    for (auto it = m_sessions.begin(); it != m_sessions.end();) {
        if ((*it)->state == Session::State::Connecting) {
            it = m_sessions.erase(it);
        } else {
            ++it;
        }
    }
    if (!m_outgoing.isEmpty() && !m_sessions.contains(m_outgoing)) {
        m_outgoing.clear();
        m_connectTimer.stop();
    }
    emitEvent(QStringLiteral("tnc-lost"), {{QStringLiteral("reason"), reason}});
}

void TerminalEngine::tncReady()
{
    m_ready = true;
    scheduleScan(0);
}

void TerminalEngine::tncProblem(const QString& message)
{
    error(message);
}

void TerminalEngine::linkUp(const QByteArray& peer, bool incoming)
{
    if (m_stopping) {
        m_tnc.disconnectFrom(peer);
        return;
    }
    auto it = m_sessions.find(peer);
    if (it != m_sessions.end() && !incoming && (*it)->state == Session::State::Connecting) {
        m_connectTimer.stop();
        Session& s = **it;
        s.state = Session::State::Up;
        emitEvent(QStringLiteral("connected"),
                  {{QStringLiteral("peer"), text(peer)}, {QStringLiteral("direction"), QStringLiteral("out")}});
        startSending(s);
        return;
    }
    if (!incoming && it == m_sessions.end()) {
        // A call given up on (no answer in time) came through late.
        m_tnc.disconnectFrom(peer);
        return;
    }
    if (it != m_sessions.end()) {
        // The other station called while we were calling it: take its files
        // first, ours follow when its batch is done.
        if (m_outgoing == peer) {
            m_connectTimer.stop();
            m_outgoing.clear();
        }
        m_sessions.erase(it);
    }
    if (!m_settings.allows(peer)) {
        emitEvent(QStringLiteral("refused"),
                  {{QStringLiteral("from"), text(peer)},
                   {QStringLiteral("name"), QString()},
                   {QStringLiteral("reason"), QStringLiteral("%1 is not in allowedcalls.dat").arg(text(peer))}});
        m_tnc.disconnectFrom(peer);
        return;
    }
    auto s = std::make_shared<Session>();
    s->peer = peer;
    s->incoming = true;
    s->state = Session::State::Up;
    m_sessions.insert(peer, s);
    emitEvent(QStringLiteral("connected"),
              {{QStringLiteral("peer"), text(peer)}, {QStringLiteral("direction"), QStringLiteral("in")}});
    startReceiving(*s);
}

void TerminalEngine::linkDown(const QByteArray& peer, const QString& reason)
{
    endSession(peer, reason);
}

void TerminalEngine::received(const QByteArray& peer, const QByteArray& bytes)
{
    // Each session is kept alive while its machine runs: a callback may end it.
    const std::shared_ptr<Session> s = m_sessions.value(peer);
    if (!s) {
        return;
    }
    if (s->sender) {
        s->sender->receive(bytes);
    } else if (s->receiver) {
        s->receiver->receive(bytes);
    }
}

void TerminalEngine::room(const QByteArray& peer)
{
    const std::shared_ptr<Session> s = m_sessions.value(peer);
    if (s && s->sender) {
        s->sender->linkReady();
    }
}

void TerminalEngine::scan()
{
    if (m_stopping || !m_ready || !m_outgoing.isEmpty()) {
        return;
    }
    QStringList undeliverable;
    const QList<Destination> destinations = m_queue.scan(text(m_settings.to), &undeliverable);
    for (const QString& name : std::as_const(undeliverable)) {
        if (!m_reported.contains(name)) {
            m_reported.insert(name);
            error(QStringLiteral("\"%1\" in the send folder names no station to send it to: give --to CALL")
                      .arg(QFileInfo(name).fileName()));
        }
    }
    const qint64 now = m_clock.elapsed();
    qint64 nextDue = -1;
    for (const Destination& d : destinations) {
        const QByteArray peer = NormalCall(d.call.toUpper().toLatin1());
        if (peer == m_settings.call) {
            if (!m_reported.contains(peer)) {
                m_reported.insert(peer);
                error(QStringLiteral("%1 file(s) in the send folder are addressed to this station itself (%2) and "
                                     "are not sent")
                          .arg(d.files.size())
                          .arg(d.call));
            }
            continue;
        }
        if (m_sessions.contains(peer)) {
            continue;
        }
        Destination waiting{d.call, {}};
        for (const OutgoingFile& f : d.files) {
            const auto left = m_leftOut.constFind(f.path);
            if (left == m_leftOut.cend() || *left != StampOf(f.path)) {
                waiting.files << f;
            }
        }
        if (waiting.files.isEmpty()) {
            continue;
        }
        const Retry r = m_retries.value(peer);
        if (r.givenUp) {
            continue;
        }
        if (r.dueMs > now) {
            nextDue = nextDue < 0 ? r.dueMs : qMin(nextDue, r.dueMs);
            continue;
        }
        beginOutgoing(waiting);
        return;
    }
    if (nextDue >= 0) {
        scheduleScan(int(nextDue - now));
    }
}

void TerminalEngine::beginOutgoing(const Destination& destination)
{
    auto s = std::make_shared<Session>();
    s->peer = NormalCall(destination.call.toUpper().toLatin1());
    s->files = destination.files;
    m_sessions.insert(s->peer, s);
    m_outgoing = s->peer;
    m_connectTimer.start(m_timing.connectTimeoutMs);
    m_tnc.connectTo(s->peer, m_settings.path);
}

void TerminalEngine::startSending(Session& s)
{
    s.sink = std::make_unique<PeerSink>(m_tnc, s.peer);
    s.sender = std::make_unique<YappSender>(*s.sink, s.files, m_timing.yapp);
    YappSender& sender = *s.sender;
    const QByteArray peer = s.peer;
    Session* session = &s;
    sender.fileStarted = [session](const OutgoingFile&, qint64) { session->fileClock.start(); };
    sender.fileDone = [this, peer, session](const OutgoingFile& file, qint64 bytes) {
        const double seconds = session->fileClock.isValid() ? session->fileClock.elapsed() / 1000.0 : 0.0;
        const Result<SendQueue::SentOutcome> moved = m_queue.markSent(file, bytes, seconds);
        if (!moved.ok()) {
            // Left in the send folder, it must still not go out again in this run.
            m_leftOut.insert(file.path, file.stamp);
            error(moved.error());
        } else if (moved.value() == SendQueue::SentOutcome::Moved) {
            emitEvent(QStringLiteral("file-sent"), {{QStringLiteral("to"), text(peer)},
                                                    {QStringLiteral("name"), file.name},
                                                    {QStringLiteral("bytes"), double(bytes)},
                                                    {QStringLiteral("seconds"), qRound(seconds * 10) / 10.0}});
        } else if (moved.value() == SendQueue::SentOutcome::Changed) {
            error(QStringLiteral("\"%1\" changed while it was sent; it will be sent again whole").arg(file.name));
        }
    };
    sender.fileSkipped = [this](const OutgoingFile& file, const QString& reason) {
        // Offered again only once it has changed: a refusal would repeat.
        m_leftOut.insert(file.path, file.stamp);
        error(QStringLiteral("\"%1\" was not sent: %2").arg(file.name, reason));
    };
    sender.finished = [this, peer, session] {
        session->state = Session::State::Closing;
        m_retries.remove(peer);
        m_tnc.disconnectFrom(peer);
    };
    sender.failed = [this, peer, session](const QString& reason) {
        session->state = Session::State::Closing;
        session->failed = true;
        session->failure = reason;
        m_tnc.disconnectFrom(peer);
    };
    sender.start();
}

void TerminalEngine::startReceiving(Session& s)
{
    s.sink = std::make_unique<PeerSink>(m_tnc, s.peer);
    s.store = std::make_unique<ReceiveStore>(m_settings.receiveFolder);
    s.receiver = std::make_unique<YappReceiver>(*s.sink, *s.store, text(s.peer), m_timing.yapp);
    YappReceiver& receiver = *s.receiver;
    const QByteArray peer = s.peer;
    receiver.fileReceived = [this, peer](const ReceivedFile& file) {
        emitEvent(QStringLiteral("file-received"), {{QStringLiteral("from"), text(peer)},
                                                    {QStringLiteral("name"), file.name},
                                                    {QStringLiteral("bytes"), double(file.bytes)},
                                                    {QStringLiteral("path"), file.path},
                                                    {QStringLiteral("resumed_from"), double(file.resumedFrom)}});
    };
    receiver.refused = [this, peer](const QString& name, const QString& reason) {
        emitEvent(
            QStringLiteral("refused"),
            {{QStringLiteral("from"), text(peer)}, {QStringLiteral("name"), name}, {QStringLiteral("reason"), reason}});
    };
    receiver.failed = [this, peer](const QString& reason) {
        error(QStringLiteral("Receiving from %1 stopped: %2").arg(text(peer), reason));
        m_tnc.disconnectFrom(peer);
    };
}

void TerminalEngine::endSession(const QByteArray& peer, const QString& reason)
{
    const std::shared_ptr<Session> s = m_sessions.take(peer);
    if (!s) {
        return;
    }
    const bool wasOutgoing = m_outgoing == peer;
    if (wasOutgoing) {
        m_outgoing.clear();
        m_connectTimer.stop();
    }
    if (s->state == Session::State::Connecting) {
        // The call never came up.
        if (m_ready) {
            failedTry(peer, reason);
        }
        scheduleScan(0);
        return;
    }
    if (s->receiver) {
        s->receiver->linkBroken();
    }
    bool brokenEarly = s->failed;
    if (s->sender && !s->sender->isDone()) {
        s->sender->linkBroken();
        brokenEarly = true;
    }
    emitEvent(QStringLiteral("disconnected"),
              {{QStringLiteral("peer"), text(peer)}, {QStringLiteral("reason"), reason}});
    if (!s->incoming && brokenEarly && m_ready) {
        failedTry(peer, s->failure.isEmpty() ? reason : s->failure);
    }
    scheduleScan(0);
}

void TerminalEngine::failedTry(const QByteArray& peer, const QString& reason)
{
    Retry& r = m_retries[peer];
    ++r.failures;
    if (r.failures > m_timing.retryPausesMs.size()) {
        r.givenUp = true;
        error(QStringLiteral("%1 did not answer after %2 tries (%3); its files wait for the next start")
                  .arg(text(peer))
                  .arg(r.failures)
                  .arg(reason));
        return;
    }
    const int pause = m_timing.retryPausesMs.at(r.failures - 1);
    r.dueMs = m_clock.elapsed() + pause;
    emitEvent(QStringLiteral("retry"), {{QStringLiteral("to"), text(peer)},
                                        {QStringLiteral("attempt"), r.failures + 1},
                                        {QStringLiteral("wait_seconds"), pause / 1000.0},
                                        {QStringLiteral("reason"), reason}});
}

void TerminalEngine::emitEvent(const QString& name, QJsonObject fields)
{
    fields.insert(QStringLiteral("event"), name);
    emit event(fields);
}

void TerminalEngine::error(const QString& message)
{
    emitEvent(QStringLiteral("error"), {{QStringLiteral("message"), message}});
}

void TerminalEngine::scheduleScan(int ms)
{
    if (!m_soon.isActive() || m_soon.remainingTime() > ms) {
        m_soon.start(qMax(0, ms));
    }
}

} // namespace tolvan
