#pragma once

#include "terminal/SendQueue.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>
#include <memory>

namespace tolvan {

class ReceiveStore;

// Where a YAPP machine writes its bytes: the connected session to the peer.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Queues bytes for the peer, in order. Never blocks.
    virtual void write(const QByteArray& bytes) = 0;
    // False while the link holds enough unsent bytes; the sender then waits
    // for its owner to call YappSender::linkReady() before the next data
    // block, so a file is never read into memory ahead of the radio.
    virtual bool canAcceptMore() const { return true; }
};

// The bytes of the protocol, shared by both machines and the tests.
namespace Yapp {

constexpr char NUL = 0x00;
constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char EOT = 0x04;
constexpr char ENQ = 0x05;
constexpr char ACK = 0x06;
constexpr char DLE = 0x10;
constexpr char NAK = 0x15;
constexpr char CAN = 0x18;

struct Options {
    // Offer (sender: a date in the header) and accept (receiver: answer RT)
    // the checksum extension, a sum of the data bytes after every block.
    bool checksum = true;
    // Answer a header with a resume request when part of the file is held.
    bool resume = true;
    // Data bytes per block, 1..256. 253 fills a 256-byte frame with the
    // block's two leading bytes and its checksum.
    int blockSize = 253;
    // Silence from the peer, while an answer is awaited, after which the
    // transfer is cancelled ("Timeout"). 0 waits for ever (the owner may
    // still call timeout()).
    int replyTimeoutMs = 180000;
};

// The sum of the bytes modulo 256, sent after each data block.
quint8 Checksum(QByteArrayView data);

// The header's date: DOS date and time (local time) as eight hex digits,
// date first ("%04X%04X"); an invalid text gives an invalid date time.
QByteArray DateField(const QDateTime& time);
QDateTime ParseDateField(QByteArrayView field);

// Splits a byte stream into packets: control packets of two bytes (ACK, ENQ,
// ETX, EOT followed by one byte) and counted packets (SOH, STX, NAK, CAN,
// DLE followed by a length, 0 meaning 256, and that many bytes; a data block
// with checksums on carries one byte more).
class PacketReader {
public:
    void append(QByteArrayView bytes) { m_buffer.append(bytes); }
    // Data blocks carry a checksum byte from now on.
    void setChecksum(bool on) { m_checksum = on; }
    // The next whole packet (kind byte first), or nothing yet. A byte that
    // starts no packet comes alone.
    std::optional<QByteArray> next();
    // Drops everything before the first occurrence of marker; false (keeping
    // only what could still begin it) when it has not come yet.
    bool skipTo(QByteArrayView marker);
    void clear() { m_buffer.clear(); }

private:
    QByteArray m_buffer;
    bool m_checksum = false;
};

} // namespace Yapp

// Sends a batch of files to the peer, one after the other, in one YAPP
// session: SI, then for each file a header and its data blocks and EOF, then
// EOT. Reads each file in blocks as the link takes them.
//
// The owner feeds what the peer sends to receive(), tells linkReady() when
// the link can take more, and linkBroken() when the connection is gone. The
// callbacks report the outcome; after finished or failed nothing more is
// sent. A callback must not destroy the machine (use deleteLater or the like).
class YappSender {
public:
    YappSender(ByteSink& link, QList<OutgoingFile> files, Yapp::Options options = {});
    ~YappSender();
    YappSender(const YappSender&) = delete;
    YappSender& operator=(const YappSender&) = delete;

    // Sends SI.
    void start();
    void receive(QByteArrayView bytes);
    void linkReady();
    void linkBroken();
    // The operator stops the transfer: sends CN with the reason and waits for
    // the peer's CA (or the link to drop) before reporting failed.
    void cancel(const QString& reason);
    // No answer came in time: cancels with "Timeout".
    void timeout();

    bool isDone() const;

