// The encoder: one file into a set of up to 255 part files in "7PLUS_OUTPUT".

#include "platform/AnsiCodec.h"
#include "platform/AtomicFile.h"
#include "platform/ReceivedName.h"
#include "sevenplus/Mod7plusFiles.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <vector>

namespace tolvan::Mod7plus {

using namespace detail;

namespace {

// Characters that would make the header name unusable as a file name at the
// receiving end (the decoder refuses them) or that split the header's
// space-separated fields.
bool badNameChar(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || ReceivedName::IsForbiddenChar(u) || Ansi::codeOf(u) == '?' || c.isSurrogate();
}

// The receiver's names, in the header and of the part files, carry "_" for
// every such character.
QString replaceBadChars(QString name)
{
    for (QChar& c : name) {
        if (badNameChar(c)) {
            c = QLatin1Char('_');
        }
    }
    return name;
}

// The 8.3 name before any character is replaced.
QString shortNameAsGiven(const QString& fileName)
{
    QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1).trimmed().toUpper();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    QString base = dot >= 0 ? name.left(dot) : name;
    const QString ext = dot >= 0 ? name.mid(dot + 1).left(3) : QString();
    base = base.left(8);
    if (base.isEmpty()) {
        return {};
    }
    return ext.isEmpty() ? base : base + QLatin1Char('.') + ext;
}

QString upperCut(const QString& name, int length)
{
    return name.toUpper().left(length);
}

void fillText(Block& block, const QString& text)
{
    const QByteArray bytes = Ansi::encode(text);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(bytes.constData()), 62, block.data());
}

} // namespace

Result<QByteArray> ReadBinaryFile(const QString& path)
{
    const Failure unreadable = Fail(QStringLiteral("Unable to read source file."));
    if (path.trimmed().isEmpty()) {
        return unreadable;
    }
    QFile f(path);
    if (!f.exists() || f.size() <= 0 || !f.open(QIODevice::ReadOnly)) {
        return unreadable;
    }
    const qint64 size = f.size();
    QByteArray bytes(size, Qt::Uninitialized);
    if (f.read(bytes.data(), size) != size) {
        return unreadable;
    }
    return bytes;
}

QString Get7PlusTimestamp(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        return {};
    }
    const QDateTime t = info.lastModified();
    if (!t.isValid()) {
        return {};
    }
    const QDate d = t.date();
    const QTime h = t.time();
    if (d.year() < 1980 || d.year() > 2107) {
        return {};
    }
    const int date = (d.year() - 1980) * 512 + d.month() * 32 + d.day();
    const int time = h.hour() * 2048 + h.minute() * 32 + h.second() / 2;
    return QStringLiteral("%1%2").arg(date, 4, 16, QLatin1Char('0')).arg(time, 4, 16, QLatin1Char('0')).toUpper();
}

QString Make7PlusShortName(const QString& fileName)
{
    // The receiver splits the header at spaces and refuses names that could
    // leave its output folder, so such characters travel as "_".
    return replaceBadChars(shortNameAsGiven(fileName));
}

bool Build7PlusHeader(int size, int partNumber, int totalParts, int blockLines, Block& block,
                      const QString& fileName)
{
    if (size < 1 || partNumber < 1 || partNumber > totalParts || totalParts > kMaxParts || blockLines < 1
        || blockLines > kBlockLines) {
        return false;
    }
    const QString shortName = Make7PlusShortName(fileName);
    if (shortName.isEmpty()) {
        return false;
    }
    qint64 lines = blockLines;
    if (partNumber == totalParts) {
        const qint64 r = qint64(size) - qint64(totalParts - 1) * blockLines * kLineBytes;
        if (r <= 0) {
            return false;
        }
        lines = (r + kLineBytes - 1) / kLineBytes;
    }
    const QString text = QStringLiteral(" go_7+. %1 of %2 %3 %4 %5 %6 (7PLUS v2.2) ")
                             .arg(partNumber, 3, 10, QLatin1Char('0'))
                             .arg(totalParts, 3, 10, QLatin1Char('0'))
                             .arg(shortName.leftJustified(12, QLatin1Char(' ')))
                             .arg(size, 7, 10, QLatin1Char('0'))
                             .arg(QString::number(lines * kCodeChars, 16).toUpper().rightJustified(4, QLatin1Char('0')))
                             .arg(QString::number(blockLines, 16).toUpper().rightJustified(3, QLatin1Char('0')));
    if (text.size() != 62) {
        return false;
    }
    fillText(block, text);
    return Seal7PlusBlock(block);
}

