#include "terminal/Yapp.h"

#include "platform/AnsiCodec.h"
#include "platform/ReceivedName.h"
#include "terminal/ReceiveStore.h"

#include <sys/stat.h>

namespace tolvan {

namespace Yapp {

namespace {

QByteArray two(char kind, char code)
{
    return QByteArray(1, kind) + code;
}

// A counted packet: kind, length, payload (at most 255 bytes; longer reasons are cut).
QByteArray counted(char kind, QByteArray payload)
{
    payload.truncate(255);
    return QByteArray(1, kind) + char(payload.size()) + payload;
}

// The reason text a CN or NR carries, for the operator.
QString reasonOf(const QByteArray& packet)
{
    return Ansi::decode(packet.mid(2)).trimmed();
}

bool isAck(const QByteArray& p, char code)
{
    return p.size() == 2 && p[0] == ACK && p[1] == code;
}

} // namespace

const QByteArray kSI = two(ENQ, 0x01);
const QByteArray kRR = two(ACK, 0x01);
const QByteArray kRF = two(ACK, 0x02);
const QByteArray kAF = two(ACK, 0x03);
const QByteArray kAT = two(ACK, 0x04);
const QByteArray kCA = two(ACK, 0x05);
const QByteArray kRT = two(ACK, ACK);
const QByteArray kEF = two(ETX, 0x01);
const QByteArray kET = two(EOT, 0x01);

quint8 Checksum(QByteArrayView data)
{
    quint8 sum = 0;
    for (char c : data) {
        sum = quint8(sum + quint8(c));
    }
    return sum;
}

QByteArray DateField(const QDateTime& time)
{
    const QDateTime local = time.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    int year = d.year() - 1980;
    quint16 date = 0x21; // 1 January 1980, the earliest date the field holds
    if (year >= 0 && year <= 127) {
        date = quint16((year << 9) | (d.month() << 5) | d.day());
    }
    const quint16 clock = quint16((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2));
    return QByteArray::number(date, 16).toUpper().rightJustified(4, '0') +
           QByteArray::number(clock, 16).toUpper().rightJustified(4, '0');
}

QDateTime ParseDateField(QByteArrayView field)
{
    if (field.size() != 8) {
        return {};
    }
    bool okDate = false;
    bool okTime = false;
    const uint date = field.first(4).toByteArray().toUInt(&okDate, 16);
    const uint clock = field.last(4).toByteArray().toUInt(&okTime, 16);
    if (!okDate || !okTime) {
        return {};
    }
    const QDate d(int(date >> 9) + 1980, int((date >> 5) & 0x0F), int(date & 0x1F));
    const QTime t(int(clock >> 11), int((clock >> 5) & 0x3F), int(clock & 0x1F) * 2);
    if (!d.isValid() || !t.isValid()) {
        return {};
    }
    return QDateTime(d, t);
}

std::optional<QByteArray> PacketReader::next()
{
    if (m_buffer.isEmpty()) {
        return std::nullopt;
    }
    const char kind = m_buffer[0];
    qsizetype length = 0;
    switch (kind) {
    case ACK:
    case ENQ:
    case ETX:
    case EOT:
        length = 2;
        break;
    case SOH:
    case STX:
    case NAK:
    case CAN:
    case DLE: {
        if (m_buffer.size() < 2) {
            return std::nullopt;
        }
        qsizetype count = quint8(m_buffer[1]);
        // Only a data block counts 0 as 256.
        if (kind == STX && count == 0) {
            count = 256;
        }
        length = 2 + count + (kind == STX && m_checksum ? 1 : 0);
        break;
    }
    default:
        length = 1;
        break;
    }
    if (m_buffer.size() < length) {
        return std::nullopt;
    }
    QByteArray packet = m_buffer.first(length);
    m_buffer.remove(0, length);
    return packet;
}

bool PacketReader::skipTo(QByteArrayView marker)
{
    const qsizetype at = m_buffer.indexOf(marker);
    if (at >= 0) {
        m_buffer.remove(0, at);
        return true;
    }
    // Keep a tail that may be the marker's beginning.
    const qsizetype keep = qMin(m_buffer.size(), marker.size() - 1);
    m_buffer = m_buffer.right(keep);
    while (!m_buffer.isEmpty() && !marker.startsWith(QByteArrayView(m_buffer))) {
        m_buffer.remove(0, 1);
    }
    return false;
}

} // namespace Yapp

using namespace Yapp;

// ---------------------------------------------------------------- sender

YappSender::YappSender(ByteSink& link, QList<OutgoingFile> files, Yapp::Options options)
    : m_link(link)
    , m_files(std::move(files))
    , m_options(options)
{
    m_options.blockSize = qBound(1, m_options.blockSize, 256);
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { timeout(); });
}

