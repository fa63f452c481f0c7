#pragma once

// The 7PLUS codec: turns a binary file into a set of text-safe part files that
// survive packet-radio mail, and rebuilds the file from a received set. Widget
// free; the caller supplies the Yes/No question and the progress display.

#include "platform/Result.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>

namespace tolvan::Mod7plus {

// Fixed sizes of the format.
inline constexpr int kLineBytes = 62;          // file bytes per data line
inline constexpr int kCodeChars = 64;          // code characters per data line
inline constexpr int kBlockSize = 69;          // protected line, header or footer block
inline constexpr int kStoredLine = 71;         // a block followed by CR LF
inline constexpr int kBlockLines = 512;        // data lines per full part
// The longest part file: header, data lines and footer, each a stored line.
inline constexpr qint64 kMaxPartFileBytes = qint64(kBlockLines + 2) * kStoredLine;
inline constexpr int kPartBytes = kBlockLines * kLineBytes; // 31,744
inline constexpr int kMaxParts = 255;
inline constexpr qint64 kMaxFileSize = qint64(kMaxParts) * kPartBytes; // 8,094,720
inline constexpr int kMaxValue = 0x7FFFFFFF;

using Values = std::array<std::int64_t, 16>;
using Chars = std::array<std::uint8_t, kCodeChars>;
using Block = std::array<std::uint8_t, kBlockSize>;
using LineBytes = std::array<std::uint8_t, kLineBytes>;

// A run-time fault inside an operation: a number and a description. It never
// leaves the codec: the file operations report it in their result as
// "7PLUS ERROR n: description".
class SevenPlusError : public std::runtime_error {
public:
    SevenPlusError(int number, const QString& description)
        : std::runtime_error(description.toStdString())
        , m_number(number)
        , m_description(description)
    {
    }
    int number() const { return m_number; }
    const QString& description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};

// What an operation's result tells the operator: the report of a success, or
// why it failed.
inline const QString& ReportText(const Result<QString>& result)
{
    return result.ok() ? result.value() : result.error();
}

// ---- Line coding and check values ----

// These are checks of one line or block in memory: false means the input
// cannot be coded, with nothing more to say about it.

// Byte value of a code-alphabet index; throws SevenPlusError(5) outside 0..215.
int Get7PlusChar(int index);
// Index 0..215 of a code character, -1 for the 40 bytes outside the alphabet.
int Get7PlusIndex(std::uint8_t byte);
std::uint16_t Crc7PlusStep(std::uint16_t reg, std::uint8_t byte);
// Register after the bytes first..last (or last..first when reverse); 0 when first > last.
std::uint16_t Crc7PlusRange(std::span<const std::uint8_t> bytes, qsizetype first, qsizetype last, bool reverse);

bool Pack7PlusLine(std::span<const std::uint8_t> file, qsizetype start, Values& values);
bool Encode7PlusValues(std::span<const std::int64_t> values, Chars& chars);
bool Protect7PlusLine(std::span<const std::uint8_t> chars, int lineNumber, Block& line);
bool Verify7PlusLine(std::span<const std::uint8_t> line, int expectedLine);
bool Decode7PlusLine(std::span<const std::uint8_t> chars, LineBytes& bytes);
bool Seal7PlusBlock(std::span<std::uint8_t> block);
bool Verify7PlusHeader(std::span<const std::uint8_t> block);

// ---- Encoder ----

// Asks the operator a Yes/No question (title, text); true means Yes. An empty
// function answers No, so nothing is replaced without consent.
using AskYesNo = std::function<bool(const QString& title, const QString& text)>;
// Receives the percentage done after every part.
using Progress = std::function<void(int percent)>;

struct Host {
    AskYesNo askYesNo;
    Progress progress;
};

// The whole content of a non-empty file.
Result<QByteArray> ReadBinaryFile(const QString& path);
QString Get7PlusTimestamp(const QString& path);
// The 8.3 name carried in a header: upper case, base cut to 8, extension to 3.
QString Make7PlusShortName(const QString& fileName);
bool Build7PlusHeader(int size, int partNumber, int totalParts, int blockLines, Block& block,
                      const QString& fileName);
bool Build7PlusFooter(const QString& baseName, int partNumber, int totalParts, Block& block, const QString& stamp);
// Writes the set into "7PLUS_OUTPUT" beside the source; the value is the
// report for the operator. parts, when given, receives the paths of the parts
// written.
Result<QString> Encode7PlusFile(const QString& sourcePath, const Host& host = {}, QStringList* parts = nullptr);

// The part count and total bytes of the set Encode7PlusFile would write for
// the file, with the same refusals; nothing is written.
struct SetSize {
    int parts = 0;
    qint64 bytes = 0;
};
Result<SetSize> Plan7PlusSet(const QString& sourcePath);

// ---- Decoder ----

struct Header {
    QString name;
    int size = 0;
    int partNumber = 0;
    int totalParts = 0;
    int encodedBytes = 0;
    int blockLines = 0;
};

// Parses a sealed header block; the text layout alone, no file access.
Result<Header> Parse7PlusHeader(std::span<const std::uint8_t> block);
// The header of a part file: a file of at least one block whose first block
// is a sound header.
Result<Header> Read7PlusHeader(const QString& path);
// What is wrong with a part file beyond its header, as the end of a sentence
// ("line 5 fails its check"); empty when its length matches the header and
// every line passes its check, so the part decodes.
QString Find7PlusPartDamage(const QString& path, const Header& header);
// A received name may only name a file inside the output folder.
bool IsSafe7PlusFileName(const QString& name);
// Rebuilds the file of the set whose part 1 is given into "7PLUS_RECEIVED"
// beside it; the value is the report for the operator.
Result<QString> DecodeReceived7Plus(const QString& part1Path, const Host& host = {});

// ---- Supporting operations of the self-tests ----

// Writes a new file; an existing one is left alone and refused.
Result<> WriteBinaryFile(const QString& path, const QByteArray& bytes);
bool FilesIdentical(const QString& pathA, const QString& pathB);
// The value is the report for the operator.
Result<QString> Create7PlusFirstPart(const QString& sourcePath, const QString& outputPath, const QString& baseName);
Result<> Decode7PlusPart1(const QString& partPath, const QString& outputPath);
// Decodes the set whose part 1 is given into BASE + "_DECODED.JPG" beside it;
// the value is the report for the operator.
Result<QString> Decode7PlusAll(const QString& part1Path, qint64 originalSize);

// Two upper-case hexadecimal digits, as in part names and footers.
QString Hex2(int n);
// A file in a folder, found without regard to letter case (an exact match
// wins); empty when there is none.
QString FindNoCase(const QString& folder, const QString& name);

} // namespace tolvan::Mod7plus