bool Build7PlusFooter(const QString& baseName, int partNumber, int totalParts, Block& block, const QString& stamp)
{
    if (partNumber < 1 || totalParts < 1 || partNumber > totalParts || totalParts > kMaxParts) {
        return false;
    }
    QString name = baseName.trimmed().toUpper();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        name.truncate(dot);
    }
    name = name.left(8);
    if (name.isEmpty()) {
        return false;
    }
    const QString st = stamp.trimmed().toUpper();
    if (st.isEmpty() || st.size() > 8) {
        return false;
    }
    for (QChar c : st) {
        if (!QStringView(u"0123456789ABCDEF").contains(c)) {
            return false;
        }
    }
    QString text = totalParts < 2
                       ? QStringLiteral(" stop_7+. (%1.7PL) [%2]").arg(name, st)
                       : QStringLiteral(" stop_7+. (%1.P%2/%3) [%4]").arg(name, Hex2(partNumber), Hex2(totalParts), st);
    if (text.size() > 62) {
        return false;
    }
    fillText(block, text.leftJustified(62, QLatin1Char(' ')));
    return Seal7PlusBlock(block);
}

namespace {

// What the encoder knows about a source before it writes anything.
struct Source {
    qint64 size = 0;
    qint64 total = 0;
    QString stamp;
    QString folder;
    QString fileName;
    QString base;
};

// The checks made before anything is written, shared by the encoder and the
// size estimate so that both refuse with the same words. The source is left
// open in file.
Result<Source> prepareSource(const QString& sourcePath, QFile& source)
{
    const QFileInfo info(sourcePath);
    source.setFileName(sourcePath);
    if (sourcePath.trimmed().isEmpty() || !info.exists() || info.size() <= 0
        || !source.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return Fail(QStringLiteral("Unable to read source file."));
    }
    Source src;
    src.size = info.size();
    src.stamp = Get7PlusTimestamp(sourcePath);
    if (src.stamp.isEmpty()) {
        return Fail(QStringLiteral("Unable to read source file timestamp."));
    }
    if (src.size < 1) {
        return Fail(QStringLiteral("Source file is empty."));
    }
    src.total = (src.size + kPartBytes - 1) / kPartBytes;
    if (src.total > kMaxParts) {
        return Fail(QStringLiteral("File requires more than 255 parts."));
    }
    const qsizetype slash = sourcePath.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return Fail(QStringLiteral("Please select a file using its full path."));
    }
    src.folder = sourcePath.left(slash + 1);
    src.fileName = sourcePath.mid(slash + 1);
    const qsizetype dot = src.fileName.lastIndexOf(QLatin1Char('.'));
    src.base = replaceBadChars(upperCut(dot >= 0 ? src.fileName.left(dot) : src.fileName, 8));
    // A name the receiver would refuse, or one that would arrive with "?"
    // in place of a character, is refused here, before anything is written.
    if (const QString lost = ReceivedName::FirstCharacterOutsideCodePage(shortNameAsGiven(src.fileName));
        !lost.isEmpty()) {
        return Fail(QStringLiteral("7PLUS cannot send the file name \"%1\": it holds the character %2, which the "
                                   "code page cannot carry.")
                        .arg(src.fileName, lost));
    }
    if (const QString shortName = Make7PlusShortName(src.fileName); !shortName.isEmpty()) {
        if (const QString why = ReceivedName::SendProblem(shortName); !why.isEmpty()) {
            return Fail(QStringLiteral("7PLUS cannot send the file name \"%1\": %2.").arg(shortName, why));
        }
    }
    return src;
}

// Data lines of part p (1-based) of a file of the given size.
int linesOfPart(qint64 size, int p)
{
    const qint64 offset = qint64(p - 1) * kPartBytes;
    return int(std::min<qint64>(kBlockLines, (size - offset + kLineBytes - 1) / kLineBytes));
}

