#include "terminal/TerminalEngine.h"

#include "platform/AnsiCodec.h"
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

// The first bytes of a YAPP transfer (SI): anything else opens a conversation.
const QByteArray kYappStart("\x05\x01", 2);

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
    QElapsedTimer progressClock; // since the file began or the last progress event
    qint64 resumedFrom = 0;
    bool failed = false; // the batch ended early: a failed try
    QString failure;
    bool byOperator = false; // ended by pause(): no failed try
    // Conversations: a call the operator made, or an incoming link whose
    // first bytes were not a YAPP start.
    bool chat = false;
    bool heard = false; // incoming: its first bytes have come and decided
    QByteArray early;   // incoming: a first byte that cannot decide alone
    QByteArray heldEnq; // conversation: an ENQ that may begin a YAPP start
    ChatText lines;
    QTimer decide; // incoming: silence long enough makes it a conversation
    QTimer prompt; // a begun line resting: shown as it is
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
    scheduleScan(0); // what waits is told at once, the TNC or not
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
    sendNow();
}

void TerminalEngine::sendNow(const QByteArray& call)
{
    if (call.isEmpty()) {
        m_retries.clear();
    } else {
        m_retries.remove(NormalCall(call.trimmed().toUpper()));
    }
    if (m_paused) {
        m_paused = false;
        emitEvent(QStringLiteral("resumed"), {});
    }
    scheduleScan(0);
}

void TerminalEngine::pause()
{
    if (!m_paused) {
        m_paused = true;
        emitEvent(QStringLiteral("paused"), {});
    }
    // Each machine stops where it is before the link is asked to close, so
    // nothing more is sent; the link's end then closes the session.
    const QList<std::shared_ptr<Session>> sessions = m_sessions.values();
    for (const std::shared_ptr<Session>& s : sessions) {
        if (s->chat) {
            continue;
        }
        if (s->state == Session::State::Connecting) {
            m_sessions.remove(s->peer);
            if (m_outgoing == s->peer) {
                m_outgoing.clear();
                m_connectTimer.stop();
            }
            emitEvent(QStringLiteral("disconnected"),
                      {{QStringLiteral("peer"), text(s->peer)},
                       {QStringLiteral("reason"), QStringLiteral("call stopped by the operator")}});
        } else {
            s->byOperator = true;
            s->state = Session::State::Closing;
            // A machine still running asks for the disconnect as it fails.
            const bool running = (s->receiver && !s->receiver->isDone()) || (s->sender && !s->sender->isDone());
            if (s->receiver) {
                s->receiver->linkBroken(); // keeps the partial file for resume
            }
            if (s->sender) {
                s->sender->linkBroken(); // the file stays in the send folder
            }
            if (running) {
                continue;
            }
        }
        m_tnc.disconnectFrom(s->peer);
    }
    scheduleScan(0);
}

Result<> TerminalEngine::connectChat(const QByteArray& call, const QList<QByteArray>& path)
{
    const Result<QByteArray> checked = CheckCallSign(QString::fromLatin1(call).trimmed());
    if (!checked.ok()) {
        return checked.failure();
    }
    QList<QByteArray> via;
    for (const QByteArray& hop : path) {
        const Result<QByteArray> digi = CheckCallSign(QString::fromLatin1(hop).trimmed());
        if (!digi.ok()) {
            return Fail(QStringLiteral("In the path: %1").arg(digi.error()));
        }
        via << NormalCall(digi.value());
    }
    const QByteArray peer = NormalCall(checked.value());
    if (peer == m_settings.call) {
        return Fail(QStringLiteral("%1 is this station's own call sign.").arg(text(peer)));
    }
    if (m_stopping || !m_ready) {
        return Fail(QStringLiteral("The TNC is not ready: the terminal is not connected to it."));
    }
    if (const std::shared_ptr<Session> s = m_sessions.value(peer)) {
        return Fail(
            s->chat
                ? QStringLiteral("A conversation with %1 is already open.").arg(text(peer))
                : QStringLiteral("Files are being exchanged with %1; call again when they are done.").arg(text(peer)));
    }
    auto s = std::make_shared<Session>();
    s->peer = peer;
    s->chat = true;
    m_sessions.insert(peer, s);
    emitEvent(QStringLiteral("calling"), {{QStringLiteral("peer"), text(peer)}, {QStringLiteral("chat"), true}});
    m_tnc.connectTo(peer, via);
    return {};
}

