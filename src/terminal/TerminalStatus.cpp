#include "terminal/TerminalStatus.h"

#include "config/StationFolder.h"
#include "platform/AtomicFile.h"
#include "platform/SafeFile.h"
#include "terminal/ChatText.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

#include <ctime>
#include <sys/stat.h>

namespace tolvan {

namespace {

constexpr qint64 kFreshSeconds = 90;   // a file older than this was left by a terminal that died
constexpr qint64 kMaxFileBytes = 4096; // the file is one short object
constexpr qsizetype kMaxLine = 200;    // the main menu shows one line
const QString kNotRunning = QStringLiteral("not running");

// "Connection refused" reads as "(connection refused)" inside a line.
QString lowerFirst(QString reason)
{
    if (reason.size() > 1 && reason.at(0).isUpper() && reason.at(1).isLower()) {
        reason[0] = reason.at(0).toLower();
    }
    return reason;
}

QString filesText(int n)
{
    return n == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(n);
}

int percent(qint64 done, qint64 total)
{
    return total > 0 ? int(qBound(qint64(0), done * 100 / total, qint64(100))) : 0;
}

} // namespace

QList<WaitingFiles> ReadQueue(const QJsonObject& event)
{
    QList<WaitingFiles> waiting;
    for (const QJsonValue& v : event.value(QLatin1String("destinations")).toArray()) {
        const QJsonObject d = v.toObject();
        WaitingFiles w;
        w.to = d.value(QLatin1String("to")).toString();
        for (const QJsonValue& f : d.value(QLatin1String("files")).toArray()) {
            w.files << f.toString();
        }
        w.bytes = qint64(d.value(QLatin1String("bytes")).toDouble());
        w.nextTry = QDateTime::fromString(d.value(QLatin1String("next_try")).toString(), Qt::ISODate);
        w.givenUp = d.value(QLatin1String("given_up")).toBool();
        waiting << w;
    }
    return waiting;
}

TerminalStatus::TerminalStatus(const QString& tncHost, quint16 tncPort)
    : m_tncLine(tncHost.isEmpty() ? QStringLiteral("connecting to the TNC")
                                  : QStringLiteral("connecting to the TNC at %1:%2").arg(tncHost).arg(tncPort))
{
}

void TerminalStatus::feed(const QJsonObject& event)
{
    const QString name = event.value(QLatin1String("event")).toString();
    const auto peerOf = [&](const char* field) { return event.value(QLatin1String(field)).toString(); };
    const auto touch = [this](const QString& peer) -> Peer& {
        if (!m_peers.contains(peer)) {
            m_order << peer;
        }
        return m_peers[peer];
    };
    const auto drop = [this](const QString& peer) {
        m_peers.remove(peer);
        m_order.removeAll(peer);
    };
    const auto unreachable = [&] {
        m_tncUp = false;
        m_peers.clear();
        m_order.clear();
        m_tncLine = QStringLiteral("TNC not reachable at %1:%2 (%3)")
                        .arg(event.value(QLatin1String("host")).toString())
                        .arg(event.value(QLatin1String("port")).toInt())
                        .arg(lowerFirst(event.value(QLatin1String("reason")).toString()));
    };

    if (name == QLatin1String("tnc-connected")) {
        m_tncUp = true;
    } else if (name == QLatin1String("tnc-lost")) {
        unreachable();
    } else if (name == QLatin1String("error") && event.value(QLatin1String("tnc")) == QLatin1String("unreachable")) {
        unreachable();
    } else if (name == QLatin1String("calling")) {
        touch(peerOf("peer")).calling = true;
    } else if (name == QLatin1String("connected")) {
        if (m_peers.contains(peerOf("peer"))) {
            m_peers[peerOf("peer")].calling = false;
        }
    } else if (name == QLatin1String("chat-connected")) {
        Peer& p = touch(peerOf("peer"));
        p.calling = false;
        p.talking = true;
    } else if (name == QLatin1String("chat-disconnected")) {
        const QString peer = peerOf("peer");
        if (m_peers.contains(peer)) {
            Peer& p = m_peers[peer];
            p.calling = p.talking = false;
            if (p.direction.isEmpty()) {
                drop(peer);
            }
        }
    } else if (name == QLatin1String("file-started") || name == QLatin1String("progress")) {
        Peer& p = touch(peerOf("peer"));
        p.calling = false;
        p.direction = event.value(QLatin1String("direction")).toString();
        p.name = event.value(QLatin1String("name")).toString();
        p.total = event.value(QLatin1String("total")).toInteger();
        p.done = event.value(QLatin1String(name == QLatin1String("progress") ? "done" : "resumed_from")).toInteger();
    } else if (name == QLatin1String("file-sent") || name == QLatin1String("file-received") ||
               name == QLatin1String("refused")) {
        const QString peer = name == QLatin1String("file-sent") ? peerOf("to") : peerOf("from");
        if (m_peers.contains(peer)) {
            m_peers[peer].direction.clear();
        }
    } else if (name == QLatin1String("disconnected")) {
        drop(peerOf("peer"));
    } else if (name == QLatin1String("retry") || name == QLatin1String("given-up")) {
        drop(peerOf("to"));
    } else if (name == QLatin1String("queue")) {
        m_paused = event.value(QLatin1String("paused")).toBool();
        m_waiting = ReadQueue(event);
    } else if (name == QLatin1String("paused")) {
        m_paused = true;
    } else if (name == QLatin1String("resumed")) {
        m_paused = false;
    }
}

QString TerminalStatus::state() const
{
    if (!m_tncUp) {
        return QStringLiteral("no-tnc");
    }
    bool calling = false;
    bool talking = false;
    for (const QString& peer : m_order) {
        const Peer& p = m_peers[peer];
        if (!p.direction.isEmpty()) {
            return p.direction == QLatin1String("in") ? QStringLiteral("receiving") : QStringLiteral("sending");
        }
        calling = calling || p.calling;
        talking = talking || p.talking;
    }
    if (calling) {
        return QStringLiteral("connecting");
    }
    if (talking) {
        return QStringLiteral("talking");
    }
    if (m_paused) {
        return QStringLiteral("paused");
    }
    return m_waiting.isEmpty() ? QStringLiteral("idle") : QStringLiteral("waiting");
}

QString TerminalStatus::line() const
{
    const QString s = state();
    const auto firstPeer = [this](auto wanted) {
        for (const QString& peer : m_order) {
            if (wanted(m_peers[peer])) {
                return peer;
            }
        }
        return QString();
    };
    if (s == QLatin1String("no-tnc")) {
        return m_tncLine;
    }
    if (s == QLatin1String("sending") || s == QLatin1String("receiving")) {
        const QString peer = firstPeer([](const Peer& p) { return !p.direction.isEmpty(); });
        const Peer& p = m_peers[peer];
        return QStringLiteral("%1 %2 %3 %4, %5 %")
            .arg(s, p.name, s == QLatin1String("sending") ? QStringLiteral("to") : QStringLiteral("from"), peer)
            .arg(percent(p.done, p.total));
    }
    if (s == QLatin1String("connecting")) {
        return QStringLiteral("calling ") + firstPeer([](const Peer& p) { return p.calling; });
    }
    if (s == QLatin1String("talking")) {
        return QStringLiteral("talking with ") + firstPeer([](const Peer& p) { return p.talking; });
    }
    if (s == QLatin1String("paused")) {
        int files = 0;
        for (const WaitingFiles& w : m_waiting) {
            files += int(w.files.size());
        }
        return QStringLiteral("stopped by the operator, %1")
            .arg(files == 0 ? QStringLiteral("nothing waiting") : filesText(files) + QStringLiteral(" waiting"));
    }
    if (s == QLatin1String("idle")) {
        return QStringLiteral("nothing to send");
    }
    // The destination tried first: due now before a set time, any before
    // one given up on.
    const WaitingFiles* first = nullptr;
    const auto sooner = [](const WaitingFiles& a, const WaitingFiles& b) {
        if (a.givenUp != b.givenUp) {
            return !a.givenUp;
        }
        if (a.nextTry.isValid() != b.nextTry.isValid()) {
            return !a.nextTry.isValid();
        }
        return a.nextTry < b.nextTry;
    };
    for (const WaitingFiles& w : m_waiting) {
        if (!first || sooner(w, *first)) {
            first = &w;
        }
    }
    QString text = QStringLiteral("%1 waiting for %2").arg(filesText(int(first->files.size())), first->to);
    if (first->givenUp) {
        text += QStringLiteral(", no more tries until Send now");
    } else if (first->nextTry.isValid()) {
        text += QStringLiteral(", next try ") + QLocale().toString(first->nextTry.time(), QLocale::ShortFormat);
    }
    return text;
}

QString TerminalStatus::FileName()
{
    return QStringLiteral("terminal-status.json");
}

Result<> TerminalStatus::write(const QString& stationFolder) const
{
    const QJsonObject o{
        {QStringLiteral("pid"), qint64(QCoreApplication::applicationPid())},
        {QStringLiteral("updated"), QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))},
        {QStringLiteral("state"), state()},
        {QStringLiteral("line"), line()},
    };
    // Written often: no wait for the disk, a lost file only reads as "not running".
    return AtomicFile::writeWhole(StationFolder::WithSeparator(stationFolder) + FileName(),
                                  QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n', AtomicFile::Mode::Replace,
                                  AtomicFile::Sync::No);
}

