#include "pmba/FileMail.h"

#include "platform/AnsiCodec.h"
#include "platform/AtomicFile.h"
#include "platform/ReceivedName.h"
#include "pmba/ModPMBA.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace tolvan::FileMail {

namespace {

// Every failure has its box: a refusal of the operator's choice warns, a
// fault of the file or the disk is critical.
Failure fail(const QString& text, MsgIcon icon = MsgIcon::Critical)
{
    return Fail(MessageBoxRequest{text, {}, icon, MsgButtons::Ok, MsgAnswer::Ok});
}

Result<Mail> readFailure(const QString& text, Mail partial = {})
{
    return {fail(text), std::move(partial)};
}

} // namespace

// ---- Base64 over bytes ----
//
// A table codec of our own: Qt's decoder is several times slower, and a file
// mail runs two of them back to back over megabytes. It accepts exactly what
// Qt's strict decoder accepted before it, so no mail reads differently:
// white space anywhere is skipped, the alphabet is the standard one, "=" may
// only end the text (once or twice, the text then a multiple of four long),
// and unpadded text of any length is read as far as whole bytes go.

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Two Base64 characters for every 12-bit value, so three bytes take two
// lookups.
struct PairTable {
    std::array<std::uint16_t, 4096> pair{};
    constexpr PairTable()
    {
        for (int v = 0; v < 4096; ++v) {
            // Stored in memory order: the first character at the lower address.
            const auto first = std::uint16_t(std::uint8_t(kAlphabet[v >> 6]));
            const auto second = std::uint16_t(std::uint8_t(kAlphabet[v & 63]));
            pair[v] = std::endian::native == std::endian::little ? std::uint16_t(first | second << 8)
                                                                 : std::uint16_t(first << 8 | second);
        }
    }
};
constexpr PairTable kPairs;

constexpr std::uint32_t kNotData = 0x01000000; // set in every entry that is no alphabet character

// The value of each character already shifted to its place in a group of
// four, so a group is the OR of four lookups and one test finds any
// character that needs the slow path (white space, "=", anything foreign).
struct DecodeTables {
    std::array<std::array<std::uint32_t, 256>, 4> shifted{};
    constexpr DecodeTables()
    {
        for (auto& t : shifted) {
            t.fill(kNotData);
        }
        for (std::uint32_t v = 0; v < 64; ++v) {
            const auto c = std::uint8_t(kAlphabet[v]);
            for (int k = 0; k < 4; ++k) {
                shifted[k][c] = v << (6 * (3 - k));
            }
        }
    }
};
constexpr DecodeTables kDecode;

