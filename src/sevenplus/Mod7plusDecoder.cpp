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

Failure unreadableHeader()
{
    return Fail(QStringLiteral("Unable to read 7PLUS header."));
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

    // As Read7PlusHeader.
    Result<Header> readHeader() const
    {
        std::array<std::uint8_t, kBlockSize> block{};
        if (size() < kBlockSize || ::pread(m_fd, block.data(), kBlockSize, 0) != kBlockSize) {
            return unreadableHeader();
        }
        return Parse7PlusHeader(block);
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

Result<Header> Parse7PlusHeader(std::span<const std::uint8_t> block)
{
    if (!Verify7PlusHeader(block)) {
        return unreadableHeader();
    }
    const QString text = Ansi::decode(QByteArrayView(reinterpret_cast<const char*>(block.data()), 62));
    if (!text.startsWith(QLatin1String(" go_7+. "))) {
        return unreadableHeader();
    }
    QString rest = trimSpaces(text.mid(8));
    while (rest.contains(QLatin1String("  "))) {
        rest.replace(QLatin1String("  "), QLatin1String(" "));
    }
    const QStringList f = rest.split(QLatin1Char(' '));
    if (f.size() < 9) {
        return unreadableHeader();
    }
    Header h;
    h.name = trimSpaces(f[3]);
    if (!readDecimal(f[0], h.partNumber) || !readDecimal(f[2], h.totalParts) || !readDecimal(f[4], h.size)
        || !readHex(f[5], h.encodedBytes) || !readHex(f[6], h.blockLines)) {
        return unreadableHeader();
    }
    if (h.partNumber < 1 || h.partNumber > h.totalParts || h.totalParts > kMaxParts || h.size <= 0
        || h.encodedBytes <= 0 || h.blockLines < 1 || h.blockLines > kBlockLines) {
        return unreadableHeader();
    }
    return h;
}

Result<Header> Read7PlusHeader(const QString& path)
{
    return PartFile(path).readHeader();
}

QString Find7PlusPartDamage(const QString& path, const Header& header)
{
    const PartFile part(path);
    const qint64 n = linesOfPart(header, header.partNumber);
    QByteArray data;
    if (n < 1 || header.encodedBytes != n * kCodeChars || !part.readAll(data, (n + 2) * kStoredLine)) {
        return QStringLiteral("its length does not match its header");
    }
    const auto bytes = bytesOf(data);
    for (int k = 0; k < n; ++k) {
        if (!Verify7PlusLine(bytes.subspan(size_t(kStoredLine) * (k + 1), kBlockSize), k)) {
            return QStringLiteral("line %1 fails its check").arg(k);
        }
    }
    return {};
}

bool IsSafe7PlusFileName(const QString& name)
{
    return ReceivedName::Problem(name).isEmpty();
}

namespace {

// A received set that passed every check: part 1's header, where the file
// goes, and every part, kept open from its check to its decoding.
struct CheckedSet {
    Header first;
    QString folder; // of the parts
    QString base;   // the parts' name without ".Pnn"
    QString outPath;
    bool outputExisted = false;
    QString workPath;
    std::vector<PartFile> parts;
};

// A work file left by a run that ended is removed by the writer; one that
// stays belongs to a decoding still running in this folder.
Failure workFileExists(const QString& workPath)
{
    return Fail(QStringLiteral("Temporary decoding file already exists:") + kCrLf + workPath + kCrLf
                + QStringLiteral("Another 7PLUS decoding into this folder is still running; try again when it has "
                                 "finished."));
}

// Part 1's header and the name it carries.
Result<CheckedSet> checkFirstPart(const QString& part1Path)
{
    CheckedSet set;
    const Result<Header> first = Read7PlusHeader(part1Path);
    if (!first.ok()) {
        return Fail(QStringLiteral("Unable to read first 7PLUS header."));
    }
    set.first = first.value();
    if (set.first.partNumber != 1) {
        return Fail(QStringLiteral("Please select Part 1 (.P01)."));
    }
    const int S = set.first.size;
    const int T = set.first.totalParts;
    if (S < 1 || T < 1) {
        return Fail(QStringLiteral("Invalid header information."));
    }
    const qint64 perPart = qint64(set.first.blockLines) * kLineBytes;
    if (T != (S + perPart - 1) / perPart) {
        return Fail(QStringLiteral("Header part count does not match file size."));
    }
    // The name comes from the far station; it must not lead out of the
    // output folder or name something that is no plain file name.
    if (const QString why = ReceivedName::Problem(set.first.name); !why.isEmpty()) {
        return Fail(QStringLiteral("Invalid file name in 7PLUS header:") + kCrLf + ReceivedName::Shown(set.first.name)
                    + kCrLf + u'(' + why + u')');
    }
    const qsizetype slash = part1Path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return Fail(QStringLiteral("Invalid part path."));
    }
    set.folder = part1Path.left(slash + 1);
    const QString partName = part1Path.mid(slash + 1);
    const qsizetype dot = partName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) {
        return Fail(QStringLiteral("Invalid part filename."));
    }
    set.base = partName.left(dot);
    return set;
}

// Where the file goes: nothing may stand in the way of the output or the
// work file, and an existing output is only replaced after a Yes.
Result<> checkDestination(CheckedSet& set, const Host& host)
{
    const QString outFolder = ensureSubFolder(set.folder, QStringLiteral("7PLUS_RECEIVED"));
    set.outPath = outFolder + QLatin1Char('/') + set.first.name;
    // Nothing is written through a link at the output or backup name, nor
    // over anything that is not a regular file.
    if (const QString why = AtomicFile::obstacle(set.outPath); !why.isEmpty()) {
        return Fail(why);
    }
    set.outputExisted = AtomicFile::occupied(set.outPath);
    if (set.outputExisted) {
        const QString text = QStringLiteral("This decoded file already exists:") + kCrLf + kCrLf + set.outPath + kCrLf
                             + kCrLf + QStringLiteral("Do you want to replace it?");
        const bool yes = host.askYesNo && host.askYesNo(QStringLiteral("Replace Existing 7PLUS File"), text);
        if (!yes) {
            return Fail(QStringLiteral("7PLUS decoding cancelled.") + kCrLf + QStringLiteral("Existing file preserved."));
        }
        // The new file replaces the old one in one rename: no backup is
        // made, so none can be in the way.
    }
    set.workPath = outFolder + QStringLiteral("/7PLUS_NEW.TMP");
    return {};
}

// Every part is checked before a byte is written, so a missing or truncated
// part costs no decoding work and touches nothing. Each part is opened once:
// the check keeps it open for the decoding.
Result<> checkParts(CheckedSet& set)
{
    const Header& first = set.first;
    const QStringList present = filesIn(set.folder);
    set.parts.reserve(size_t(first.totalParts));
    for (int p = 1; p <= first.totalParts; ++p) {
        const QString wanted = set.base + QStringLiteral(".P") + Hex2(p);
        const QString hit = matchNoCase(present, wanted);
        if (hit.isEmpty()) {
            return Fail(QStringLiteral("Missing 7PLUS part:") + kCrLf + set.folder + wanted);
        }
        const PartFile& part = set.parts.emplace_back(set.folder + hit);
        const Result<Header> header = part.readHeader();
        if (!header.ok()) {
            return Fail(QStringLiteral("Invalid header in part %1").arg(p));
        }
        const Header& h = header.value();
        if (h.name != first.name || h.partNumber != p || h.totalParts != first.totalParts || h.size != first.size
            || h.blockLines != first.blockLines) {
            return Fail(QStringLiteral("Header mismatch in part %1").arg(p));
        }
        const qint64 n = linesOfPart(first, p);
        if (h.encodedBytes != n * kCodeChars) {
            return Fail(QStringLiteral("Encoded length mismatch in part %1").arg(p));
        }
        if (part.size() != (n + 2) * kStoredLine) {
            return Fail(QStringLiteral("Unexpected file length in part %1").arg(p));
        }
    }
    return {};
}

// The whole set, checked before a byte is written.
Result<CheckedSet> checkPartSet(const QString& part1Path, const Host& host)
{
    Result<CheckedSet> set = checkFirstPart(part1Path);
    if (!set.ok()) {
        return set;
    }
    if (const Result<> destination = checkDestination(set.value(), host); !destination.ok()) {
        return destination.failure();
    }
    if (const Result<> parts = checkParts(set.value()); !parts.ok()) {
        return parts.failure();
    }
    return set;
}

// Decodes every part into the work file; the value is the bytes written.
Result<qint64> decodeIntoWork(AtomicFile& work, CheckedSet& set, const Host& host)
{
    if (!work.open()) {
        if (work.failure() == AtomicFile::Failure::Exists && AtomicFile::occupied(set.workPath)) {
            return workFileExists(set.workPath);
        }
        throwWriteError(work);
    }
    const int S = set.first.size;
    const int T = set.first.totalParts;
    const int B = set.first.blockLines;
    qint64 written = 0;
    QByteArray data;
    QByteArray out;
    LineBytes decoded{};
    for (int p = 1; p <= T; ++p) {
        const qint64 n = std::min<qint64>(B, (qint64(S) - written + kLineBytes - 1) / kLineBytes);
        PartFile& part = set.parts[size_t(p - 1)];
        // The part may have changed since it was checked.
        if (!part.readAll(data, (n + 2) * kStoredLine)) {
            return Fail(QStringLiteral("Unexpected file length in part %1").arg(p));
        }
        part.close();
        const auto bytes = bytesOf(data);
        out.resize(0);
        for (int k = 0; k < n; ++k) {
            const auto line = bytes.subspan(size_t(kStoredLine) * (k + 1), kBlockSize);
            if (!Verify7PlusLine(line, k)) {
                return Fail(QStringLiteral("7PLUS CRC FAILED") + kCrLf + QStringLiteral("Part: %1").arg(p) + kCrLf
                            + QStringLiteral("Line: %1").arg(k));
            }
            if (!Decode7PlusLine(line.first(kCodeChars), decoded)) {
                return Fail(QStringLiteral("Decode failed in part %1, line %2").arg(p).arg(k));
            }
            const int take = int(std::min<qint64>(kLineBytes, S - written));
            out.append(reinterpret_cast<const char*>(decoded.data()), take);
            written += take;
        }
        if (!work.write(out)) {
            throwWriteError(work);
        }
        if (host.progress) {
            host.progress(int(qint64(p) * 100 / T));
        }
    }
    if (written != S) {
        return Fail(QStringLiteral("Reconstructed file size mismatch."));
    }
    return written;
}

// Gives the whole work file the output's name.
Result<> commitOutput(AtomicFile& work, const CheckedSet& set)
{
    if (work.commit()) {
        return {};
    }
    if (work.failure() == AtomicFile::Failure::DiskFull) {
        throwWriteError(work);
    }
    const QString why = work.errorString();
    return Fail(set.outputExisted ? QStringLiteral("Unable to replace decoded file:") + kCrLf + why + kCrLf
                                        + QStringLiteral("Original file restoration attempted.")
                                  : QStringLiteral("Unable to place decoded file:") + kCrLf + why);
}

} // namespace

