// The decoder: a received part set, checked completely, rebuilt into
// "7PLUS_RECEIVED" through a work file that only takes the final name once
// the whole file is sound.

#include "platform/AnsiCodec.h"
#include "platform/AtomicFile.h"
#include "platform/ReceivedName.h"
#include "sevenplus/Mod7plusFiles.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace tolvan::Mod7plus {

using namespace detail;

namespace {

QString trimSpaces(const QString& s)
{
    qsizetype a = 0;
    qsizetype b = s.size();
    while (a < b && s[a] == QLatin1Char(' ')) {
        ++a;
    }
    while (b > a && s[b - 1] == QLatin1Char(' ')) {
        --b;
    }
    return s.mid(a, b - a);
}

// Leading decimal digits (with an optional sign); a field without them reads
// as 0. A number too large for 32 bits makes the header unreadable.
bool readDecimal(const QString& field, int& out)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < field.size() && (field[i] == QLatin1Char('+') || field[i] == QLatin1Char('-'))) {
        negative = field[i] == QLatin1Char('-');
        ++i;
    }
    qint64 v = 0;
    for (; i < field.size() && field[i].isDigit() && field[i].unicode() < 0x80; ++i) {
        v = v * 10 + (field[i].unicode() - '0');
        if (v > std::numeric_limits<int>::max()) {
            return false;
        }
    }
    out = int(negative ? -v : v);
    return true;
}

// The whole field must be hexadecimal and fit in 32 bits.
bool readHex(const QString& field, int& out)
{
    bool ok = false;
    const qulonglong v = field.toULongLong(&ok, 16);
    if (!ok || field.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) || field.startsWith(QLatin1Char('+'))
        || field.startsWith(QLatin1Char('-')) || v > qulonglong(std::numeric_limits<int>::max())) {
        return false;
    }
    out = int(v);
    return true;
}

// One received part, open from its check to its decoding: one open and one
// size look-up for the check, one more look-up before it is read whole.
class PartFile {
public:
    explicit PartFile(const QString& path)
        // Non-blocking, so a pipe under a part's name cannot hang the open;
        // it then fails the regular-file test.
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
    {
    }
    PartFile(PartFile&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;
    PartFile& operator=(PartFile&&) = delete;
    ~PartFile() { close(); }

    void close()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    // The size of the open file, -1 when it cannot be had.
    qint64 size() const
    {
        struct stat st {};
        return m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode) ? qint64(st.st_size) : -1;
    }

    // As Read7PlusHeader: a file of at least one block whose first block is
    // a sound header.
    bool readHeader(Header& header) const
    {
        std::array<std::uint8_t, kBlockSize> block{};
        return size() >= kBlockSize && ::pread(m_fd, block.data(), kBlockSize, 0) == kBlockSize
               && Parse7PlusHeader(block, header);
    }

    // The whole file, which must be exactly `length` bytes long.
    bool readAll(QByteArray& data, qint64 length) const
    {
        if (size() != length) {
            return false;
        }
        data.resize(length);
        qint64 done = 0;
        while (done < length) {
            const ssize_t got = ::pread(m_fd, data.data() + done, size_t(length - done), done);
            if (got <= 0) {
                return false;
            }
            done += got;
        }
        return true;
    }

private:
    int m_fd;
};

qint64 linesOfPart(const Header& h, int p)
{
    const qint64 remaining = qint64(h.size) - qint64(p - 1) * h.blockLines * kLineBytes;
    return std::min<qint64>(h.blockLines, (remaining + kLineBytes - 1) / kLineBytes);
}

} // namespace

bool Parse7PlusHeader(std::span<const std::uint8_t> block, Header& header)
{
    if (!Verify7PlusHeader(block)) {
        return false;
    }
    const QString text = Ansi::decode(QByteArrayView(reinterpret_cast<const char*>(block.data()), 62));
    if (!text.startsWith(QLatin1String(" go_7+. "))) {
        return false;
    }
    QString rest = trimSpaces(text.mid(8));
    while (rest.contains(QLatin1String("  "))) {
        rest.replace(QLatin1String("  "), QLatin1String(" "));
    }
    const QStringList f = rest.split(QLatin1Char(' '));
    if (f.size() < 9) {
        return false;
    }
    Header h;
    h.name = trimSpaces(f[3]);
    if (!readDecimal(f[0], h.partNumber) || !readDecimal(f[2], h.totalParts) || !readDecimal(f[4], h.size)
        || !readHex(f[5], h.encodedBytes) || !readHex(f[6], h.blockLines)) {
        return false;
    }
    if (h.partNumber < 1 || h.partNumber > h.totalParts || h.totalParts > kMaxParts || h.size <= 0
        || h.encodedBytes <= 0 || h.blockLines < 1 || h.blockLines > kBlockLines) {
        return false;
    }
    header = h;
    return true;
}