// A set about to be written: its source, its folder and the parts of the same
// name already there.
struct SetPlan {
    Source src;
    QString outFolder;
    QStringList existing;
};

Result<SetPlan> planSet(const QString& sourcePath, QFile& source)
{
    Result<Source> src = prepareSource(sourcePath, source);
    if (!src.ok()) {
        return src.failure();
    }
    SetPlan plan{std::move(src.value()), {}, {}};
    plan.outFolder = ensureSubFolder(plan.src.folder, QStringLiteral("7PLUS_OUTPUT"));
    // Every possible part of this name counts, so an older and longer set
    // cannot leave stray parts that would mix with the new one.
    const QStringList present = filesIn(plan.outFolder);
    for (int n = 1; n <= kMaxParts; ++n) {
        const QString hit = matchNoCase(present, plan.src.base + QStringLiteral(".P") + Hex2(n));
        if (!hit.isEmpty()) {
            plan.existing << plan.outFolder + QLatin1Char('/') + hit;
        }
    }
    return plan;
}

// Asks before an existing set of the same name is replaced. Nothing is
// removed here: the new set is written beside the old one first.
Result<> confirmReplace(const SetPlan& plan, const Host& host)
{
    if (plan.existing.isEmpty()) {
        return {};
    }
    const QString text = QString::number(plan.existing.size()) + QStringLiteral(" existing 7PLUS part(s) were found.")
                         + kCrLf + kCrLf + QStringLiteral("File: ") + plan.src.base + kCrLf
                         + QStringLiteral("Folder: ") + plan.outFolder + kCrLf + kCrLf
                         + QStringLiteral("Do you want to replace these parts?");
    const bool yes = host.askYesNo && host.askYesNo(QStringLiteral("Replace Existing 7PLUS Files"), text);
    if (!yes) {
        return Fail(QStringLiteral("7PLUS encoding cancelled. Existing files preserved."));
    }
    return {};
}

// Removes the parts of the old set that the new one did not replace (a longer
// old set, or another spelling of the name), once the new set is in place.
void removeLeftovers(const SetPlan& plan, const QStringList& newParts)
{
    for (const QString& path : plan.existing) {
        if (!newParts.contains(path)) {
            QFile f(path);
            if (!f.remove()) {
                throwFileError(f);
            }
        }
    }
}

// Builds each part of a set in memory from the open source and writes it in
// one go; the buffers are kept from part to part.
class PartWriter {
public:
    // Each part goes to a hidden work file of its own; staged holds them
    // until the whole set is written.
    PartWriter(const QString& sourcePath, QFile& source, const SetPlan& plan,
               std::vector<std::unique_ptr<AtomicFile>>& staged)
        : m_sourcePath(sourcePath)
        , m_source(source)
        , m_plan(plan)
        , m_staged(staged)
        , m_input(kPartBytes, Qt::Uninitialized)
    {
    }

    // Writes part p (1-based) to its work file; the value is its final path.
    Result<QString> write(int p)
    {
        const Source& src = m_plan.src;
        const int total = int(src.total);
        const int n = linesOfPart(src.size, p);
        if (!Build7PlusHeader(int(src.size), p, total, kBlockLines, m_header, src.fileName)) {
            return Fail(QStringLiteral("Header failed at part %1").arg(p));
        }
        if (!Verify7PlusHeader(m_header)) {
            return Fail(QStringLiteral("Header CRC failed at part %1").arg(p));
        }
        if (!Build7PlusFooter(src.base, p, total, m_footer, src.stamp)) {
            return Fail(QStringLiteral("Footer failed at part %1").arg(p));
        }
        // This part's bytes; a source that shrank meanwhile cannot give them.
        const qint64 want = std::min<qint64>(kPartBytes, src.size - qint64(p - 1) * kPartBytes);
        if (m_source.read(m_input.data(), want) != want) {
            throwError(57, QStringLiteral("Unable to read %1: it changed while it was encoded").arg(m_sourcePath));
        }
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(m_input.constData()),
                                                  size_t(want));
        m_part.resize(0);
        m_part.reserve(qsizetype(n + 2) * kStoredLine);
        appendStored(m_part, m_header);
        for (int k = 0; k < n; ++k) {
            if (!Pack7PlusLine(bytes, qint64(k) * kLineBytes, m_values)) {
                return Fail(QStringLiteral("Packing failed at part %1, line %2").arg(p).arg(k));
            }
            if (!Encode7PlusValues(m_values, m_chars)) {
                return Fail(QStringLiteral("Encoding failed at part %1, line %2").arg(p).arg(k));
            }
            if (!Protect7PlusLine(m_chars, k, m_line)) {
                return Fail(QStringLiteral("CRC failed at part %1, line %2").arg(p).arg(k));
            }
            appendStored(m_part, m_line);
        }
        appendStored(m_part, m_footer);
        const QString partPath = m_plan.outFolder + QLatin1Char('/') + src.base + QStringLiteral(".P") + Hex2(p);
        // No sync to disk per part: a set of 255 parts would otherwise wait on
        // the disk 255 times.
        auto out = std::make_unique<AtomicFile>(partPath, AtomicFile::Mode::Replace);
        out->setSync(false);
        out->setExpectedSize(m_part.size());
        if (!out->open() || !out->write(m_part)) {
            throwWriteError(*out);
        }
        m_staged.push_back(std::move(out));
        return partPath;
    }