Result<> TerminalEngine::sendChatLine(const QByteArray& peerCall, const QString& line)
{
    const QByteArray peer = NormalCall(peerCall.trimmed().toUpper());
    const std::shared_ptr<Session> s = m_sessions.value(peer);
    if (!s || !s->chat || s->state == Session::State::Closing) {
        return Fail(QStringLiteral("There is no conversation with %1.").arg(text(peer)));
    }
    if (s->state == Session::State::Connecting) {
        return Fail(QStringLiteral("%1 has not answered yet.").arg(text(peer)));
    }
    QString typed = line;
    typed.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    QStringList parts = typed.split(u'\n');
    if (parts.size() > 1 && parts.last().isEmpty()) {
        parts.removeLast();
    }
    QByteArray bytes;
    for (const QString& part : std::as_const(parts)) {
        bytes += Ansi::encode(part) + '\r';
    }
    m_tnc.send(peer, bytes);
    for (const QString& part : std::as_const(parts)) {
        emitEvent(QStringLiteral("chat-line"), {{QStringLiteral("peer"), text(peer)},
                                                {QStringLiteral("direction"), QStringLiteral("out")},
                                                {QStringLiteral("text"), part}});
    }
    return {};
}

void TerminalEngine::disconnectChat(const QByteArray& peerCall)
{
    const QByteArray peer = NormalCall(peerCall.trimmed().toUpper());
    const std::shared_ptr<Session> s = m_sessions.value(peer);
    if (!s || !s->chat) {
        return;
    }
    m_tnc.disconnectFrom(peer);
    if (s->state == Session::State::Connecting) {
        m_sessions.remove(peer);
        emitEvent(QStringLiteral("chat-disconnected"),
                  {{QStringLiteral("peer"), text(peer)}, {QStringLiteral("reason"), QStringLiteral("call given up")}});
        scheduleScan(0);
        return;
    }
    s->state = Session::State::Closing; // the TNC's notice ends it
}

void TerminalEngine::tncUnreachable(const QString& host, quint16 port, const QString& reason)
{
    emitEvent(
        QStringLiteral("error"),
        {{QStringLiteral("message"),
          QStringLiteral("The TNC at %1:%2 cannot be reached (%3); trying again").arg(host).arg(port).arg(reason)},
         {QStringLiteral("tnc"), QStringLiteral("unreachable")},
         {QStringLiteral("host"), host},
         {QStringLiteral("port"), port},
         {QStringLiteral("reason"), reason}});
}

void TerminalEngine::tncConnected(const QString& host, quint16 port)
{
    m_tncHost = host;
    m_tncPort = port;
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
            if ((*it)->chat) {
                emitEvent(QStringLiteral("chat-disconnected"),
                          {{QStringLiteral("peer"), text((*it)->peer)},
                           {QStringLiteral("reason"), QStringLiteral("TNC lost: ") + reason}});
            }
            it = m_sessions.erase(it);
        } else {
            ++it;
        }
    }
    if (!m_outgoing.isEmpty() && !m_sessions.contains(m_outgoing)) {
        m_outgoing.clear();
        m_connectTimer.stop();
    }
    emitEvent(
        QStringLiteral("tnc-lost"),
        {{QStringLiteral("reason"), reason}, {QStringLiteral("host"), m_tncHost}, {QStringLiteral("port"), m_tncPort}});
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
        Session& s = **it;
        s.state = Session::State::Up;
        if (s.chat) {
            openConversation(s);
            return;
        }
        m_connectTimer.stop();
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
        if ((*it)->chat) {
            emitEvent(QStringLiteral("chat-disconnected"),
                      {{QStringLiteral("peer"), text(peer)},
                       {QStringLiteral("reason"), QStringLiteral("%1 called this station meanwhile").arg(text(peer))}});
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
    // Its first bytes tell a file transfer from a conversation; a station
    // that says nothing for a while is someone waiting to be spoken to.
    s->decide.setSingleShot(true);
    connect(&s->decide, &QTimer::timeout, this, [this, peer] {
        const std::shared_ptr<Session> waiting = m_sessions.value(peer);
        if (waiting && !waiting->heard && !waiting->chat && waiting->state == Session::State::Up) {
            openConversation(*waiting);
        }
    });
    s->decide.start(m_timing.conversationMs);
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
    if (s->chat && s->receiver && s->receiver->isDone()) {
        // The files sent within the conversation are in; it goes on.
        s->receiver.reset();
    }
    if (s->sender) {
        s->sender->receive(bytes);
    } else if (s->receiver) {
        s->receiver->receive(bytes);
    } else if (s->incoming && !s->heard) {
        firstBytes(*s, bytes);
    } else if (s->chat) {
        conversationBytes(*s, bytes);
    }
}

