#pragma once

// The plainest way to move bytes over an AGW-speaking TNC: one client
// connects to the peer station and writes the bytes in connected-data frames
// of 256 bytes, keeping about eight frames outstanding (asked for with 'Y');
// a second client, registered as the peer, counts what arrives. No file
// protocol, no names, no checks beyond comparing the bytes: the yardstick the
// terminal's own transfers are measured against, and the tool that measured
// the air time of the send-size estimate.
//
// Plain POSIX sockets and poll(), one thread, no Qt event loop.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>

namespace tolvan::bench {

struct AgwFrame {
    uint8_t port = 0;
    char kind = 0;
    uint8_t pid = 0;
    std::string from;
    std::string to;
    std::string data;
};

// One TCP client of the TNC's AGW port.
class AgwClient {
public:
    ~AgwClient()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    bool open(uint16_t port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int one = 1;
        return m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
               ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) == 0;
    }

    int fd() const { return m_fd; }

    bool send(char kind, const std::string& from, const std::string& to, const std::string& data = {}, uint8_t pid = 0)
    {
        unsigned char header[36] = {};
        header[4] = static_cast<unsigned char>(kind);
        header[6] = pid;
        std::memcpy(header + 8, from.data(), std::min<size_t>(from.size(), 9));
        std::memcpy(header + 18, to.data(), std::min<size_t>(to.size(), 9));
        const uint32_t length = uint32_t(data.size());
        for (int i = 0; i < 4; ++i) {
            header[28 + i] = uint8_t(length >> (8 * i));
        }
        std::string frame(reinterpret_cast<const char*>(header), sizeof header);
        frame += data;
        size_t done = 0;
        while (done < frame.size()) {
            const ssize_t n = ::send(m_fd, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
            if (n <= 0) {
                return false;
            }
            done += size_t(n);
        }
        return true;
    }

    // Reads what the socket holds; false when the TNC closed it.
    bool pump()
    {
        char buffer[65536];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0) {
            return false;
        }
        if (n > 0) {
            m_input.append(buffer, size_t(n));
        }
        return true;
    }

    // The next whole frame already read, if any.
    bool next(AgwFrame& frame)
    {
        if (m_input.size() < 36) {
            return false;
        }
        const auto* h = reinterpret_cast<const unsigned char*>(m_input.data());
        const uint32_t length = uint32_t(h[28]) | uint32_t(h[29]) << 8 | uint32_t(h[30]) << 16 | uint32_t(h[31]) << 24;
        if (m_input.size() < 36 + size_t(length)) {
            return false;
        }
        frame.port = h[0];
        frame.kind = char(h[4]);
        frame.pid = h[6];
        frame.from = std::string(m_input.data() + 8, strnlen(m_input.data() + 8, 10));
        frame.to = std::string(m_input.data() + 18, strnlen(m_input.data() + 18, 10));
        frame.data = m_input.substr(36, length);
        m_input.erase(0, 36 + length);
        return true;
    }

private:
    int m_fd = -1;
    std::string m_input;
};

struct StreamResult {
    bool ok = false;
    std::string error;
    double connectSeconds = 0;    // connect request until the link is up
    double dataSeconds = 0;       // first data frame handed over until the last byte arrived
    double totalSeconds = 0;      // connect request until the last byte arrived
    double disconnectSeconds = 0; // last byte until the sender saw the link closed
};

// Moves payload from the station on portFrom to the station on portTo in
// connected mode and times it. Gives up after timeoutSeconds.
inline StreamResult streamBytes(uint16_t portFrom, const std::string& callFrom, uint16_t portTo,
                                const std::string& callTo, const std::string& payload, double timeoutSeconds,
                                size_t frameBytes = 256, int maxOutstanding = 8)
{
    using Clock = std::chrono::steady_clock;
    const auto since = [](Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); };
    StreamResult r;
    AgwClient sender;
    AgwClient receiver;
    if (!sender.open(portFrom) || !receiver.open(portTo)) {
        r.error = "cannot reach the AGW ports";
        return r;
    }
    sender.send('X', callFrom, {});
    receiver.send('X', callTo, {});
    const Clock::time_point start = Clock::now();
    enum { Registering, Connecting, Sending, Closing, Done } stage = Registering;
    int registered = 0;
    size_t sent = 0;
    size_t received = 0;
    bool mismatch = false;
    int outstanding = 0;
    bool asked = false;
    Clock::time_point holdUntil = start;
    Clock::time_point connectAt;
    Clock::time_point firstData;
    Clock::time_point lastByte;
    while (stage != Done) {
        if (since(start) > timeoutSeconds) {
            r.error =
                "timed out after " + std::to_string(received) + " of " + std::to_string(payload.size()) + " bytes";
            return r;
        }
        if (stage == Sending && !asked && sent < payload.size() && Clock::now() >= holdUntil) {
            while (outstanding < maxOutstanding && sent < payload.size()) {
                const size_t n = std::min(frameBytes, payload.size() - sent);
                if (sent == 0) {
                    firstData = Clock::now();
                }
                sender.send('D', callFrom, callTo, payload.substr(sent, n), 0xF0);
                sent += n;
                ++outstanding;
            }
            sender.send('Y', callFrom, callTo);
            asked = true;
        }
        pollfd fds[2] = {{sender.fd(), POLLIN, 0}, {receiver.fd(), POLLIN, 0}};
        ::poll(fds, 2, 20);
        if (!sender.pump() || !receiver.pump()) {
            r.error = "the TNC closed the connection";
            return r;
        }
        AgwFrame f;
        while (receiver.next(f)) {
            if (f.kind == 'X') {
                ++registered;
            } else if (f.kind == 'D') {
                mismatch = mismatch || payload.compare(received, f.data.size(), f.data) != 0;
                received += f.data.size();
                if (received >= payload.size()) {
                    lastByte = Clock::now();
                    sender.send('d', callFrom, callTo);
                    stage = Closing;
                }
            }
        }
        while (sender.next(f)) {
            if (f.kind == 'X') {
                ++registered;
            } else if (f.kind == 'C' && stage == Connecting) {
                r.connectSeconds = since(connectAt);
                stage = Sending;
            } else if (f.kind == 'Y' && f.data.size() >= 4) {
                const auto* d = reinterpret_cast<const unsigned char*>(f.data.data());
                outstanding = int(d[0] | d[1] << 8 | d[2] << 16 | d[3] << 24);
                asked = false;
                if (outstanding >= maxOutstanding) {
                    // Ask again a little later rather than flood the TNC with questions.
                    holdUntil = Clock::now() + std::chrono::milliseconds(50);
                }
            } else if (f.kind == 'd') {
                if (stage != Closing) {
                    r.error = "the link broke: " + f.data;
                    return r;
                }
                r.disconnectSeconds = since(lastByte);
                stage = Done;
            }
        }
        if (stage == Registering && registered == 2) {
            connectAt = Clock::now();
            sender.send('C', callFrom, callTo);
            stage = Connecting;
        }
        if (stage == Closing && since(lastByte) > 60) {
            break; // the payload is through; a slow goodbye does not change the figures
        }
    }
    r.dataSeconds = std::chrono::duration<double>(lastByte - firstData).count();
    r.totalSeconds = std::chrono::duration<double>(lastByte - connectAt).count();
    r.ok = !mismatch && received == payload.size();
    if (!r.ok) {
        r.error = "the bytes that arrived differ from those sent";
    }
    return r;
}

} // namespace tolvan::bench
