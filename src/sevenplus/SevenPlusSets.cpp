#include "sevenplus/SevenPlusSets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvan::SevenPlusSets {

namespace {

// The text every header starts with; a file that starts so but fails the
// check is a damaged part, whatever its name.
constexpr char kHeaderStart[] = " go_7+. ";

// The names of a folder's entries, except names beginning with "." (hidden
// files, and writers' partial files, which become parts only under their own
// name); which of them are files the caller's stat tells.
QStringList entryNames(const QString& folder)
{
    QStringList names;
    DIR* dir = folder.isEmpty() ? nullptr : ::opendir(QFile::encodeName(folder).constData());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.' && entry->d_type != DT_DIR) {
            names << QFile::decodeName(entry->d_name);
        }
    }
    ::closedir(dir);
    return names;
}

// The first block of a file, read through one non-blocking open (a pipe
// under a part's name cannot hang it); shorter when the file is.
QByteArray firstBlock(const QString& path)
{
    QByteArray block(Mod7plus::kBlockSize, Qt::Uninitialized);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    const ssize_t got = fd < 0 ? -1 : ::pread(fd, block.data(), size_t(block.size()), 0);
    if (fd >= 0) {
        ::close(fd);
    }
    block.resize(got < 0 ? 0 : qsizetype(got));
    return block;
}

QString baseOf(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot < 0 ? fileName : fileName.left(dot);
}

} // namespace

QList<int> Set::missing() const
{
    QList<int> out;
    for (int p = 1; p <= totalParts; ++p) {
        if (!parts.contains(p)) {
            out << p;
        }
    }
    return out;
}

QString Set::text() const
{
    QString line = QStringLiteral("%1 \u2014 %2 of %3 parts").arg(name).arg(parts.size()).arg(totalParts);
    const QList<int> gone = missing();
    if (gone.isEmpty()) {
        return line + QStringLiteral(", complete");
    }
    return line + QStringLiteral(", waiting for ") + JoinNumbers(gone);
}

QString Set::key() const
{
    return QStringLiteral("%1/%2/%3").arg(name).arg(size).arg(totalParts);
}

