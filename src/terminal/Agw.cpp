#include "terminal/Agw.h"

#include <QtEndian>

#include <cstring>

namespace tolvan::agw {

namespace {

void putCall(char* at, const QByteArray& call)
{
    const qsizetype n = qMin<qsizetype>(call.size(), kCallField - 1);
    std::memcpy(at, call.constData(), size_t(n));
}

QByteArray takeCall(const char* at)
{
    qsizetype n = 0;
    while (n < kCallField && at[n] != '\0') {
        ++n;
    }
    return QByteArray(at, n).trimmed();
}

Frame make(char kind, quint8 port, const QByteArray& from, const QByteArray& to)
{
    Frame f;
    f.kind = kind;
    f.port = port;
    f.callFrom = from;
    f.callTo = to;
    return f;
}

} // namespace

QByteArray Encode(const Frame& frame)
{
    QByteArray out(kHeaderSize, '\0');
    char* h = out.data();
    h[0] = char(frame.port);
    h[4] = frame.kind;
    h[6] = char(frame.pid);
    putCall(h + 8, frame.callFrom);
    putCall(h + 18, frame.callTo);
    qToLittleEndian<quint32>(quint32(frame.data.size()), h + 28);
    qToLittleEndian<quint32>(frame.user, h + 32);
    out += frame.data;
    return out;
}

void Decoder::feed(const QByteArray& bytes)
{
    if (m_error.isEmpty()) {
        m_buffer += bytes;
    }
}

std::optional<Frame> Decoder::next()
{
    if (!m_error.isEmpty() || m_buffer.size() < kHeaderSize) {
        return std::nullopt;
    }
    const char* h = m_buffer.constData();
    const quint32 length = qFromLittleEndian<quint32>(h + 28);
    if (length > kMaxDataLength) {
        m_error = QStringLiteral("the TNC sent a message of kind '%1' with %2 data bytes (at most %3 are accepted)")
                      .arg(QLatin1Char(h[4] >= 32 && h[4] < 127 ? h[4] : '?'))
                      .arg(length)
                      .arg(kMaxDataLength);
        m_buffer.clear();
        return std::nullopt;
    }
    if (m_buffer.size() < kHeaderSize + qsizetype(length)) {
        return std::nullopt;
    }
    Frame f;
    f.port = quint8(h[0]);
    f.kind = h[4];
    f.pid = quint8(h[6]);
    f.callFrom = takeCall(h + 8);
    f.callTo = takeCall(h + 18);
    f.user = qFromLittleEndian<quint32>(h + 32);
    f.data = m_buffer.mid(kHeaderSize, length);
    m_buffer.remove(0, kHeaderSize + length);
    return f;
}

void Decoder::reset()
{
    m_buffer.clear();
    m_error.clear();
}

Frame VersionQuery()
{
    return make(Kind::Version, 0, {}, {});
}

Frame RegisterCall(const QByteArray& call)
{
    return make(Kind::Register, 0, call, {});
}

Frame ConnectTo(quint8 port, const QByteArray& own, const QByteArray& peer, const QList<QByteArray>& via)
{
    if (via.isEmpty()) {
        return make(Kind::Connect, port, own, peer);
    }
    Frame f = make(Kind::ConnectVia, port, own, peer);
    // A count byte, then one 10-byte call field per digipeater (at most 7).
    const qsizetype n = qMin<qsizetype>(via.size(), 7);
    f.data = QByteArray(1 + n * kCallField, '\0');
    f.data[0] = char(n);
    for (qsizetype i = 0; i < n; ++i) {
        putCall(f.data.data() + 1 + i * kCallField, via[i]);
    }
    return f;
}

Frame SendData(quint8 port, const QByteArray& own, const QByteArray& peer, const QByteArray& data)
{
    Frame f = make(Kind::Data, port, own, peer);
    f.pid = 0xF0; // no layer 3
    f.data = data;
    return f;
}

Frame DisconnectFrom(quint8 port, const QByteArray& own, const QByteArray& peer)
{
    return make(Kind::Disconnect, port, own, peer);
}

Frame AskOutstanding(quint8 port, const QByteArray& own, const QByteArray& peer)
{
    return make(Kind::Outstanding, port, own, peer);
}

std::optional<quint32> NumberOf(const QByteArray& data)
{
    if (data.size() < 4) {
        return std::nullopt;
    }
    return qFromLittleEndian<quint32>(data.constData());
}

QString NoticeText(const QByteArray& data)
{
    QByteArray text = data;
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0) {
        text.truncate(nul);
    }
    return QString::fromLatin1(text).trimmed();
}

} // namespace tolvan::agw