bool isSpaceByte(unsigned c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Encoded length of n bytes.
qsizetype encodedSize(qsizetype n)
{
    return (n + 2) / 3 * 4;
}

// Writes the Base64 text of n bytes to out, padded; returns its length.
qsizetype encodeTo(const std::uint8_t* in, qsizetype n, char* out)
{
    char* const start = out;
    const std::uint8_t* const whole = in + n / 3 * 3;
    for (; in != whole; in += 3, out += 4) {
        const std::uint32_t v = std::uint32_t(in[0]) << 16 | std::uint32_t(in[1]) << 8 | in[2];
        const std::uint16_t hi = kPairs.pair[v >> 12];
        const std::uint16_t lo = kPairs.pair[v & 0xFFF];
        std::memcpy(out, &hi, 2);
        std::memcpy(out + 2, &lo, 2);
    }
    const qsizetype rest = n % 3;
    if (rest > 0) {
        const std::uint32_t v = std::uint32_t(in[0]) << 16 | (rest == 2 ? std::uint32_t(in[1]) << 8 : 0);
        out[0] = kAlphabet[v >> 18];
        out[1] = kAlphabet[(v >> 12) & 63];
        out[2] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out[3] = '=';
        out += 4;
    }
    return out - start;
}

// Decodes Base64 text handed over in pieces of any size; the bytes go to a
// buffer the caller sized for them (three per four characters).
class Base64Decoder {
public:
    explicit Base64Decoder(char* out)
        : m_out(out)
    {
    }

    // False at the first fault; the decoder then takes nothing more.
    template <class Unit> bool feed(const Unit* p, qsizetype n)
    {
        if (m_bad) {
            return false;
        }
        const Unit* const end = p + n;
        while (p != end) {
            // Whole groups of four alphabet characters go the quick way.
            if (m_have == 0 && m_pads == 0) {
                while (end - p >= 4) {
                    const std::uint32_t v = lookup(p[0], 0) | lookup(p[1], 1) | lookup(p[2], 2) | lookup(p[3], 3);
                    if (v & kNotData) {
                        break;
                    }
                    m_out[0] = char(v >> 16);
                    m_out[1] = char(v >> 8);
                    m_out[2] = char(v);
                    m_out += 3;
                    m_count += 4;
                    p += 4;
                }
                if (p == end) {
                    break;
                }
            }
            if (!one(unsigned(*p++))) {
                m_bad = true;
                return false;
            }
        }
        return true;
    }

    // Checks the end of the text: "=" only where a padded text allows it.
    bool finish()
    {
        if (m_bad || (m_pads > 0 && m_count % 4 != 0)) {
            m_bad = true;
            return false;
        }
        // Leftover characters give as many whole bytes as their bits hold.
        if (m_have >= 2) {
            const std::uint32_t v = m_acc << (6 * (4 - m_have));
            *m_out++ = char(v >> 16);
            if (m_have == 3) {
                *m_out++ = char(v >> 8);
            }
        }
        m_have = 0;
        return true;
    }

    char* end() const { return m_out; }
    // Whether the text so far is whole groups of four, as every sender
    // writes it: a text cut short is not.
    bool whole() const { return m_count % 4 == 0; }
    // Where the following bytes go; the group in progress is kept.
    void setOutput(char* out) { m_out = out; }

private:
    template <class Unit> static std::uint32_t lookup(Unit c, int k)
    {
        const auto u = unsigned(c);
        return u < 256 ? kDecode.shifted[k][u] : kNotData;
    }

    bool one(unsigned c)
    {
        if (c < 256 && isSpaceByte(c)) {
            return true;
        }
        ++m_count;
        if (c == '=') {
            return ++m_pads <= 2;
        }
        const std::uint32_t v = c < 256 ? kDecode.shifted[3][c] : kNotData;
        if ((v & kNotData) || m_pads > 0) {
            return false;
        }
        m_acc = m_acc << 6 | v;
        if (++m_have == 4) {
            *m_out++ = char(m_acc >> 16);
            *m_out++ = char(m_acc >> 8);
            *m_out++ = char(m_acc);
            m_acc = 0;
            m_have = 0;
        }
        return true;
    }

    char* m_out;
    std::uint32_t m_acc = 0;
    int m_have = 0;     // characters of the current group
    int m_pads = 0;     // "=" seen
    qint64 m_count = 0; // characters other than white space
    bool m_bad = false;
};

// Bytes n characters of Base64 can hold at most.
qsizetype decodedCapacity(qsizetype n)
{
    return n / 4 * 3 + 3;
}

template <class Unit> std::optional<QByteArray> decodeWhole(const Unit* text, qsizetype n)
{
    QByteArray out(decodedCapacity(n), Qt::Uninitialized);
    Base64Decoder d(out.data());
    if (!d.feed(text, n) || !d.finish()) {
        return std::nullopt;
    }
    out.truncate(d.end() - out.constData());
    return out;
}

// The inner text of a file mail, handed over in pieces as the outer Base64 is
// decoded: the five short fields up to their fifth comma, then the carried
// file's Base64 up to the next comma, decoded on the fly into `data`.
class InnerReader {
public:
    // dataCapacity: what the carried file's bytes are expected to need.
    explicit InnerReader(qsizetype dataCapacity)
        : m_data(dataCapacity, Qt::Uninitialized)
        , m_decoder(m_data.data())
    {
    }

    void feed(const char* p, qsizetype n)
    {
        const char* const end = p + n;
        while (p != end && m_field < 5) {
            const char* comma = static_cast<const char*>(std::memchr(p, ',', size_t(end - p)));
            const char* stop = comma ? comma : end;
            m_fields[m_field].append(p, stop - p);
            p = stop;
            if (comma) {
                ++m_field;
                ++p;
            }
        }
        if (p != end && m_field == 5) {
            // Pieces after the sixth are ignored.
            const char* comma = static_cast<const char*>(std::memchr(p, ',', size_t(end - p)));
            const char* stop = comma ? comma : end;
            if (m_dataOk) {
                makeRoom(stop - p);
                m_dataOk = m_decoder.feed(p, stop - p);
            }
            if (comma) {
                endData();
            }
        }
    }

    void finish()
    {
        if (m_field == 5) {
            endData();
        }
    }

    bool hasAllPieces() const { return m_field >= 6; }
    bool dataOk() const { return m_dataOk; }
    QString field(int i) const { return Ansi::decode(m_fields[i]); }
    QByteArray takeData() { return std::move(m_data); }

private:
    // The file may have grown since its size was taken: the buffer grows
    // with it rather than be overrun.
    void makeRoom(qsizetype text)
    {
        const qsizetype used = m_decoder.end() - m_data.constData();
        const qsizetype needed = used + decodedCapacity(text);
        if (needed > m_data.size()) {
            m_data.resize(std::max(needed, m_data.size() * 2));
            m_decoder.setOutput(m_data.data() + used);
        }
    }

    void endData()
    {
        m_dataOk = m_dataOk && m_decoder.whole() && m_decoder.finish();
        m_data.truncate(m_decoder.end() - m_data.constData());
        m_field = 6;
    }

    std::array<QByteArray, 5> m_fields;
    int m_field = 0; // the piece being read; 6 once the data piece has ended
    QByteArray m_data;
    Base64Decoder m_decoder;
    bool m_dataOk = true;
};

// Reads a file mail whose content arrives in pieces through
// next(buffer, max), which returns the count read, 0 at the end, or -1 on a
// read error (then readError() describes it). Only one piece of the outer
// text and its decoded inner text are held at a time, besides the carried
// file's bytes.
template <class Next, class ReadError>
Result<Mail> parseStream(qsizetype contentSize, Next&& next, ReadError&& readError)
{
    constexpr qsizetype kPiece = qsizetype(1) << 20;
    QByteArray in(std::clamp<qsizetype>(contentSize, 4, kPiece), Qt::Uninitialized);
    QByteArray inner(decodedCapacity(in.size()), Qt::Uninitialized);
    InnerReader reader(decodedCapacity(decodedCapacity(contentSize)));
    Base64Decoder outer(inner.data());
    char last = 0;
    qint64 total = 0;
    bool fed = true;
    for (;;) {
        const qsizetype got = next(in.data(), in.size());
        if (got < 0) {
            return readFailure(readError());
        }
        if (got == 0) {
            break;
        }
        last = in[got - 1];
        total += got;
        outer.setOutput(inner.data());
        if (!outer.feed(in.constData(), got)) {
            fed = false;
            break;
        }
        reader.feed(inner.constData(), outer.end() - inner.constData());
    }
    outer.setOutput(inner.data());
    // A sender ends the text with a line end after whole groups of four: a
    // mail cut short on the way, or still arriving, ends otherwise and would
    // give a shorter file taken for the whole one.
    if (fed && total > 0 && (!outer.whole() || last != '\n')) {
        return readFailure(QStringLiteral("Error: The file mail is incomplete: it ends before its Base64 text and "
                                          "line end do, so part of it is missing or still arriving."));
    }
    if (!outer.finish()) {
        return readFailure(QStringLiteral("Error: The file mail is not valid Base64 text!"));
    }
    reader.feed(inner.constData(), outer.end() - inner.constData());
    reader.finish();
    if (!reader.hasAllPieces()) {
        return readFailure(QStringLiteral("Error: Decoded data format is incorrect!"));
    }
    Mail mail{reader.field(0), reader.field(1), reader.field(2), reader.field(3), reader.field(4), {}};
    // The name is joined to a folder of ours: it must not lead out of it.
    if (const QString why = ReceivedName::Problem(mail.fileName); !why.isEmpty()) {
        return readFailure(
            QStringLiteral("Error: The file name in this mail is not valid: \"%1\"\n(%2)")
                .arg(ReceivedName::Shown(mail.fileName), why),
            mail);
    }
    if (!reader.dataOk()) {
        return readFailure(QStringLiteral("Error: The attached file is not valid Base64 data!"), mail);
    }
    mail.data = reader.takeData();
    return mail;
}

// The file mail's text: Base64 of head + Base64(data), then CR LF, handed to
// sink(QByteArrayView) in pieces, so that neither the inner text nor the
// whole outer text is ever held. False when the sink refuses a piece.
template <class Sink> bool buildStream(QByteArrayView head, QByteArrayView data, Sink&& sink)
{
    constexpr qsizetype kPiece = 3 * (qsizetype(1) << 18); // inner bytes per outer piece, a multiple of 3
    QByteArray inner(head.size() + kPiece, Qt::Uninitialized);
    QByteArray outer(encodedSize(inner.size()) + 2, Qt::Uninitialized);
    std::memcpy(inner.data(), head.data(), size_t(head.size()));
    qsizetype filled = head.size();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    qsizetype done = 0;
    for (;;) {
        const qsizetype take = std::min(data.size() - done, (inner.size() - filled) / 4 * 3);
        filled += encodeTo(bytes + done, take, inner.data() + filled);
        done += take;
        if (done == data.size()) {
            break;
        }
        // Whole groups of three go out; the one or two bytes left lead the next piece.
        const qsizetype whole = filled / 3 * 3;
        const qsizetype n = encodeTo(reinterpret_cast<const std::uint8_t*>(inner.constData()), whole, outer.data());
        if (!sink(QByteArrayView(outer.constData(), n))) {
            return false;
        }
        std::memmove(inner.data(), inner.constData() + whole, size_t(filled - whole));
        filled -= whole;
    }
    qsizetype n = encodeTo(reinterpret_cast<const std::uint8_t*>(inner.constData()), filled, outer.data());
    outer[n++] = '\r';
    outer[n++] = '\n';
    return sink(QByteArrayView(outer.constData(), n));
}

// The five text fields and their commas in the code page.
QByteArray headOf(const Mail& mail)
{
    return Ansi::encode(
        QString(mail.message + u',' + mail.subject + u',' + mail.to + u',' + mail.from + u',' + mail.fileName + u','));
}

qsizetype builtSize(qsizetype headSize, qsizetype dataSize)
{
    return encodedSize(headSize + encodedSize(dataSize)) + 2;
}

} // namespace