bool Read7PlusHeader(const QString& path, Header& header)
{
    return PartFile(path).readHeader(header);
}

bool IsSafe7PlusFileName(const QString& name)
{
    return ReceivedName::Problem(name).isEmpty();
}

bool DecodeReceived7Plus(const QString& part1Path, QString& message, const Host& host)
{
    message.clear();
    // Removes its work file on every way out but a successful commit.
    std::optional<AtomicFile> work;
    try {
        Header first;
        if (!Read7PlusHeader(part1Path, first)) {
            message = QStringLiteral("Unable to read first 7PLUS header.");
            return false;
        }
        if (first.partNumber != 1) {
            message = QStringLiteral("Please select Part 1 (.P01).");
            return false;
        }
        const int S = first.size;
        const int T = first.totalParts;
        const int B = first.blockLines;
        if (S < 1 || T < 1) {
            message = QStringLiteral("Invalid header information.");
            return false;
        }
        const qint64 perPart = qint64(B) * kLineBytes;
        if (T != (S + perPart - 1) / perPart) {
            message = QStringLiteral("Header part count does not match file size.");
            return false;
        }
        // The name comes from the far station; it must not lead out of the
        // output folder or name something that is no plain file name.
        if (const QString why = ReceivedName::Problem(first.name); !why.isEmpty()) {
            message =
                QStringLiteral("Invalid file name in 7PLUS header:") + kCrLf + first.name + kCrLf + u'(' + why + u')';
            return false;
        }
        const qsizetype slash = part1Path.lastIndexOf(QLatin1Char('/'));
        if (slash < 0) {
            message = QStringLiteral("Invalid part path.");
            return false;
        }
        const QString folder = part1Path.left(slash + 1);
        const QString partName = part1Path.mid(slash + 1);
        const qsizetype dot = partName.lastIndexOf(QLatin1Char('.'));
        if (dot < 0) {
            message = QStringLiteral("Invalid part filename.");
            return false;
        }
        const QString base = partName.left(dot);

        const QString outFolder = ensureSubFolder(folder, QStringLiteral("7PLUS_RECEIVED"));
        const QString outPath = outFolder + QLatin1Char('/') + first.name;
        // Nothing is written through a link at the output or backup name, nor
        // over anything that is not a regular file.
        if (const QString why = AtomicFile::obstacle(outPath); !why.isEmpty()) {
            message = why;
            return false;
        }
        const bool outputExisted = AtomicFile::occupied(outPath);
        const QString backupPath = outPath + QStringLiteral(".BAK");
        if (outputExisted) {
            const QString text = QStringLiteral("This decoded file already exists:") + kCrLf + kCrLf + outPath + kCrLf
                                 + kCrLf + QStringLiteral("Do you want to replace it?");
            const bool yes = host.askYesNo && host.askYesNo(QStringLiteral("Replace Existing 7PLUS File"), text);
            if (!yes) {
                message = QStringLiteral("7PLUS decoding cancelled.") + kCrLf + QStringLiteral("Existing file preserved.");
                return false;
            }
            // A backup left by another program, or a link at its name, stops
            // the replacement before any work is done.
            if (const QString why = AtomicFile::obstacle(backupPath); !why.isEmpty()) {
                message = why;
                return false;
            }
            if (AtomicFile::occupied(backupPath)) {
                message = QStringLiteral("Backup file already exists:") + kCrLf + backupPath;
                return false;
            }
        }
        const QString candidateWork = outFolder + QStringLiteral("/7PLUS_NEW.TMP");
        if (AtomicFile::occupied(candidateWork)) {
            message = QStringLiteral("Temporary decoding file already exists:") + kCrLf + candidateWork;
            return false;
        }

        // Every part is checked before a byte is written, so a missing or
        // truncated part costs no decoding work and touches nothing. Each
        // part is opened once: the check keeps it open for the decoding.
        const QStringList present = filesIn(folder);
        std::vector<PartFile> parts;
        parts.reserve(size_t(T));
        for (int p = 1; p <= T; ++p) {
            const QString wanted = base + QStringLiteral(".P") + Hex2(p);
            const QString hit = matchNoCase(present, wanted);
            if (hit.isEmpty()) {
                message = QStringLiteral("Missing 7PLUS part:") + kCrLf + folder + wanted;
                return false;
            }
            PartFile& part = parts.emplace_back(folder + hit);
            Header h;
            if (!part.readHeader(h)) {
                message = QStringLiteral("Invalid header in part %1").arg(p);
                return false;
            }
            if (h.name != first.name || h.partNumber != p || h.totalParts != T || h.size != S || h.blockLines != B) {
                message = QStringLiteral("Header mismatch in part %1").arg(p);
                return false;
            }
            const qint64 n = linesOfPart(first, p);
            if (h.encodedBytes != n * kCodeChars) {
                message = QStringLiteral("Encoded length mismatch in part %1").arg(p);
                return false;
            }
            if (part.size() != (n + 2) * kStoredLine) {
                message = QStringLiteral("Unexpected file length in part %1").arg(p);
                return false;
            }
        }

        // From here on every failure removes the work file. A replaced output
        // is swapped for the new one in one rename, so it stays in place
        // until the new file is whole and no backup is ever needed.
        work.emplace(outPath, outputExisted ? AtomicFile::Mode::Replace : AtomicFile::Mode::NoReplace, candidateWork);
        if (!work->open()) {
            if (work->failure() == AtomicFile::Failure::Exists && AtomicFile::occupied(candidateWork)) {
                message = QStringLiteral("Temporary decoding file already exists:") + kCrLf + candidateWork;
                return false;
            }
            throwWriteError(*work);
        }
        qint64 written = 0;
        QByteArray data;
        QByteArray out;
        LineBytes decoded{};
        auto fail = [&](const QString& text) {
            message = text;
            work->discard();
            return false;
        };
        for (int p = 1; p <= T; ++p) {
            const qint64 n = std::min<qint64>(B, (qint64(S) - written + kLineBytes - 1) / kLineBytes);
            // The part may have changed since it was checked.
            if (!parts[p - 1].readAll(data, (n + 2) * kStoredLine)) {
                return fail(QStringLiteral("Unexpected file length in part %1").arg(p));
            }
            parts[p - 1].close();
            const auto bytes = bytesOf(data);
            out.resize(0);
            for (int k = 0; k < n; ++k) {
                const auto line = bytes.subspan(size_t(kStoredLine) * (k + 1), kBlockSize);
                if (!Verify7PlusLine(line, k)) {
                    return fail(QStringLiteral("7PLUS CRC FAILED") + kCrLf + QStringLiteral("Part: %1").arg(p) + kCrLf
                                + QStringLiteral("Line: %1").arg(k));
                }
                if (!Decode7PlusLine(line.first(kCodeChars), decoded)) {
                    return fail(QStringLiteral("Decode failed in part %1, line %2").arg(p).arg(k));
                }
                const int take = int(std::min<qint64>(kLineBytes, S - written));
                out.append(reinterpret_cast<const char*>(decoded.data()), take);
                written += take;
            }
            if (!work->write(out)) {
                throwWriteError(*work);
            }
            if (host.progress) {
                host.progress(int(qint64(p) * 100 / T));
            }
        }
        if (written != S) {
            return fail(QStringLiteral("Reconstructed file size mismatch."));
        }
        if (!work->commit()) {
            const QString why = work->errorString();
            if (work->failure() == AtomicFile::Failure::DiskFull) {
                throwWriteError(*work);
            }
            message = outputExisted ? QStringLiteral("Unable to replace decoded file:") + kCrLf + why + kCrLf +
                                          QStringLiteral("Original file restoration attempted.")
                                    : QStringLiteral("Unable to place decoded file:") + kCrLf + why;
            return false;
        }

        message = QStringLiteral("7PLUS RECEIVED FILE DECODING") + kCrLf + QString(32, QLatin1Char('-')) + kCrLf
                  + QStringLiteral("Original filename: ") + first.name + kCrLf
                  + QStringLiteral("Original size: ") + QString::number(S) + kCrLf
                  + QStringLiteral("Parts decoded: ") + QString::number(T) + kCrLf
                  + QStringLiteral("Bytes reconstructed: ") + QString::number(written) + kCrLf
                  + QStringLiteral("Output: ") + outPath + kCrLf + QStringLiteral("RESULT: DECODING COMPLETE");
        return true;
    } catch (const SevenPlusError& e) {
        message = QStringLiteral("7PLUS DECODE ERROR %1: %2").arg(e.number()).arg(e.description());
    } catch (const std::bad_alloc&) {
        message = QStringLiteral("7PLUS DECODE ERROR 7: Out of memory");
    }
    if (work) {
        work->discard();
    }
    return false;
}

} // namespace tolvan::Mod7plus