    // A file was opened and its header accepted; resumedFrom bytes were
    // already held by the peer.
    std::function<void(const OutgoingFile& file, qint64 resumedFrom)> fileStarted;
    // The peer acknowledged the whole file (AF). `file.stamp` is the file's
    // look when it was opened, for SendQueue::markSent.
    std::function<void(const OutgoingFile& file, qint64 bytes)> fileDone;
    // A file left out: it could not be opened or read, or its name cannot be
    // sent (the batch goes on), or the receiving station refused its header
    // (failed follows: a refusal ends the session, so the owner may leave the
    // file out of the next one).
    std::function<void(const OutgoingFile& file, const QString& reason)> fileSkipped;
    std::function<void(const QString& name, qint64 done, qint64 total)> progress;
    // The peer acknowledged the end of the batch (AT).
    std::function<void()> finished;
    // The transfer ended early: refused, cancelled by either side, broken.
    std::function<void(const QString& reason)> failed;

private:
    enum class State { Idle, Init, Header, Data, Eof, Eot, CancelWait, Done };
    void sendHeader();
    void sendData();
    void nextFile();
    void handle(const QByteArray& packet);
    void fail(const QString& reason);
    void sendCancel(const QString& reason);
    void armTimer();

    ByteSink& m_link;
    QList<OutgoingFile> m_files;
    Yapp::Options m_options;
    Yapp::PacketReader m_reader;
    State m_state = State::Idle;
    qsizetype m_index = -1;
    std::unique_ptr<QFile> m_file;
    qint64 m_sent = 0;
    qint64 m_resumedFrom = 0;
    bool m_checksum = false;
    QString m_cancelReason;
    QTimer m_timer;
};

// A file received whole and renamed to its own name.
struct ReceivedFile {
    QString name;  // the name the sender gave
    QString path;  // where it was written
    qint64 bytes = 0;
    qint64 resumedFrom = 0;
    // The same file from the same station had arrived whole before (the
    // sender never heard so); nothing new was written.
    bool alreadyHeld = false;
};

// Receives files from the peer into a ReceiveStore: answers SI with RR, each
// header with RT (checksums), RF, a resume request, or a refusal, stores the
// data blocks, acknowledges EOF once the file is whole and in place, and EOT.
// Anything before SI (a greeting text) is ignored.
class YappReceiver {
public:
    YappReceiver(ByteSink& link, ReceiveStore& store, QString peerCall, Yapp::Options options = {});
    ~YappReceiver();
    YappReceiver(const YappReceiver&) = delete;
    YappReceiver& operator=(const YappReceiver&) = delete;

    void receive(QByteArrayView bytes);
    // The link is gone: a file in progress is kept for resume.
    void linkBroken();
    // The operator stops the transfer: sends CN; the file in progress is removed.
    void cancel(const QString& reason);
    void timeout();

    bool isDone() const;

    std::function<void(const QString& name, qint64 size, qint64 resumedFrom)> fileStarted;
    std::function<void(const ReceivedFile& file)> fileReceived;
    // A file was refused (unsafe name, too large, cannot be written, bad
    // checksum); the reason was sent to the peer.
    std::function<void(const QString& name, const QString& reason)> refused;
    std::function<void(const QString& name, qint64 done, qint64 total)> progress;
    // The peer ended the batch (EOT, acknowledged).
    std::function<void()> finished;
    std::function<void(const QString& reason)> failed;

private:
    enum class State { Wait, Header, Data, CancelWait, Done };
    void handle(const QByteArray& packet);
    void header(const QByteArray& packet);
    void data(const QByteArray& packet);
    void endOfFile();
    void refuse(const QString& reason);
    void fail(const QString& reason);
    void sendCancel(const QString& reason);
    void armTimer();

    ByteSink& m_link;
    ReceiveStore& m_store;
    QString m_peer;
    Yapp::Options m_options;
    Yapp::PacketReader m_reader;
    State m_state = State::Wait;
    bool m_checksum = false;
    qint64 m_resumedFrom = 0;
    QString m_name;
    QTimer m_timer;
};

} // namespace tolvan