void TerminalEngine::firstBytes(Session& s, const QByteArray& bytes)
{
    s.early += bytes;
    if (s.early.size() < kYappStart.size() && kYappStart.startsWith(s.early)) {
        return; // ENQ alone: the next byte decides
    }
    s.heard = true;
    s.decide.stop();
    const QByteArray first = std::exchange(s.early, {});
    if (s.chat || !first.startsWith(kYappStart)) {
        if (!s.chat) {
            openConversation(s);
        }
        conversationBytes(s, first);
        return;
    }
    startReceiving(s);
    s.receiver->receive(first);
}

void TerminalEngine::openConversation(Session& s)
{
    s.chat = true;
    // A node's or a BBS's prompt ends in no CR: once the line rests it is
    // shown as far as it goes, and what follows starts a new line.
    s.prompt.setSingleShot(true);
    connect(&s.prompt, &QTimer::timeout, this, [this, peer = s.peer] {
        const std::shared_ptr<Session> talking = m_sessions.value(peer);
        if (talking && talking->chat && !talking->receiver && talking->lines.hasPartial()) {
            emitEvent(QStringLiteral("chat-line"), {{QStringLiteral("peer"), text(peer)},
                                                    {QStringLiteral("direction"), QStringLiteral("in")},
                                                    {QStringLiteral("text"), talking->lines.flush()},
                                                    {QStringLiteral("partial"), true}});
        }
    });
    emitEvent(QStringLiteral("chat-connected"),
              {{QStringLiteral("peer"), text(s.peer)},
               {QStringLiteral("direction"), s.incoming ? QStringLiteral("in") : QStringLiteral("out")}});
}

void TerminalEngine::conversationBytes(Session& s, const QByteArray& received)
{
    // A YAPP start within a conversation (an operator who greets first, a
    // BBS asked for a file) brings files from a station allowed to send
    // them; the conversation goes on after the batch. An ENQ at the end of
    // the bytes waits for the byte that decides.
    QByteArray bytes = std::exchange(s.heldEnq, {}) + received;
    const bool filesAllowed = m_settings.allows(s.peer);
    const qsizetype yapp = filesAllowed ? bytes.indexOf(kYappStart) : -1;
    QByteArray files;
    if (yapp >= 0) {
        files = bytes.mid(yapp);
        bytes.truncate(yapp);
    } else if (filesAllowed && bytes.endsWith(kYappStart.at(0))) {
        s.heldEnq = bytes.right(1);
        bytes.chop(1);
    }
    const auto tell = [&](const QString& line, bool partial) {
        QJsonObject fields{{QStringLiteral("peer"), text(s.peer)},
                           {QStringLiteral("direction"), QStringLiteral("in")},
                           {QStringLiteral("text"), line}};
        if (partial) {
            fields.insert(QStringLiteral("partial"), true);
        }
        emitEvent(QStringLiteral("chat-line"), fields);
    };
    for (const QString& line : s.lines.feed(bytes)) {
        tell(line, false);
    }
    if (yapp >= 0) {
        if (s.lines.hasPartial()) {
            tell(s.lines.flush(), true);
        }
        s.prompt.stop();
        startReceiving(s);
        s.receiver->receive(files);
        return;
    }
    if (s.lines.hasPartial()) {
        s.prompt.start(m_timing.promptMs);
    } else {
        s.prompt.stop();
    }
}

