#include "config/FolderLists.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace tolvan::FolderLists {

namespace {

bool isPseudoFileSystem(const QByteArray& type)
{
    static const QList<QByteArray> skipped = {"tmpfs", "overlay", "squashfs"};
    return skipped.contains(type.toLower());
}

bool lies(const QString& path, const QString& under)
{
    if (under == u"/") {
        return path.startsWith(u'/');
    }
    return path == under || path.startsWith(under + u'/');
}

QStringList sortedNames(const QString& folder, QDir::Filters filters)
{
    QDir dir(folder);
    return dir.entryList(filters | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

} // namespace

QStringList orderDrives(const QList<Volume>& volumes, const QString& home)
{
    QStringList drives{QStringLiteral("/")};
    auto add = [&drives](const QString& path) {
        const QString clean = cleanFolder(path);
        if (!clean.isEmpty() && !drives.contains(clean)) {
            drives << clean;
        }
    };
    if (!home.isEmpty()) {
        add(home);
    }
    for (const Volume& v : volumes) {
        if (v.ready && !isPseudoFileSystem(v.fileSystemType)) {
            add(v.root);
        }
    }
    return drives;
}

QStringList mountedDrives()
{
    QList<Volume> volumes;
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
        volumes.append({s.rootPath(), s.fileSystemType(), s.isValid() && s.isReady()});
    }
    return orderDrives(volumes, QDir::homePath());
}

QString driveOf(const QString& path, const QStringList& drives)
{
    QString best;
    for (const QString& d : drives) {
        if (lies(path, d) && d.size() > best.size()) {
            best = d;
        }
    }
    if (best.isEmpty() && !drives.isEmpty()) {
        return drives.first();
    }
    return best;
}

QString cleanFolder(const QString& path)
{
    if (path.isEmpty()) {
        return {};
    }
    // cleanPath keeps the root's "/" and drops every other trailing one.
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString parentFolder(const QString& path)
{
    const QString clean = cleanFolder(path);
    if (clean.isEmpty() || clean == u"/") {
        return {};
    }
    const qsizetype slash = clean.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : clean.left(slash);
}

bool isReadableFolder(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isDir() || !info.isReadable()) {
        return false;
    }
    // Readable permission bits are not enough for a vanished or hung mount:
    // the folder must really open.
    return QDir(path).isReadable();
}

QList<FolderEntry> folderTree(const QString& folder)
{
    const QString open = cleanFolder(folder);
    QList<FolderEntry> chain;
    for (QString p = open; !p.isEmpty(); p = parentFolder(p)) {
        const QString name = p == u"/" ? p : p.mid(p.lastIndexOf(u'/') + 1);
        chain.prepend({p, name, 0, true});
    }
    for (int i = 0; i < chain.size(); ++i) {
        chain[i].depth = i;
    }
    const int childDepth = static_cast<int>(chain.size());
    for (const QString& name : subfolderNames(open)) {
        chain.append({joinPath(open, name), name, childDepth, false});
    }
    return chain;
}

QStringList subfolderNames(const QString& folder)
{
    const QStringList all = sortedNames(folder, QDir::AllDirs | QDir::Hidden);
    QStringList ordinary;
    QStringList hidden;
    for (const QString& name : all) {
        (name.startsWith(u'.') ? hidden : ordinary) << name;
    }
    return ordinary + hidden;
}

QStringList fileNames(const QString& folder)
{
    return sortedNames(folder, QDir::Files);
}

} // namespace tolvan::FolderLists