private:
    const QString& m_sourcePath;
    QFile& m_source;
    const SetPlan& m_plan;
    std::vector<std::unique_ptr<AtomicFile>>& m_staged;
    QByteArray m_input;
    QByteArray m_part;
    Block m_header{};
    Block m_footer{};
    Values m_values{};
    Chars m_chars{};
    Block m_line{};
};

} // namespace

Result<SetSize> Plan7PlusSet(const QString& sourcePath)
{
    QFile source;
    const Result<Source> src = prepareSource(sourcePath, source);
    if (!src.ok()) {
        return src.failure();
    }
    SetSize set;
    set.parts = int(src->total);
    for (int p = 1; p <= set.parts; ++p) {
        // Header, data lines and footer, each a stored line.
        set.bytes += qint64(linesOfPart(src->size, p) + 2) * kStoredLine;
    }
    return set;
}

Result<QString> Encode7PlusFile(const QString& sourcePath, const Host& host, QStringList* parts)
{
    return reportingCodecErrors(QStringLiteral("7PLUS ERROR"), [&]() -> Result<QString> {
        // The source is read one part at a time, so memory stays the same
        // whatever its size; it is only opened here, with the checks of a
        // whole-file read.
        QFile source;
        const Result<SetPlan> plan = planSet(sourcePath, source);
        if (!plan.ok()) {
            return plan.failure();
        }
        if (const Result<> replaced = confirmReplace(plan.value(), host); !replaced.ok()) {
            return replaced.failure();
        }
        const qint64 total = plan->src.total;
        // The new set is written beside the old one under work names and
        // takes the parts' names only when every part is whole: a kill or a
        // full disk on the way leaves the old set as it was (an uncommitted
        // work file is removed when its writer goes).
        std::vector<std::unique_ptr<AtomicFile>> staged;
        PartWriter writer(sourcePath, source, plan.value(), staged);
        QStringList newParts;
        for (int p = 1; p <= total; ++p) {
            const Result<QString> part = writer.write(p);
            if (!part.ok()) {
                return part.failure();
            }
            newParts << part.value();
            if (host.progress) {
                host.progress(int(qint64(p) * 100 / total));
            }
        }
        PartsOfThisRun written;
        for (const std::unique_ptr<AtomicFile>& part : staged) {
            if (!part->commit()) {
                throwWriteError(*part);
            }
            written.add(part->finalPath());
        }
        // The new set is whole: an old part that cannot be removed is reported,
        // and the new set stays.
        written.keep();
        removeLeftovers(plan.value(), newParts);
        if (parts) {
            *parts = newParts;
        }
        return QStringLiteral("7PLUS MULTIPART ENCODING COMPLETE") + kCrLf + QString(32, QLatin1Char('-')) + kCrLf
               + QStringLiteral("Original size: ") + QString::number(plan->src.size) + kCrLf
               + QStringLiteral("Total parts: ") + QString::number(total) + kCrLf
               + QStringLiteral("Output folder: ") + plan->outFolder;
    });
}

} // namespace tolvan::Mod7plus