Result<QString> DecodeReceived7Plus(const QString& part1Path, const Host& host)
{
    return reportingCodecErrors(QStringLiteral("7PLUS DECODE ERROR"), [&]() -> Result<QString> {
        Result<CheckedSet> set = checkPartSet(part1Path, host);
        if (!set.ok()) {
            return set.failure();
        }
        // The work file is removed on every way out but a successful commit,
        // a thrown fault included. A replaced output is swapped for the new
        // one in one rename, so it stays in place until the new file is whole
        // and no backup is ever needed.
        AtomicFile work(set->outPath, set->outputExisted ? AtomicFile::Mode::Replace : AtomicFile::Mode::NoReplace,
                        set->workPath);
        work.setExpectedSize(set->first.size);
        const Result<qint64> written = decodeIntoWork(work, set.value(), host);
        if (!written.ok()) {
            return written.failure();
        }
        if (const Result<> placed = commitOutput(work, set.value()); !placed.ok()) {
            return placed.failure();
        }
        return QStringLiteral("7PLUS RECEIVED FILE DECODING") + kCrLf + QString(32, QLatin1Char('-')) + kCrLf
               + QStringLiteral("Original filename: ") + set->first.name + kCrLf
               + QStringLiteral("Original size: ") + QString::number(set->first.size) + kCrLf
               + QStringLiteral("Parts decoded: ") + QString::number(set->first.totalParts) + kCrLf
               + QStringLiteral("Bytes reconstructed: ") + QString::number(written.value()) + kCrLf
               + QStringLiteral("Output: ") + set->outPath + kCrLf + QStringLiteral("RESULT: DECODING COMPLETE");
    });
}

} // namespace tolvan::Mod7plus
