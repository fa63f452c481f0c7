#include "shell/PickList.h"

#include <QKeyEvent>

namespace tolvan {

namespace {

bool isPickKey(int key)
{
    return key == Qt::Key_Space || key == Qt::Key_Select || key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

PickList::PickList(QWidget* parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The press selects the entry (see selectionCommand), so the pick and the
    // shown selection are always the same entry.
    connect(this, &QListWidget::itemPressed, this, [this] {
        if (pickedItem()) {
            emit picked();
        }
    });
}

QListWidgetItem* PickList::pickedItem() const
{
    const QList<QListWidgetItem*> chosen = selectedItems();
    return chosen.isEmpty() ? nullptr : chosen.first();
}

QString PickList::pickedText() const
{
    const QListWidgetItem* item = pickedItem();
    return item ? item->text() : QString();
}

void PickList::keyboardSearch(const QString& search)
{
    // Typing a name moves the highlight only, like the arrow keys.
    m_searching = true;
    QListWidget::keyboardSearch(search);
    m_searching = false;
}

QItemSelectionModel::SelectionFlags PickList::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    if (m_searching) {
        return QItemSelectionModel::NoUpdate;
    }
    if (event) {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (!isPickKey(static_cast<const QKeyEvent*>(event)->key())) {
                return QItemSelectionModel::NoUpdate;
            }
            return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
        case QEvent::MouseMove:
            // Dragging over the list does not carry the pick along.
            return QItemSelectionModel::NoUpdate;
        default:
            break;
        }
    }
    return QListWidget::selectionCommand(index, event);
}

void PickList::keyPressEvent(QKeyEvent* event)
{
    if (!isPickKey(event->key()) || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QListWidget::keyPressEvent(event);
        return;
    }
    // Space or Enter picks the highlighted entry; the key goes no further.
    event->accept();
    const QModelIndex current = currentIndex();
    if (!current.isValid()) {
        return;
    }
    selectionModel()->select(current, selectionCommand(current, event));
    emit picked();
}

} // namespace tolvan