YappSender::~YappSender() = default;

bool YappSender::isDone() const
{
    return m_state == State::Done;
}

void YappSender::armTimer()
{
    if (m_options.replyTimeoutMs > 0) {
        m_timer.start(m_options.replyTimeoutMs);
    }
}

void YappSender::start()
{
    if (m_state != State::Idle) {
        return;
    }
    m_link.write(kSI);
    m_state = State::Init;
    armTimer();
}

void YappSender::receive(QByteArrayView bytes)
{
    if (m_state == State::Done || m_state == State::Idle) {
        return;
    }
    m_reader.append(bytes);
    while (m_state != State::Done) {
        const std::optional<QByteArray> packet = m_reader.next();
        if (!packet) {
            break;
        }
        handle(*packet);
    }
}

void YappSender::linkReady()
{
    if (m_state == State::Data) {
        sendData();
    }
}

void YappSender::linkBroken()
{
    if (m_state != State::Done) {
        fail(QStringLiteral("The link broke."));
    }
}

void YappSender::cancel(const QString& reason)
{
    if (m_state == State::Done || m_state == State::CancelWait) {
        return;
    }
    m_link.write(counted(CAN, Ansi::encode(reason)));
    m_cancelReason = reason;
    m_state = State::CancelWait;
    armTimer();
}

void YappSender::timeout()
{
    switch (m_state) {
    case State::Idle:
    case State::Done:
        return;
    case State::Data:
        return; // sending; no answer awaited
    case State::Eot:
        // Every file was acknowledged; only the last word is missing.
        m_state = State::Done;
        m_timer.stop();
        if (finished) {
            finished();
        }
        return;
    case State::CancelWait:
        fail(m_cancelReason);
        return;
    default:
        m_link.write(counted(CAN, QByteArrayLiteral("Timeout")));
        fail(QStringLiteral("The receiving station did not answer in time."));
        return;
    }
}

void YappSender::fail(const QString& reason)
{
    m_timer.stop();
    m_file.reset();
    m_state = State::Done;
    if (failed) {
        failed(reason);
    }
}

void YappSender::sendCancel(const QString& reason)
{
    m_link.write(counted(CAN, Ansi::encode(reason)));
    fail(reason);
}

void YappSender::nextFile()
{
    m_file.reset();
    while (++m_index < m_files.size()) {
        OutgoingFile& file = m_files[m_index];
        auto handle = std::make_unique<QFile>(file.path);
        struct stat st;
        if (!handle->open(QIODevice::ReadOnly) || ::fstat(handle->handle(), &st) != 0 || !S_ISREG(st.st_mode)) {
            if (fileSkipped) {
                fileSkipped(file, QStringLiteral("%1 cannot be read: %2").arg(file.path, handle->errorString()));
            }
            continue;
        }
        // The look of the file as it is sent: compared again before it is moved.
        file.stamp.size = st.st_size;
        file.stamp.modifiedMs = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
        file.stamp.inode = st.st_ino;
        if (const QString why = ReceivedName::SendProblem(file.name); !why.isEmpty()) {
            if (fileSkipped) {
                fileSkipped(file, QStringLiteral("The name \"%1\" cannot be sent: %2.").arg(file.name, why));
            }
            continue;
        }
        m_file = std::move(handle);
        m_sent = 0;
        m_resumedFrom = 0;
        sendHeader();
        return;
    }
    m_link.write(kET);
    m_state = State::Eot;
    armTimer();
}

