#pragma once

#include "shell/PickList.h"

#include <QComboBox>
#include <QListWidget>

namespace tolvan {

// The drive, folder and file lists of the directory screen. Each has a path
// property and a change signal; what they list comes from FolderLists. Enter
// is reported through keyDown and otherwise left to the screen's handlers.

// A drop-down of the mount points; picking one reports driveChanged.
class DriveListBox : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(QString drive READ drive WRITE setDrive NOTIFY driveChanged)
public:
    explicit DriveListBox(QWidget* parent = nullptr);

    QString drive() const;
    // Selects the drive that holds the path; reports driveChanged when it differs.
    void setDrive(const QString& path);
    // Selects the drive that holds the path without reporting a change.
    void showDriveOf(const QString& path);
    void setDrives(const QStringList& drives);
    QStringList drives() const;

signals:
    void driveChanged();
    void keyDown(int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_quiet = false;
};

// The folder list: root, the folders above, the open folder and its
// subfolders. Double-click opens the entry; arrows only move the highlight.
class DirListBox : public QListWidget {
    Q_OBJECT
    Q_PROPERTY(QString path READ path WRITE setPath NOTIFY pathChanged)
public:
    explicit DirListBox(QWidget* parent = nullptr);

    const QString& path() const { return m_path; }
    // Opens the folder and re-reads the list; false, leaving everything as
    // it was, when it is not a folder. pathChanged follows a real change.
    bool setPath(const QString& path);
    // Full path of the highlighted entry; the open folder when none is.
    QString highlightedPath() const;
    // Full path of the entry at a row.
    QString entryPath(int row) const;
    int rowOf(const QString& path) const;

signals:
    void pathChanged();
    void keyDown(int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void reread();

    QString m_path;
};

// The file list: the ordinary files of its folder. The selected file's name
// is FileName, empty while none is picked (a click, or Space or Enter on the
// highlighted entry).
class FileListBox : public PickList {
    Q_OBJECT
    Q_PROPERTY(QString path READ path WRITE setPath NOTIFY pathChanged)
    Q_PROPERTY(QString FileName READ FileName WRITE setFileName)
public:
    explicit FileListBox(QWidget* parent = nullptr);

    const QString& path() const { return m_path; }
    // Re-reads the list. Setting the folder it already shows keeps the
    // selection, so a button can refresh the list and still use the choice.
    void setPath(const QString& path);
    QString FileName() const;
    // Selects the named file; an unknown name clears the selection.
    void setFileName(const QString& name);

signals:
    void pathChanged();
    void keyDown(int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString m_path;
};

} // namespace tolvan
