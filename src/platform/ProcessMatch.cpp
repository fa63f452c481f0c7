#include "platform/ProcessMatch.h"

#include <algorithm>

namespace tolvan {

namespace {

// The kernel marks the exe link of a program whose file was replaced or removed.
const QString kDeletedSuffix = QStringLiteral(" (deleted)");

bool sameName(const QString& a, const QString& b)
{
    return !a.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString fileNameOfPath(QStringView path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1).toString();
}

bool processMatches(const ProcessNames& process, const QString& executableName)
{
    if (executableName.isEmpty()) {
        return false;
    }
    QString exe = process.exePath;
    if (exe.endsWith(kDeletedSuffix)) {
        exe.chop(kDeletedSuffix.size());
    }
    if (sameName(fileNameOfPath(exe), executableName) || sameName(fileNameOfPath(process.argv0), executableName)) {
        return true;
    }
    // comm holds bytes; cutting the name's bytes the same way keeps a character
    // split at byte 15 comparable on both sides.
    const QString shortName = QString::fromUtf8(executableName.toUtf8().left(kCommLength));
    return sameName(process.comm, shortName);
}

} // namespace tolvan