void YappSender::sendHeader()
{
    const OutgoingFile& file = m_files.at(m_index);
    QByteArray payload = Ansi::encode(file.name) + NUL + QByteArray::number(file.stamp.size) + NUL;
    if (m_options.checksum) {
        const QDateTime modified = QDateTime::fromMSecsSinceEpoch(file.stamp.modifiedMs);
        payload += DateField(modified) + NUL;
    }
    if (payload.size() > 255) {
        if (fileSkipped) {
            fileSkipped(file, QStringLiteral("The name \"%1\" is too long for a YAPP header.").arg(file.name));
        }
        nextFile();
        return;
    }
    m_link.write(counted(SOH, payload));
    m_state = State::Header;
    armTimer();
}

void YappSender::sendData()
{
    const OutgoingFile& file = m_files.at(m_index);
    const qint64 size = file.stamp.size;
    while (m_sent < size && m_link.canAcceptMore()) {
        const qint64 want = qMin<qint64>(m_options.blockSize, size - m_sent);
        const QByteArray block = m_file->read(want);
        if (block.size() != want) {
            // Shorter than when it was opened, or unreadable.
            const QString why = block.size() < 0 ? m_file->errorString()
                                                 : QStringLiteral("it changed while being sent");
            const QString reason = QStringLiteral("%1 could not be read: %2").arg(file.name, why);
            if (fileSkipped) {
                fileSkipped(file, reason);
            }
            sendCancel(reason);
            return;
        }
        QByteArray packet;
        packet.reserve(block.size() + 3);
        packet.append(STX).append(char(block.size() == 256 ? 0 : block.size())).append(block);
        if (m_checksum) {
            packet.append(char(Checksum(block)));
        }
        m_link.write(packet);
        m_sent += block.size();
        if (progress) {
            progress(file.name, m_sent, size);
        }
    }
    if (m_sent >= size) {
        m_link.write(kEF);
        m_state = State::Eof;
        armTimer();
    }
}

void YappSender::handle(const QByteArray& p)
{
    // A cancel ends the transfer in every state.
    if (p[0] == CAN) {
        const QString why = reasonOf(p);
        m_link.write(kCA);
        const QString reason = why.isEmpty() ? QStringLiteral("The receiving station cancelled the transfer.")
                                             : QStringLiteral("The receiving station cancelled: %1").arg(why);
        if (m_state == State::CancelWait) {
            fail(m_cancelReason);
            return;
        }
        // A cancel in answer to a header refuses that file (too large, a name
        // the station does not take): the owner may leave it out next time.
        if (m_state == State::Header && fileSkipped) {
            fileSkipped(m_files.at(m_index), reason);
        }
        fail(reason);
        return;
    }
    switch (m_state) {
    case State::Init:
        if (isAck(p, 0x01)) {
            nextFile();
        } else if (p[0] == NAK) {
            fail(QStringLiteral("The receiving station is not ready: %1").arg(reasonOf(p)));
        }
        // Anything else (a greeting the receiving terminal prints) is passed over.
        return;
    case State::Header:
        if (isAck(p, 0x02) || isAck(p, ACK)) {
            m_checksum = isAck(p, ACK);
        } else if (p[0] == NAK && p.size() >= 4 && p[2] == 'R' && p[3] == NUL) {
            // Resume: 'R' NUL offset NUL, and 'C' NUL when checksums are on.
            const QByteArray rest = p.mid(4);
            const qsizetype end = rest.indexOf(NUL);
            bool ok = false;
            const qint64 offset = rest.left(end < 0 ? rest.size() : end).toLongLong(&ok);
            const qint64 size = m_files.at(m_index).stamp.size;
            if (!ok || offset < 0 || offset > size || !m_file->seek(offset)) {
                sendCancel(QStringLiteral("The receiving station asked to resume at an impossible place."));
                return;
            }
            m_checksum = end >= 0 && rest.mid(end + 1).startsWith('C');
            m_sent = offset;
            m_resumedFrom = offset;
        } else if (p[0] == NAK) {
            const QString reason = QStringLiteral("The receiving station refused the file: %1").arg(reasonOf(p));
            if (fileSkipped) {
                fileSkipped(m_files.at(m_index), reason);
            }
            fail(reason);
            return;
        } else {
            sendCancel(QStringLiteral("Unexpected answer to the file header."));
            return;
        }
        m_timer.stop();
        m_state = State::Data;
        if (fileStarted) {
            fileStarted(m_files.at(m_index), m_resumedFrom);
        }
        sendData();
        return;
    case State::Eof:
        if (isAck(p, 0x03)) {
            m_timer.stop();
            const OutgoingFile file = m_files.at(m_index);
            m_file.reset();
            if (fileDone) {
                fileDone(file, file.stamp.size);
            }
            if (m_state == State::Eof) {
                nextFile();
            }
        } else {
            sendCancel(QStringLiteral("Unexpected answer to the end of the file."));
        }
        return;
    case State::Eot:
        if (isAck(p, 0x04)) {
            m_timer.stop();
            m_state = State::Done;
            if (finished) {
                finished();
            }
        } else {
            sendCancel(QStringLiteral("Unexpected answer to the end of the transfer."));
        }
        return;
    case State::CancelWait:
        if (isAck(p, 0x05)) {
            fail(m_cancelReason);
        }
        return;
    case State::Data:
        sendCancel(QStringLiteral("Unexpected packet from the receiving station while sending."));
        return;
    case State::Idle:
    case State::Done:
        return;
    }
}