void TerminalEngine::progressOf(Session& s, const QString& direction, const QString& name, qint64 done, qint64 total)
{
    if (s.progressClock.isValid() && s.progressClock.elapsed() < m_timing.progressMs) {
        return;
    }
    s.progressClock.start();
    const double seconds = s.fileClock.isValid() ? s.fileClock.elapsed() / 1000.0 : 0.0;
    const double rate = seconds > 0 ? qMax<qint64>(0, done - s.resumedFrom) / seconds : 0.0;
    emitEvent(QStringLiteral("progress"), {{QStringLiteral("direction"), direction},
                                           {QStringLiteral("peer"), text(s.peer)},
                                           {QStringLiteral("name"), name},
                                           {QStringLiteral("done"), double(done)},
                                           {QStringLiteral("total"), double(total)},
                                           {QStringLiteral("bytes_per_second"), qRound(rate * 10) / 10.0}});
}

void TerminalEngine::fileBegun(Session& s, const QString& direction, const QString& name, qint64 total,
                               qint64 resumedFrom)
{
    s.fileClock.start();
    s.progressClock.start();
    s.resumedFrom = resumedFrom;
    emitEvent(QStringLiteral("file-started"), {{QStringLiteral("direction"), direction},
                                               {QStringLiteral("peer"), text(s.peer)},
                                               {QStringLiteral("name"), name},
                                               {QStringLiteral("total"), double(total)},
                                               {QStringLiteral("resumed_from"), double(resumedFrom)}});
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
    if (m_stopping) {
        return;
    }
    QStringList undeliverable;
    const QList<Destination> destinations = m_queue.scan(text(m_settings.to), &undeliverable);
    // A file put into an addressed sub-folder is seen at once, too.
    const QStringList watched = m_watcher.directories();
    for (const QString& folder : m_queue.addressFolders()) {
        if (!watched.contains(folder)) {
            m_watcher.addPath(folder);
        }
    }
    for (const QString& name : std::as_const(undeliverable)) {
        if (!m_reported.contains(name)) {
            m_reported.insert(name);
            error(QStringLiteral("\"%1\" in the send folder names no station to send it to: give --to CALL")
                      .arg(QFileInfo(name).fileName()));
        }
    }
    QList<Destination> waitingAll;
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
        Destination waiting{d.call, {}};
        for (const OutgoingFile& f : d.files) {
            const auto left = m_leftOut.constFind(f.path);
            if (left == m_leftOut.cend() || *left != StampOf(f.path)) {
                waiting.files << f;
            }
        }
        if (!waiting.files.isEmpty()) {
            waitingAll << waiting;
        }
    }
    reportQueue(waitingAll);
    if (!m_ready || !m_outgoing.isEmpty() || m_paused) {
        return;
    }
    const qint64 now = m_clock.elapsed();
    qint64 nextDue = -1;
    for (const Destination& waiting : std::as_const(waitingAll)) {
        const QByteArray peer = NormalCall(waiting.call.toUpper().toLatin1());
        if (m_sessions.contains(peer)) {
            continue; // a conversation, or its own files coming in: they wait
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

void TerminalEngine::reportQueue(const QList<Destination>& destinations)
{
    const qint64 now = m_clock.elapsed();
    QJsonArray list;
    for (const Destination& d : destinations) {
        QJsonArray names;
        qint64 bytes = 0;
        for (const OutgoingFile& f : d.files) {
            names << f.name;
            bytes += qMax<qint64>(0, f.stamp.size);
        }
        const Retry r = m_retries.value(NormalCall(d.call.toUpper().toLatin1()));
        const bool later = !r.givenUp && r.dueMs > now && r.dueAt.isValid();
        list << QJsonObject{
            {QStringLiteral("to"), d.call},
            {QStringLiteral("files"), names},
            {QStringLiteral("bytes"), double(bytes)},
            {QStringLiteral("next_try"), later ? r.dueAt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) : QString()},
            {QStringLiteral("given_up"), r.givenUp}};
    }
    // Nothing waiting and no pause at the start is no news.
    if (list == m_lastQueue && m_queuePaused == m_paused) {
        return;
    }
    m_lastQueue = list;
    m_queuePaused = m_paused;
    emitEvent(QStringLiteral("queue"), {{QStringLiteral("destinations"), list}, {QStringLiteral("paused"), m_paused}});
}

void TerminalEngine::beginOutgoing(const Destination& destination)
{
    auto s = std::make_shared<Session>();
    s->peer = NormalCall(destination.call.toUpper().toLatin1());
    s->files = destination.files;
    m_sessions.insert(s->peer, s);
    m_outgoing = s->peer;
    m_connectTimer.start(m_timing.connectTimeoutMs);
    emitEvent(QStringLiteral("calling"), {{QStringLiteral("peer"), text(s->peer)}, {QStringLiteral("chat"), false}});
    m_tnc.connectTo(s->peer, m_settings.path);
}

void TerminalEngine::startSending(Session& s)
{
    s.sink = std::make_unique<PeerSink>(m_tnc, s.peer);
    s.sender = std::make_unique<YappSender>(*s.sink, s.files, m_timing.yapp);
    YappSender& sender = *s.sender;
    const QByteArray peer = s.peer;
    Session* session = &s;
    sender.fileStarted = [this, session](const OutgoingFile& file, qint64 resumedFrom) {
        fileBegun(*session, QStringLiteral("out"), file.name, file.stamp.size, resumedFrom);
    };
    sender.progress = [this, session](const QString& name, qint64 done, qint64 total) {
        progressOf(*session, QStringLiteral("out"), name, done, total);
    };
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
    Session* session = &s;
    receiver.fileStarted = [this, session](const QString& name, qint64 size, qint64 resumedFrom) {
        fileBegun(*session, QStringLiteral("in"), name, size, resumedFrom);
    };
    receiver.progress = [this, session](const QString& name, qint64 done, qint64 total) {
        progressOf(*session, QStringLiteral("in"), name, done, total);
    };
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
    receiver.failed = [this, peer, session](const QString& reason) {
        if (!session->byOperator) {
            error(QStringLiteral("Receiving from %1 stopped: %2").arg(text(peer), reason));
        }
        if (!session->chat) {
            m_tnc.disconnectFrom(peer);
        }
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
    if (s->chat) {
        if (s->receiver) {
            s->receiver->linkBroken(); // keeps a file in progress for resume
        }
        if (const QString rest = s->lines.flush(); !rest.isEmpty()) {
            emitEvent(QStringLiteral("chat-line"), {{QStringLiteral("peer"), text(peer)},
                                                    {QStringLiteral("direction"), QStringLiteral("in")},
                                                    {QStringLiteral("text"), rest}});
        }
        emitEvent(QStringLiteral("chat-disconnected"),
                  {{QStringLiteral("peer"), text(peer)}, {QStringLiteral("reason"), reason}});
        if (s->incoming) {
            emitEvent(QStringLiteral("disconnected"),
                      {{QStringLiteral("peer"), text(peer)}, {QStringLiteral("reason"), reason}});
        }
        scheduleScan(0); // its files may go now
        return;
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
    if (!s->incoming && brokenEarly && m_ready && !s->byOperator) {
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
        emitEvent(QStringLiteral("given-up"), {{QStringLiteral("to"), text(peer)},
                                               {QStringLiteral("tries"), r.failures},
                                               {QStringLiteral("reason"), reason}});
        error(QStringLiteral("%1 did not answer after %2 tries (%3); its files wait for the next start")
                  .arg(text(peer))
                  .arg(r.failures)
                  .arg(reason));
        return;
    }
    const int pause = m_timing.retryPausesMs.at(r.failures - 1);
    r.dueMs = m_clock.elapsed() + pause;
    r.dueAt = QDateTime::currentDateTime().addMSecs(pause);
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
