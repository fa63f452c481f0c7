#pragma once

// File helpers shared by the encoder, the decoder and the self-test operations.

#include "platform/AtomicFile.h"
#include "sevenplus/Mod7plus.h"

#include <QFileDevice>
#include <QStringList>

#include <new>

namespace tolvan::Mod7plus::detail {

inline const QString kCrLf = QStringLiteral("\r\n");

// Turns a failed file operation into the error the caller reports.
[[noreturn]] void throwFileError(const QFileDevice& file);
[[noreturn]] void throwError(int number, const QString& description);

// The names of the files in a folder, for case-blind lookups.
QStringList filesIn(const QString& folder);
// The entry of `names` equal to `name`, exact spelling first, then without
// regard to letter case; empty when there is none.
QString matchNoCase(const QStringList& names, const QString& name);
// The folder path with exactly one trailing "/".
QString withSlash(const QString& folder);
// Finds or creates a sub-folder; its existing spelling is kept when it only
// differs in letter case.
QString ensureSubFolder(const QString& folderWithSlash, const QString& name);
// Writes one part file whole through AtomicFile, without waiting for the
// disk; a failure throws with its number (61 for a write cut short).
void writePart(const QString& path, const QByteArray& bytes);
// Throws the failure of a platform writer: number 61 for a write cut short.
[[noreturn]] void throwWriteError(const AtomicFile& file);

// Runs an operation of the codec and turns a fault thrown inside it into the
// failure the operator reads, "<prefix> n: description", so that no codec
// exception leaves the codec.
template <typename Operation>
auto reportingCodecErrors(const QString& prefix, Operation&& operation) -> decltype(operation())
{
    try {
        return operation();
    } catch (const SevenPlusError& e) {
        return Fail(QStringLiteral("%1 %2: %3").arg(prefix, QString::number(e.number()), e.description()));
    } catch (const std::bad_alloc&) {
        return Fail(prefix + QStringLiteral(" 7: Out of memory"));
    }
}

// The part files one encoding has written: unless the run ends in success
// (keep()), they are removed again, so a failed run leaves no incomplete set
// that looks ready to send.
class PartsOfThisRun {
public:
    PartsOfThisRun() = default;
    PartsOfThisRun(const PartsOfThisRun&) = delete;
    PartsOfThisRun& operator=(const PartsOfThisRun&) = delete;
    ~PartsOfThisRun();
    void add(const QString& path) { m_paths << path; }
    void keep() { m_keep = true; }

private:
    QStringList m_paths;
    bool m_keep = false;
};

// Appends the stored form of one block: 69 bytes and CR LF.
inline void appendStored(QByteArray& out, const Block& block)
{
    out.append(reinterpret_cast<const char*>(block.data()), kBlockSize);
    out.append("\r\n", 2);
}

inline std::span<const std::uint8_t> bytesOf(const QByteArray& a)
{
    return {reinterpret_cast<const std::uint8_t*>(a.constData()), size_t(a.size())};
}

} // namespace tolvan::Mod7plus::detail