// ---------------------------------------------------------------- receiver

YappReceiver::YappReceiver(ByteSink& link, ReceiveStore& store, QString peerCall, Yapp::Options options)
    : m_link(link)
    , m_store(store)
    , m_peer(std::move(peerCall))
    , m_options(options)
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { timeout(); });
}

YappReceiver::~YappReceiver()
{
    if (m_store.active()) {
        m_store.keepForResume();
    }
}

bool YappReceiver::isDone() const
{
    return m_state == State::Done;
}

void YappReceiver::armTimer()
{
    if (m_options.replyTimeoutMs > 0) {
        m_timer.start(m_options.replyTimeoutMs);
    }
}

void YappReceiver::receive(QByteArrayView bytes)
{
    if (m_state == State::Done) {
        return;
    }
    m_reader.append(bytes);
    while (m_state != State::Done) {
        if (m_state == State::Wait) {
            // A greeting or other text before the transfer begins is passed over.
            if (!m_reader.skipTo(kSI)) {
                return;
            }
        }
        const std::optional<QByteArray> packet = m_reader.next();
        if (!packet) {
            return;
        }
        handle(*packet);
    }
}

void YappReceiver::linkBroken()
{
    if (m_state == State::Done) {
        return;
    }
    m_store.keepForResume();
    fail(QStringLiteral("The link broke."));
}

void YappReceiver::cancel(const QString& reason)
{
    if (m_state == State::Done) {
        return;
    }
    m_store.discard();
    m_link.write(counted(CAN, Ansi::encode(reason)));
    fail(reason);
}

void YappReceiver::timeout()
{
    if (m_state == State::Done) {
        return;
    }
    m_store.keepForResume();
    m_link.write(counted(CAN, QByteArrayLiteral("Timeout")));
    fail(QStringLiteral("The sending station went silent."));
}

void YappReceiver::fail(const QString& reason)
{
    m_timer.stop();
    m_state = State::Done;
    if (failed) {
        failed(reason);
    }
}

void YappReceiver::sendCancel(const QString& reason)
{
    m_link.write(counted(CAN, Ansi::encode(reason)));
    fail(reason);
}

void YappReceiver::refuse(const QString& reason)
{
    m_link.write(counted(CAN, Ansi::encode(reason)));
    if (refused) {
        refused(m_name, reason);
    }
    fail(reason);
}

