#pragma once

#include <QListWidget>

namespace tolvan {

// A list whose selection is only ever the operator's own pick: a click on an
// entry, or Space or Enter on the entry the arrow keys highlighted. Qt makes a
// row current when a list gets the keyboard focus, and arrows or typed letters
// move that highlight; none of these select anything here, so a button that
// acts on the selection never acts on an entry nobody chose.
class PickList : public QListWidget {
    Q_OBJECT
public:
    explicit PickList(QWidget* parent = nullptr);

    // The picked entry, or null while none is picked.
    QListWidgetItem* pickedItem() const;
    // The picked entry's text; empty while none is picked.
    QString pickedText() const;

    void keyboardSearch(const QString& search) override;

signals:
    // The operator picked an entry (again, when it was picked already).
    void picked();

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_searching = false;
};

} // namespace tolvan
