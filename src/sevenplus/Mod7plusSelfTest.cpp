// Operations behind the screen's self-test buttons: raw file copies and
// comparisons, a lone first part, and decoders that skip the check characters
// to tell a coding fault from a checking fault.

#include "platform/SafeFile.h"
#include "sevenplus/Mod7plusFiles.h"

#include <QFile>
#include <QFileInfo>

namespace tolvan::Mod7plus {

using namespace detail;

Result<> WriteBinaryFile(const QString& path, const QByteArray& bytes)
{
    if (path.trimmed().isEmpty()) {
        return Fail(QStringLiteral("No file name was given."));
    }
    return AtomicFile::writeWhole(path, bytes, AtomicFile::Mode::NoReplace, AtomicFile::Sync::No);
}

bool FilesIdentical(const QString& pathA, const QString& pathB)
{
    const Result<QByteArray> a = ReadBinaryFile(pathA);
    const Result<QByteArray> b = ReadBinaryFile(pathB);
    return a.ok() && b.ok() && a.value() == b.value();
}

Result<QString> Create7PlusFirstPart(const QString& sourcePath, const QString& outputPath, const QString& baseName)
{
    return reportingCodecErrors(QStringLiteral("7PLUS ERROR"), [&]() -> Result<QString> {
        const Result<QByteArray> read = ReadBinaryFile(sourcePath);
        if (!read.ok()) {
            return read.failure();
        }
        const QByteArray& data = read.value();
        const qint64 size = data.size();
        const qint64 total = (size + kPartBytes - 1) / kPartBytes;
        if (total > kMaxParts) {
            return Fail(QStringLiteral("Too many parts for 7PLUS."));
        }
        const int n = int(std::min<qint64>(kBlockLines, (size + kLineBytes - 1) / kLineBytes));
        Block header{};
        Block footer{};
        if (!Build7PlusHeader(int(size), 1, int(total), kBlockLines, header, QStringLiteral("TEST.JPG"))) {
            return Fail(QStringLiteral("Unable to build header."));
        }
        if (!Verify7PlusHeader(header)) {
            return Fail(QStringLiteral("Header verification failed."));
        }
        if (!Build7PlusFooter(baseName, 1, int(total), footer, QStringLiteral("0"))) {
            return Fail(QStringLiteral("Unable to build footer."));
        }
        QByteArray part;
        part.reserve(qsizetype(n + 2) * kStoredLine);
        appendStored(part, header);
        Values values{};
        Chars chars{};
        Block line{};
        const auto bytes = bytesOf(data);
        for (int k = 0; k < n; ++k) {
            if (!Pack7PlusLine(bytes, qint64(k) * kLineBytes, values)) {
                return Fail(QStringLiteral("Packing failed at line %1").arg(k));
            }
            if (!Encode7PlusValues(values, chars)) {
                return Fail(QStringLiteral("Encoding failed at line %1").arg(k));
            }
            if (!Protect7PlusLine(chars, k, line)) {
                return Fail(QStringLiteral("CRC failed at line %1").arg(k));
            }
            appendStored(part, line);
        }
        appendStored(part, footer);
        writePart(outputPath, part);
        return QStringLiteral("7PLUS FIRST PART CREATED") + kCrLf + QString(32, QLatin1Char('-')) + kCrLf
                  + QStringLiteral("Source size: %1").arg(size) + kCrLf + QStringLiteral("Total parts: %1").arg(total)
                  + kCrLf + QStringLiteral("Part number: 1") + kCrLf + QStringLiteral("Data lines: %1").arg(n) + kCrLf
                  + QStringLiteral("Output size: %1").arg(part.size()) + kCrLf + QStringLiteral("Output: ")
                  + outputPath;
    });
}

Result<> Decode7PlusPart1(const QString& partPath, const QString& outputPath)
{
    const Failure failed = Fail(QStringLiteral("7PLUS Part 1 decoding failed."));
    const Result<QByteArray> read = SafeFile::ReadWhole(partPath, kMaxPartFileBytes, SafeFile::Links::Follow);
    if (!read.ok()) {
        return failed;
    }
    const QByteArray& data = read.value();
    // A full part: 512 data lines after the header.
    if (data.size() < qsizetype(kStoredLine) * (kBlockLines + 1)) {
        return failed;
    }
    const auto bytes = bytesOf(data);
    QByteArray out;
    out.reserve(kPartBytes);
    LineBytes decoded{};
    for (int k = 0; k < kBlockLines; ++k) {
        if (!Decode7PlusLine(bytes.subspan(size_t(kStoredLine) * (k + 1), kCodeChars), decoded)) {
            return failed;
        }
        out.append(reinterpret_cast<const char*>(decoded.data()), kLineBytes);
    }
    return AtomicFile::writeWhole(outputPath, out, AtomicFile::Mode::Replace, AtomicFile::Sync::No);
}

Result<QString> Decode7PlusAll(const QString& part1Path, qint64 originalSize)
{
    const qsizetype slash = part1Path.lastIndexOf(QLatin1Char('/'));
    const QString folder = part1Path.left(slash + 1);
    const QString name = part1Path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot >= 0 ? name.left(dot) : name;
    const QString outPath = folder + base + QStringLiteral("_DECODED.JPG");
    if (originalSize < 1 || originalSize > kMaxFileSize) {
        return Fail(QStringLiteral("Decoded file size mismatch."));
    }
    const int total = int((originalSize + kPartBytes - 1) / kPartBytes);
    QStringList parts;
    for (int p = 1; p <= total; ++p) {
        const QString path = FindNoCase(folder, base + QStringLiteral(".P") + Hex2(p));
        if (path.isEmpty()) {
            return Fail(QStringLiteral("Missing 7PLUS part: ") + folder + base + QStringLiteral(".P") + Hex2(p));
        }
        parts << path;
    }
    if (QFileInfo::exists(outPath)) {
        return Fail(QStringLiteral("Decoded output already exists: ") + outPath);
    }
    QByteArray out;
    out.reserve(originalSize);
    LineBytes decoded{};
    for (int p = 1; p <= total; ++p) {
        const QByteArray data = SafeFile::ReadWhole(parts[p - 1], kMaxPartFileBytes, SafeFile::Links::Follow).value();
        const auto bytes = bytesOf(data);
        const qint64 n = std::min<qint64>(kBlockLines, (originalSize - out.size() + kLineBytes - 1) / kLineBytes);
        for (int k = 0; k < n; ++k) {
            const size_t at = size_t(kStoredLine) * (k + 1);
            if (at + kCodeChars > bytes.size() || !Decode7PlusLine(bytes.subspan(at, kCodeChars), decoded)) {
                return Fail(QStringLiteral("Decode failed in part %1, line %2").arg(p).arg(k));
            }
            out.append(reinterpret_cast<const char*>(decoded.data()),
                       int(std::min<qint64>(kLineBytes, originalSize - out.size())));
        }
    }
    if (out.size() != originalSize) {
        return Fail(QStringLiteral("Decoded file size mismatch."));
    }
    // Built in memory and written once, so a failure leaves no output behind.
    if (!WriteBinaryFile(outPath, out).ok()) {
        return Fail(QStringLiteral("Unable to write decoded output: ") + outPath);
    }
    return QStringLiteral("7PLUS COMPLETE DECODING") + kCrLf + QString(32, QLatin1Char('-')) + kCrLf
              + QStringLiteral("Parts decoded: %1").arg(total) + kCrLf
              + QStringLiteral("Bytes reconstructed: %1").arg(out.size()) + kCrLf + QStringLiteral("Output: ")
              + outPath;
}

} // namespace tolvan::Mod7plus
