#pragma once

// Sorts the 7PLUS parts found in a folder into sets, so that the receive
// flow can say which parts of which file are there, which are missing and
// which arrived damaged. Widget free; reads each part's first block once per
// name, size and modification time.

#include "sevenplus/Mod7plus.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace tolvan::SevenPlusSets {

// One set: the parts that carry the same file name, size and part count.
struct Set {
    QString name; // the original file name from the header
    int size = 0;
    int totalParts = 0;
    QMap<int, QString> parts; // part number -> file name in the folder

    bool complete() const { return parts.size() == totalParts; }
    QList<int> missing() const;
    // Part 1's file name, or empty when part 1 is missing.
    QString part1() const { return parts.value(1); }
    // "PHOTO.JPG — 3 of 4 parts, waiting for 3"
    QString text() const;
    // Identifies the set across refreshes.
    QString key() const;
};

// "3", "2 and 5", "2, 3 and 5".
QString JoinNumbers(const QList<int>& numbers);

// Whether the name looks like a part file (extension ".P" and two hexadecimal
// digits, in any letter case).
bool LooksLikePartName(const QString& fileName);

class Collector {
public:
    // Reads the folder again. Files for which stillArriving says true are
    // left out until they are whole. Returns the sets that became complete
    // since the previous refresh of the same folder; the first refresh of a
    // folder returns nothing, since what was there already is not news.
    QList<Set> Refresh(const QString& folder, const std::function<bool(const QString& name)>& stillArriving = {});

    const QList<Set>& sets() const { return m_sets; }
    // Files that look like parts but fail a check: the header's, the
    // length's or a line's.
    const QStringList& damaged() const { return m_damaged; }
    // The set the named file belongs to, if it is a sound part.
    const Set* SetOf(const QString& fileName) const;
    // The set with this key(), if it is still listed.
    const Set* SetByKey(const QString& key) const;
    // The damaged files that carry the set's part base name.
    QStringList DamagedOf(const Set& set) const;
    // One line per set, then one per damaged file.
    QStringList Lines() const;
    // How many first blocks were read since construction (for the tests of the cache).
    int headerReads() const { return m_reads; }

private:
    struct Entry {
        qint64 size = -1;
        qint64 mtime = 0;
        enum class Kind { Other, Part, Damaged } kind = Kind::Other;
        Mod7plus::Header header;
        QString damage; // what is wrong with a damaged part
    };

    QString m_folder;
    bool m_primed = false;
    QStringList m_waitingNames; // files left out as still arriving
    qint64 m_folderTime = -1;   // the folder's modification time at the last full look
    QHash<QString, Entry> m_cache;
    QList<Set> m_sets;
    QStringList m_damaged;
    QStringList m_damageLines; // what is wrong with each, in the same order
    QSet<QString> m_complete;
    int m_reads = 0;
};

// The Subject and Message of a request for the parts of a set that are
// missing or damaged: "7PLUS PHOTO.JPG: please send again part 3".
struct Request {
    QString subject;
    QString message;
};
Request AskForParts(const Set& set, const QList<int>& parts, const QStringList& damagedFiles = {});

} // namespace tolvan::SevenPlusSets
