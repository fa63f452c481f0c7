#pragma once

#include <QString>
#include <QStringView>

namespace tolvan {

// What /proc tells about one process, as far as its names go.
struct ProcessNames {
    QString exePath; // target of the exe link; empty when it cannot be read (another user's process)
    QString argv0;   // first word of the command line
    QString comm;    // the kernel's short name, cut at 15 bytes
};

// The longest name the kernel keeps in comm, in bytes.
inline constexpr int kCommLength = 15;

// The part of a path after its last "/" or "\": programs run under wine carry a
// Windows path in their command line.
QString fileNameOfPath(QStringView path);

// Whether a process runs the program with this file name, letter case ignored:
// the file name of the exe link, else of argv[0], else comm against the first
// 15 bytes of the name (comm alone may name another program; it is the last resort).
bool processMatches(const ProcessNames& process, const QString& executableName);

} // namespace tolvan