void YappReceiver::handle(const QByteArray& p)
{
    if (p[0] == CAN) {
        m_link.write(kCA);
        m_store.keepForResume();
        const QString why = reasonOf(p);
        fail(why.isEmpty() ? QStringLiteral("The sending station cancelled the transfer.")
                           : QStringLiteral("The sending station cancelled: %1").arg(why));
        return;
    }
    switch (m_state) {
    case State::Wait:
        m_link.write(kRR);
        m_state = State::Header;
        armTimer();
        return;
    case State::Header:
        if (p[0] == SOH) {
            header(p);
        } else if (p.size() == 2 && p[0] == EOT) {
            m_timer.stop();
            m_link.write(kAT);
            m_state = State::Done;
            if (finished) {
                finished();
            }
        } else if (p[0] != ENQ) {
            sendCancel(QStringLiteral("Unexpected packet where a file header belongs."));
        }
        return;
    case State::Data:
        if (p[0] == STX) {
            data(p);
        } else if (p.size() == 2 && p[0] == ETX) {
            endOfFile();
        } else {
            m_store.keepForResume();
            sendCancel(QStringLiteral("Unexpected packet inside a file."));
        }
        return;
    case State::CancelWait:
    case State::Done:
        return;
    }
}

void YappReceiver::header(const QByteArray& p)
{
    const QList<QByteArray> fields = p.mid(2).split(NUL);
    // name, size, and a date from a sender that knows the checksum extension.
    m_name = fields.isEmpty() ? QString() : Ansi::decode(fields.at(0));
    bool ok = false;
    const qint64 size = fields.size() >= 2 ? fields.at(1).trimmed().toLongLong(&ok) : -1;
    const QByteArray date = fields.size() >= 3 ? fields.at(2) : QByteArray();
    const bool extended = !date.isEmpty();
    if (!ok || size < 0) {
        refuse(QStringLiteral("The header of \"%1\" gives no size.").arg(m_name));
        return;
    }
    const Result<qint64> begun = m_store.begin(m_peer, m_name, size, m_options.resume, date);
    if (!begun.ok()) {
        refuse(begun.error());
        return;
    }
    m_checksum = m_options.checksum && extended;
    m_resumedFrom = begun.value();
    if (m_resumedFrom > 0) {
        QByteArray resume = QByteArrayLiteral("R") + NUL + QByteArray::number(m_resumedFrom) + NUL;
        if (m_checksum) {
            resume += QByteArrayLiteral("C") + NUL;
        }
        m_link.write(counted(NAK, resume));
    } else {
        m_link.write(m_checksum ? kRT : kRF);
    }
    m_reader.setChecksum(m_checksum);
    m_state = State::Data;
    armTimer();
    if (fileStarted) {
        fileStarted(m_name, size, m_resumedFrom);
    }
}

void YappReceiver::data(const QByteArray& p)
{
    armTimer();
    const qsizetype count = quint8(p[1]) == 0 ? 256 : quint8(p[1]);
    const QByteArrayView block = QByteArrayView(p).sliced(2, count);
    if (m_checksum && quint8(p.back()) != Checksum(block)) {
        // What was stored before this block is sound: kept for a resume.
        m_store.keepForResume();
        sendCancel(QStringLiteral("Bad checksum in \"%1\".").arg(m_name));
        return;
    }
    if (const Result<> written = m_store.write(block); !written.ok()) {
        refuse(written.error());
        return;
    }
    if (progress) {
        progress(m_name, m_store.held(), m_store.expected());
    }
}

void YappReceiver::endOfFile()
{
    const qint64 bytes = m_store.held();
    const bool already = m_store.alreadyHeld();
    const Result<QString> path = m_store.finish();
    if (!path.ok()) {
        refuse(path.error());
        return;
    }
    // Acknowledged only now that the file is whole under its own name.
    m_link.write(kAF);
    m_reader.setChecksum(false);
    m_state = State::Header;
    armTimer();
    if (fileReceived) {
        fileReceived(ReceivedFile{m_name, path.value(), bytes, m_resumedFrom, already});
    }
}

} // namespace tolvan
