#include "config/StationFolder.h"

#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tolvan::StationFolder {

const QStringList& PrefixRuleNames()
{
    static const QStringList names = {
        QStringLiteral("receive.dat"),       QStringLiteral("send.dat"),
        QStringLiteral("save.dat"),          QStringLiteral("received.dat"),
        QStringLiteral("packet.dat"),        QStringLiteral("winlink.dat"),
        QStringLiteral("splitter.dat"),      QStringLiteral("soundmodempacket.dat"),
        QStringLiteral("direwolfpacket.dat"), QStringLiteral("VARA.dat"),
        QStringLiteral("nprmodem.dat"),      QStringLiteral("TLVTerminal.dat"),
        QStringLiteral("buttonstate.dat"),   QStringLiteral("buttonstates.dat"),
        QStringLiteral("buttonstatess.dat"), QStringLiteral("buttonstatesss.dat"),
        QStringLiteral("buttonstatessss.dat"), QStringLiteral("thestate.dat"),
        QStringLiteral("varastate.dat"),     QStringLiteral("TLVstate.dat"),
        QStringLiteral("buttonstater.dat"),
    };
    return names;
}

bool IsSystemFolder(const QString& folder)
{
    QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (!path.endsWith(u'/')) {
        path += u'/';
    }
    static const QStringList systemRoots = {QStringLiteral("/usr/"), QStringLiteral("/bin/"),
                                            QStringLiteral("/sbin/"), QStringLiteral("/lib/"),
                                            QStringLiteral("/lib64/"), QStringLiteral("/opt/"),
                                            QStringLiteral("/snap/"), QStringLiteral("/etc/")};
    for (const QString& root : systemRoots) {
        if (path.startsWith(root)) {
            return true;
        }
    }
    return path == u"/";
}

QString DefaultDataFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    // The base directory rules ignore a relative value.
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(base) + QStringLiteral("/tolvan-pm");
}

QString WithSeparator(const QString& folder)
{
    QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (!path.endsWith(u'/')) {
        path += u'/';
    }
    return path;
}

QString Choose(const QString& explicitFolder, const QString& executableFolder, const QString& dataHome)
{
    if (!explicitFolder.isEmpty()) {
        return WithSeparator(explicitFolder);
    }
    const QFileInfo exe(executableFolder);
    if (!executableFolder.isEmpty() && exe.isDir() && exe.isWritable() && !IsSystemFolder(executableFolder)) {
        return WithSeparator(executableFolder);
    }
    return WithSeparator(dataHome);
}

QString DisplayName(const QString& stationFolder)
{
    QString path = QDir::cleanPath(stationFolder);
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

namespace {

// An existing file of this name in any letter case; empty when none.
QString findCaseBlind(const QDir& dir, const QString& name)
{
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            return entry;
        }
    }
    return {};
}

} // namespace

Result<QStringList> Prepare(const QString& stationFolder)
{
    const QString folder = QDir::cleanPath(QFileInfo(stationFolder).absoluteFilePath());
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        return Fail(QStringLiteral("The station folder %1 cannot be created.").arg(folder));
    }
    if (!QFileInfo(folder).isWritable()) {
        return Fail(QStringLiteral("The station folder %1 is not writable.").arg(folder));
    }
    QStringList brought;
    const QFileInfo info(folder);
    const QString prefix = info.fileName();
    if (prefix.isEmpty()) {
        return brought; // the root has no place beside it
    }
    const QDir inside(folder);
    const QDir parent = info.dir();
    for (const QString& name : PrefixRuleNames()) {
        const QString old = findCaseBlind(parent, prefix + name);
        if (old.isEmpty() || !findCaseBlind(inside, name).isEmpty()) {
            continue;
        }
        // Only a store file is carried in: a link, FIFO or device of that
        // name beside the folder stays where it is and is never read.
        if (!SafeFile::NonRegularKind(parent.filePath(old)).isEmpty()) {
            continue;
        }
        // The same file system, so the rename is atomic: the value is in one
        // place or the other, never lost. The spelling it had is kept.
        const QString moved = old.mid(prefix.size());
        if (QFile::rename(parent.filePath(old), inside.filePath(moved))) {
            brought << moved;
        }
    }
    return brought;
}

} // namespace tolvan::StationFolder