void TerminalStatus::Remove(const QString& stationFolder)
{
    // Only this program's own file: a terminal started since on the same
    // station keeps its own.
    const QString path = StationFolder::WithSeparator(stationFolder) + FileName();
    const Result<QByteArray> bytes = SafeFile::ReadWhole(path, kMaxFileBytes);
    if (bytes.ok() && QJsonDocument::fromJson(bytes.value()).object().value(QLatin1String("pid")).toInteger() ==
                          QCoreApplication::applicationPid()) {
        QFile::remove(path);
    }
}

QString TerminalStatus::ReadLine(const QString& stationFolder)
{
    const QString path = StationFolder::WithSeparator(stationFolder) + FileName();
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
        std::time(nullptr) - st.st_mtim.tv_sec > kFreshSeconds) {
        return kNotRunning;
    }
    const Result<QByteArray> bytes = SafeFile::ReadWhole(path, kMaxFileBytes);
    if (!bytes.ok()) {
        return kNotRunning;
    }
    const QJsonObject o = QJsonDocument::fromJson(bytes.value()).object();
    const qint64 pid = o.value(QLatin1String("pid")).toInteger();
    if (pid <= 0) {
        return kNotRunning;
    }
    // A pid reused by another program after the terminal was killed is not it.
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly) || comm.read(64).trimmed() != "tolvan-terminal") {
        return kNotRunning;
    }
    // Shown as it stands in the menu: one line, no control characters.
    const QString line = ChatText::Neutralise(o.value(QLatin1String("line")).toString()).left(kMaxLine);
    return line.isEmpty() ? QStringLiteral("running") : line;
}

} // namespace tolvan