QString JoinNumbers(const QList<int>& numbers)
{
    QStringList words;
    for (int n : numbers) {
        words << QString::number(n);
    }
    if (words.size() < 2) {
        return words.join(QString());
    }
    const QString last = words.takeLast();
    return words.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

bool LooksLikePartName(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("\\.P[0-9A-F]{2}$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(fileName).hasMatch();
}

QList<Set> Collector::Refresh(const QString& folder, const std::function<bool(const QString&)>& stillArriving)
{
    if (folder != m_folder) {
        m_folder = folder;
        m_primed = false;
        m_cache.clear();
        m_complete.clear();
    }
    // The folder's own time changes whenever a name comes or goes, so a tick
    // in which it did not, and nothing was left waiting, costs one stat
    // however many files the folder holds.
    struct stat st;
    const qint64 folderTime = ::stat(QFile::encodeName(folder).constData(), &st) == 0
                                  ? qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec
                                  : -1;
    const bool full = !m_primed || folderTime != m_folderTime || folder.isEmpty();
    if (!full && m_waitingNames.isEmpty()) {
        return {};
    }
    m_folderTime = folderTime;
    // Only the names left waiting are looked at again while no name came or went.
    QStringList names = m_waitingNames;
    if (full) {
        names = entryNames(folder);
    }
    m_waitingNames.clear();
    QHash<QString, Entry> seen;
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    for (const QString& name : std::as_const(names)) {
        // One stat per file and look; a file is opened only when new or changed.
        const QString path = prefix + name;
        struct stat fileStat;
        if (::stat(QFile::encodeName(path).constData(), &fileStat) != 0 || !S_ISREG(fileStat.st_mode)) {
            m_cache.remove(name);
            continue;
        }
        const qint64 size = qint64(fileStat.st_size);
        const qint64 mtime = qint64(fileStat.st_mtim.tv_sec) * 1000 + fileStat.st_mtim.tv_nsec / 1000000;
        Entry entry;
        const auto cached = m_cache.constFind(name);
        if (cached != m_cache.cend() && cached->size == size && cached->mtime == mtime) {
            entry = *cached;
        } else {
            entry.size = size;
            entry.mtime = mtime;
            ++m_reads;
            const QByteArray block = firstBlock(path);
            if (block.size() == Mod7plus::kBlockSize) {
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(block.constData());
                if (const Result<Mod7plus::Header> header =
                        Mod7plus::Parse7PlusHeader(std::span(bytes, size_t(Mod7plus::kBlockSize)));
                    header.ok()) {
                    entry.header = header.value();
                    entry.kind = Entry::Kind::Part;
                }
            }
            if (entry.kind != Entry::Kind::Part && (LooksLikePartName(name) || block.startsWith(kHeaderStart))) {
                entry.kind = Entry::Kind::Damaged;
            }
            // A part, or what may still become one (shorter than a block), is
            // taken once it is whole, so that a header cut short never counts
            // as damage. A file whose whole first block is no header is no
            // part however it goes on, and needs no question.
            const bool mayBePart = entry.kind != Entry::Kind::Other || size < Mod7plus::kBlockSize;
            if (mayBePart && stillArriving && stillArriving(name)) {
                m_waitingNames << name;
                m_cache.remove(name);
                continue;
            }
        }
        seen.insert(name, entry);
    }
    if (full) {
        m_cache = std::move(seen);
    } else {
        m_cache.insert(seen);
    }

    // The sets, from the cache in name order.
    QStringList known = m_cache.keys();
    known.sort();
    QMap<QString, Set> byKey;
    m_damaged.clear();
    for (const QString& name : std::as_const(known)) {
        const Entry& entry = m_cache[name];
        if (entry.kind == Entry::Kind::Damaged) {
            m_damaged << name;
        } else if (entry.kind == Entry::Kind::Part) {
            const Mod7plus::Header& h = entry.header;
            Set probe{h.name, h.size, h.totalParts, {}};
            Set& set = byKey[probe.key()];
            if (set.totalParts == 0) {
                set = probe;
            }
            // Two files claiming the same part: the first name in order stays.
            if (!set.parts.contains(h.partNumber)) {
                set.parts.insert(h.partNumber, name);
            }
        }
    }
    m_sets = byKey.values();

    QList<Set> completed;
    QSet<QString> completeNow;
    for (const Set& set : std::as_const(m_sets)) {
        if (!set.complete()) {
            continue;
        }
        completeNow.insert(set.key());
        if (m_primed && !m_complete.contains(set.key())) {
            completed << set;
        }
    }
    m_complete = std::move(completeNow);
    m_primed = true;
    return completed;
}

const Set* Collector::SetOf(const QString& fileName) const
{
    for (const Set& set : m_sets) {
        for (const QString& part : set.parts) {
            if (part == fileName) {
                return &set;
            }
        }
    }
    return nullptr;
}

const Set* Collector::SetByKey(const QString& key) const
{
    for (const Set& set : m_sets) {
        if (set.key() == key) {
            return &set;
        }
    }
    return nullptr;
}

QStringList Collector::DamagedOf(const Set& set) const
{
    const QString base = QFileInfo(set.parts.first()).completeBaseName();
    QStringList damaged;
    for (const QString& name : m_damaged) {
        if (QFileInfo(name).completeBaseName().compare(base, Qt::CaseInsensitive) == 0) {
            damaged << name;
        }
    }
    return damaged;
}

QStringList Collector::Lines() const
{
    QStringList lines;
    for (const Set& set : m_sets) {
        lines << set.text();
    }
    for (const QString& name : m_damaged) {
        lines << QStringLiteral("%1 \u2014 damaged 7PLUS part (bad header)").arg(name);
    }
    return lines;
}

Request AskForParts(const Set& set, const QList<int>& parts, const QStringList& damagedFiles)
{
    QList<int> wanted = parts;
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    Request r;
    r.subject = QStringLiteral("7PLUS %1: please send again part%2 %3")
                    .arg(set.name, wanted.size() == 1 ? QString() : QStringLiteral("s"), JoinNumbers(wanted));
    // The parts are named after the sender's file; any part present shows the base.
    const QString base = set.parts.isEmpty() ? baseOf(set.name).toUpper() : baseOf(set.parts.first());
    QStringList lines;
    lines << QStringLiteral("Please send again these 7PLUS parts of %1 (%2 bytes, %3 parts):")
                 .arg(set.name)
                 .arg(set.size)
                 .arg(set.totalParts);
    for (int p : std::as_const(wanted)) {
        lines << base + QStringLiteral(".P") + Mod7plus::Hex2(p);
    }
    if (!damagedFiles.isEmpty()) {
        lines << QString() << QStringLiteral("These arrived damaged: ") + damagedFiles.join(QStringLiteral(", "));
    }
    r.message = lines.join(u'\n');
    return r;
}

} // namespace tolvan::SevenPlusSets
