#include "config/FolderListBoxes.h"

#include "config/FolderLists.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QStyle>

namespace tolvan {

namespace {

constexpr int kPathRole = Qt::UserRole;

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

DriveListBox::DriveListBox(QWidget* parent)
    : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(12);
    setDrives(FolderLists::mountedDrives());
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_quiet) {
            emit driveChanged();
        }
    });
}

QString DriveListBox::drive() const
{
    return currentText();
}

void DriveListBox::setDrive(const QString& path)
{
    const int row = findText(FolderLists::driveOf(FolderLists::cleanFolder(path), drives()));
    if (row >= 0 && row != currentIndex()) {
        setCurrentIndex(row);
    }
}

void DriveListBox::showDriveOf(const QString& path)
{
    m_quiet = true;
    setDrive(path);
    m_quiet = false;
}

void DriveListBox::setDrives(const QStringList& drives)
{
    m_quiet = true;
    const QString previous = currentText();
    clear();
    addItems(drives);
    const int row = findText(previous);
    setCurrentIndex(row >= 0 ? row : 0);
    m_quiet = false;
}

QStringList DriveListBox::drives() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i) {
        out << itemText(i);
    }
    return out;
}

void DriveListBox::keyPressEvent(QKeyEvent* event)
{
    emit keyDown(event->key());
    if (isEnter(event->key())) {
        // Enter belongs to the list's own handler, not to a default button.
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

DirListBox::DirListBox(QWidget* parent)
    : QListWidget(parent)
    , m_path(FolderLists::cleanFolder(QDir::currentPath()))
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    reread();
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { setPath(item->data(kPathRole).toString()); });
}

bool DirListBox::setPath(const QString& path)
{
    const QString clean = FolderLists::cleanFolder(path);
    if (clean.isEmpty() || !QFileInfo(clean).isDir()) {
        return false;
    }
    const bool changed = clean != m_path;
    m_path = clean;
    reread();
    if (changed) {
        emit pathChanged();
    }
    return true;
}

void DirListBox::reread()
{
    const QSignalBlocker quiet(this);
    clear();
    const QIcon root = style()->standardIcon(QStyle::SP_DriveHDIcon);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    int current = 0;
    for (const FolderLists::FolderEntry& e : FolderLists::folderTree(m_path)) {
        auto* item = new QListWidgetItem(QString(e.depth * 2, u' ') + e.name, this);
        item->setData(kPathRole, e.path);
        item->setIcon(e.depth == 0 ? root : (e.open ? open : closed));
        item->setToolTip(e.path);
        if (e.path == m_path) {
            current = row(item);
        }
    }
    setCurrentRow(current);
}

QString DirListBox::highlightedPath() const
{
    const int row = currentRow();
    return row >= 0 ? entryPath(row) : m_path;
}

QString DirListBox::entryPath(int row) const
{
    const QListWidgetItem* it = item(row);
    return it ? it->data(kPathRole).toString() : QString();
}

int DirListBox::rowOf(const QString& path) const
{
    for (int i = 0; i < count(); ++i) {
        if (entryPath(i) == path) {
            return i;
        }
    }
    return -1;
}

void DirListBox::keyPressEvent(QKeyEvent* event)
{
    emit keyDown(event->key());
    if (isEnter(event->key())) {
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

FileListBox::FileListBox(QWidget* parent)
    : PickList(parent)
{
    setPath(QDir::currentPath());
}

void FileListBox::setPath(const QString& path)
{
    const QString clean = FolderLists::cleanFolder(path);
    const bool changed = clean != m_path;
    const QString kept = changed ? QString() : FileName();
    m_path = clean;
    {
        const QSignalBlocker quiet(this);
        clear();
        addItems(FolderLists::fileNames(m_path));
        setFileName(kept);
    }
    if (changed) {
        emit pathChanged();
    }
}

QString FileListBox::FileName() const
{
    return pickedText();
}

void FileListBox::setFileName(const QString& name)
{
    const QList<QListWidgetItem*> found =
        name.isEmpty() ? QList<QListWidgetItem*>() : findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found.isEmpty()) {
        clearSelection();
        setCurrentRow(-1);
        return;
    }
    setCurrentItem(found.first());
    found.first()->setSelected(true);
}

void FileListBox::keyPressEvent(QKeyEvent* event)
{
    emit keyDown(event->key());
    PickList::keyPressEvent(event);
}

} // namespace tolvan