QString Base64Encode(QByteArrayView data)
{
    QByteArray text(encodedSize(data.size()), Qt::Uninitialized);
    encodeTo(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), text.data());
    return QString::fromLatin1(text);
}

std::optional<QByteArray> Base64DecodeBytes(QStringView text)
{
    return decodeWhole(text.utf16(), text.size());
}

std::optional<QByteArray> Base64DecodeBytes(QByteArrayView text)
{
    return decodeWhole(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::optional<QString> Base64Decode(QStringView text)
{
    const std::optional<QByteArray> bytes = Base64DecodeBytes(text);
    if (!bytes) {
        return std::nullopt;
    }
    return Ansi::decode(*bytes);
}

QByteArray Build(const Mail& mail)
{
    const QByteArray head = headOf(mail);
    QByteArray out;
    out.reserve(builtSize(head.size(), mail.data.size()));
    buildStream(head, mail.data, [&out](QByteArrayView piece) {
        out.append(piece);
        return true;
    });
    return out;
}

Result<Mail> Parse(QByteArrayView content)
{
    qsizetype at = 0;
    return parseStream(
        content.size(),
        [&](char* buffer, qsizetype max) {
            const qsizetype n = std::min(max, content.size() - at);
            if (n > 0) {
                std::memcpy(buffer, content.data() + at, size_t(n));
            }
            at += n;
            return n;
        },
        [] { return QString(); });
}

namespace {

// The checks made before anything is written, shared by the writer and the
// size estimate so that both refuse with the same words. With data given the
// file is read into it; without, only its size is taken.
Result<> prepare(const QString& attachmentPath, const QString& to, const QString& from, const QString& subject,
                 const QString& message, Mail& mail, QByteArray& head, bool readData)
{
    mail = Mail{message, subject, to, from, attachmentPath.mid(attachmentPath.lastIndexOf(u'/') + 1), {}};
    // A comma would shift the fields at the receiver and a bad name is refused
    // there, so the carried file would never arrive.
    QString why = ReceivedName::SendProblem(mail.fileName);
    if (why.isEmpty() && mail.fileName.contains(u',')) {
        why = QStringLiteral("it holds a comma");
    }
    if (!why.isEmpty()) {
        return fail(
            QStringLiteral("Error: The file name \"%1\" cannot be sent in a file mail: %2.")
                .arg(ReceivedName::Shown(mail.fileName), why),
            MsgIcon::Exclamation);
    }
    if (QFileInfo(attachmentPath).size() > kMaxCarriedFileBytes) {
        return fail(QStringLiteral("Error: %1 is too large for a file mail (at most %2 bytes).")
                        .arg(attachmentPath)
                        .arg(kMaxCarriedFileBytes),
                    MsgIcon::Exclamation);
    }
    QFile source(attachmentPath);
    if (!QFileInfo(attachmentPath).isFile() || !source.open(QIODevice::ReadOnly)) {
        return fail(QStringLiteral("Error: File is empty or unreadable!"));
    }
    qint64 dataSize = source.size();
    if (readData) {
        mail.data = source.readAll();
        dataSize = source.error() == QFileDevice::NoError ? mail.data.size() : 0;
    }
    if (dataSize <= 0) {
        return fail(QStringLiteral("Error: File is empty or unreadable!"));
    }
    source.close();

    // Readers refuse anything longer, so it would never be read.
    head = headOf(mail);
    if (builtSize(head.size(), dataSize) > kMaxFileMailBytes) {
        return fail(QStringLiteral("Error: The file mail would be longer than %1 bytes; shorten the texts.")
                        .arg(kMaxFileMailBytes),
                    MsgIcon::Exclamation);
    }
    return {};
}

} // namespace

Result<qint64> Size(const QString& attachmentPath, const QString& to, const QString& from, const QString& subject,
                    const QString& message)
{
    Mail mail;
    QByteArray head;
    if (const Result<> prepared = prepare(attachmentPath, to, from, subject, message, mail, head, false);
        !prepared.ok()) {
        return prepared.failure();
    }
    return builtSize(head.size(), QFileInfo(attachmentPath).size());
}

Result<qint64> Write(const QString& attachmentPath, const QString& outputPath, const QString& to, const QString& from,
                     const QString& subject, const QString& message)
{
    Mail mail;
    QByteArray head;
    if (const Result<> prepared = prepare(attachmentPath, to, from, subject, message, mail, head, true);
        !prepared.ok()) {
        return prepared.failure();
    }
    // The mail goes to disk piece by piece as it is encoded. A second post in
    // the same second must not add a second mail to the first one's file: the
    // receiver could read neither.
    AtomicFile out(outputPath, AtomicFile::Mode::NoReplace);
    out.setExpectedSize(builtSize(head.size(), mail.data.size()));
    if (!out.open() || !buildStream(head, mail.data, [&out](QByteArrayView piece) { return out.write(piece); }) ||
        !out.commit()) {
        return fail(QStringLiteral("File mail error: ") + out.errorString());
    }
    return builtSize(head.size(), mail.data.size());
}

Result<Mail> Read(const QString& path, SafeFile::Links links)
{
    // One descriptor for the whole read: a regular file only, a longer file
    // than any sender writes refused before reading, and a file rewritten
    // while it was read refused rather than mixed.
    SafeFile::Reader reader;
    if (const Result<> opened = reader.open(path, kMaxFileMailBytes, links); !opened.ok()) {
        return readFailure(QStringLiteral("Error: The file mail cannot be read: ") + opened.error());
    }
    // Read in pieces: the whole text of a large mail is never held at once.
    Result<Mail> mail = parseStream(
        reader.size(), [&reader](char* buffer, qsizetype max) { return reader.read(buffer, max); },
        [&reader] { return QStringLiteral("Error: The file mail cannot be read: ") + reader.error(); });
    if (const Result<> done = reader.finish(); mail.ok() && !done.ok()) {
        return readFailure(QStringLiteral("Error: The file mail cannot be read: ") + done.error());
    }
    return mail;
}

Result<SavedFile> SaveCarriedFile(const Mail& mail, const QString& folder, bool replaceExisting)
{
    if (const QString why = ReceivedName::Problem(mail.fileName); !why.isEmpty()) {
        return fail(QStringLiteral("Error: The file name in this mail is not valid: \"%1\"\n(%2)")
                        .arg(ReceivedName::Shown(mail.fileName), why));
    }
    const QString path = folder.endsWith(u'/') ? folder + mail.fileName : folder + u'/' + mail.fileName;
    if (!replaceExisting && QFileInfo::exists(path) && AtomicFile::obstacle(path).isEmpty()) {
        return SavedFile{SavedFile::Status::Exists, path};
    }
    const Result<> written = AtomicFile::writeWhole(
        path, mail.data, replaceExisting ? AtomicFile::Mode::Replace : AtomicFile::Mode::NoReplace);
    if (!written.ok()) {
        return fail(QStringLiteral("Error: The received file could not be written: ") + written.error());
    }
    return SavedFile{SavedFile::Status::Saved, path};
}

Result<SavedFile> SaveCarriedFile(Dialogs& dialogs, const Mail& mail, const QString& folder)
{
    Result<SavedFile> r = SaveCarriedFile(mail, folder, false);
    if (r.ok() && r->status == SavedFile::Status::Exists) {
        const MessageBoxRequest question{
            QStringLiteral("A file named \"%1\" already exists:\n%2\n\nReplace it with the received file?")
                .arg(mail.fileName, r->path),
            QStringLiteral("Confirmation"), MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No};
        if (dialogs.messageBox(question) != MsgAnswer::Yes) {
            return r;
        }
        r = SaveCarriedFile(mail, folder, true);
    }
    ShowFailure(dialogs, r);
    return r;
}

} // namespace tolvan::FileMail
