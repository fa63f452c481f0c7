// Fuzz harness for everything the decoder reads from a received part: the
// header text, the protected lines and the part files as a whole.
//
// Input layout: one flag byte, 62 bytes of header text, then data lines of
// 64 bytes. The harness seals the header and (flag bit 0) gives the lines
// sound check characters, so the fuzzer reaches the parser and the line
// decoder instead of stopping at the checks.

#include "sevenplus/Mod7plus.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

using namespace tolvan::Mod7plus;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 + 62) {
        return 0;
    }
    const std::uint8_t flags = data[0];
    Block header{};
    std::copy_n(data + 1, 62, header.data());
    Seal7PlusBlock(header);
    (void)Parse7PlusHeader(header);

    QByteArray part(reinterpret_cast<const char*>(header.data()), kBlockSize);
    part.append("\r\n");
    const std::uint8_t* p = data + 63;
    std::size_t left = size - 63;
    int k = 0;
    LineBytes decoded{};
    while (left >= kCodeChars && k < 512) {
        Block line{};
        std::copy_n(p, kCodeChars, line.data());
        if (flags & 1) {
            Protect7PlusLine(std::span(line).first(kCodeChars), k, line);
        } else {
            std::copy_n(p, std::min<std::size_t>(left, kBlockSize), line.data());
        }
        Verify7PlusLine(line, k);
        Decode7PlusLine(line, decoded);
        part.append(reinterpret_cast<const char*>(line.data()), kBlockSize);
        part.append("\r\n");
        p += kCodeChars;
        left -= kCodeChars;
        ++k;
    }
    part.append(QByteArray(kBlockSize, ' ') + "\r\n");

    if (flags & 2) {
        // The whole decoder over a one- or two-part set on disk.
        static QTemporaryDir dir;
        const QString folder = dir.path() + "/";
        QFile f1(folder + "F.P01");
        f1.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f1.write(part);
        f1.close();
        if (flags & 4) {
            QFile::copy(folder + "F.P01", folder + "f.p02");
        }
        Host host{[flags](const QString&, const QString&) { return (flags & 8) != 0; }, [](int) {}};
        (void)DecodeReceived7Plus(folder + "F.P01", host);
        QDir(folder + "7PLUS_RECEIVED").removeRecursively();
        QFile::remove(folder + "f.p02");
    }
    return 0;
}
