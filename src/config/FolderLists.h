#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tolvan::FolderLists {

// What the drive, folder and file lists show, without any widget: the drives
// are the mount points of this machine, the folder list is the chain of
// folders from the root down to the open folder followed by its subfolders,
// and the file list holds the ordinary files of one folder.

struct Volume {
    QString root;
    QByteArray fileSystemType;
    bool ready = true;
};

// Root first, then the home folder, then every other ready volume in the
// order given. Memory-backed and image file systems hold nothing an operator
// would pick, so they are left out.
QStringList orderDrives(const QList<Volume>& volumes, const QString& home);
// The drives of this machine.
QStringList mountedDrives();
// The drive that holds the path: the longest drive path it lies under; the
// first drive when none does.
QString driveOf(const QString& path, const QStringList& drives);

// An absolute, cleaned path without a trailing "/" except at the root.
QString cleanFolder(const QString& path);
// The folder and the name with one "/" between them, not doubled at the root.
QString joinPath(const QString& folder, const QString& name);
// Empty at the root.
QString parentFolder(const QString& path);
// Whether the folder exists and its entries can be listed.
bool isReadableFolder(const QString& path);

struct FolderEntry {
    QString path;      // full path
    QString name;      // what the list shows, "/" for the root
    int depth = 0;     // 0 for the root
    bool open = false; // the root, the folders above the open one, and the open one
};

// The lines of a folder list opened at the folder: the root, each folder
// above, the folder itself, then its subfolders. An unreadable folder simply
// has no subfolder lines.
QList<FolderEntry> folderTree(const QString& folder);
// Subfolder names: ordinary ones first, hidden ones after, each group sorted
// without regard to case, so every folder can be reached.
QStringList subfolderNames(const QString& folder);
// Names of the ordinary (not hidden) files, sorted without regard to case.
QStringList fileNames(const QString& folder);

} // namespace tolvan::FolderLists
