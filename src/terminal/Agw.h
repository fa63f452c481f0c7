#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace tolvan::agw {

// The AGW TCP interface that sound-card TNCs offer to packet programs: every
// message is a 36-byte little-endian header, optionally followed by data.
// docs/agw.md lists the layout and the kinds used here.
constexpr int kHeaderSize = 36;
// A call sign field holds at most 9 characters and a terminating NUL.
constexpr int kCallField = 10;
// Longer data is refused: no TNC sends more than an AX.25 frame or a port
// list, and a wild length would make the reader wait forever or allocate
// without bound.
constexpr quint32 kMaxDataLength = 8192;
// The information field of one connected-mode frame the TNC is asked to send.
constexpr int kPacLen = 256;

// The header's kind byte; the letters are the protocol's own.
namespace Kind {
constexpr char Version = 'R';     // version query and its answer
constexpr char Register = 'X';    // register a call sign; answer: one byte, 1 = done
constexpr char Connect = 'C';     // connect; from the TNC: a link came up
constexpr char ConnectVia = 'v';  // connect through digipeaters
constexpr char Data = 'D';        // connected data, both ways
constexpr char Disconnect = 'd';  // disconnect; from the TNC: a link went down
constexpr char Outstanding = 'Y'; // frames not yet acknowledged on one link
} // namespace Kind

struct Frame {
    quint8 port = 0;
    char kind = 0;
    quint8 pid = 0;
    QByteArray callFrom; // without the NUL padding
    QByteArray callTo;
    quint32 user = 0;
    QByteArray data;

    bool operator==(const Frame&) const = default;
};

// The bytes on the wire. Call signs longer than 9 characters are cut.
QByteArray Encode(const Frame& frame);

// Splits a byte stream into frames, whatever the reads' boundaries are.
class Decoder {
public:
    void feed(const QByteArray& bytes);
    // The next whole frame; none when more bytes are needed or the stream is
    // broken (see error).
    std::optional<Frame> next();
    // Why the stream cannot be read on; empty while it can. A broken stream
    // stays broken until reset: its framing is lost.
    const QString& error() const { return m_error; }
    void reset();

private:
    QByteArray m_buffer;
    QString m_error;
};

// The messages a client sends.
Frame VersionQuery();
Frame RegisterCall(const QByteArray& call);
Frame ConnectTo(quint8 port, const QByteArray& own, const QByteArray& peer, const QList<QByteArray>& via);
Frame SendData(quint8 port, const QByteArray& own, const QByteArray& peer, const QByteArray& data);
Frame DisconnectFrom(quint8 port, const QByteArray& own, const QByteArray& peer);
Frame AskOutstanding(quint8 port, const QByteArray& own, const QByteArray& peer);

// The 32-bit little-endian number at the start of data (the 'Y' answer);
// none when data is shorter.
std::optional<quint32> NumberOf(const QByteArray& data);

// The notice text of a 'C' or 'd' frame, without its CR and NUL ends.
QString NoticeText(const QByteArray& data);

} // namespace tolvan::agw
