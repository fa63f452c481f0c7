#include "shell/Screen.h"

#include "shell/AppContext.h"
#include "shell/Palette.h"
#include "shell/ScreenRegistry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QMouseEvent>
#include <QScreen>

namespace tolvan {

Screen::Screen(ScreenRegistry& registry, const QString& name)
    : QWidget(nullptr)
    , m_registry(registry)
    , m_name(name)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The style's disabled grey is barely readable; every control inherits this.
    Palette::makeDisabledTextReadable(this);
}

AppContext& Screen::ctx() const
{
    return m_registry.context();
}

void Screen::makeHeading(QWidget* caption, int extraPoints)
{
    QFont f = caption->font();
    f.setPointSize(f.pointSize() + extraPoints);
    f.setBold(true);
    caption->setFont(f);
}

bool Screen::screenAvailable(const QString& name) const
{
    if (m_registry.isAvailable(name)) {
        return true;
    }
    ctx().dialogs->information(QStringLiteral("The screen \"%1\" is not available yet in this version.").arg(name));
    return false;
}

void Screen::removeTitleBar()
{
    setWindowFlag(Qt::FramelessWindowHint, true);
}

void Screen::closeEvent(QCloseEvent* event)
{
    // Screens are left through their own buttons; a window-manager close would
    // otherwise strand the operator with no visible screen.
    event->ignore();
}

QPoint Screen::centredOn(const QRect& area, const QSize& size)
{
    // A window larger than the area keeps its top-left corner on it.
    const int x = area.left() + std::max(0, (area.width() - size.width()) / 2);
    const int y = area.top() + std::max(0, (area.height() - size.height()) / 2);
    return {x, y};
}

void Screen::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_placed || event->spontaneous()) {
        return;
    }
    m_placed = true;
    // The monitor of the window the operator was just using, else the one
    // under the pointer, else the primary one.
    QScreen* target = nullptr;
    if (QWidget* active = QApplication::activeWindow(); active && active != this && active->isVisible()) {
        target = active->screen();
    }
    if (!target) {
        target = QGuiApplication::screenAt(QCursor::pos());
    }
    if (!target) {
        target = QGuiApplication::primaryScreen();
    }
    if (target) {
        // A window made for a wide monitor shrinks to a small one, as far as its layout allows.
        const QRect area = target->availableGeometry();
        const QSize frame = frameGeometry().size() - size();
        const QSize room = area.size() - frame;
        if (width() > room.width() || height() > room.height()) {
            resize(size().boundedTo(room).expandedTo(minimumSizeHint()));
        }
        move(centredOn(area, frameGeometry().size()));
    }
}

void Screen::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !windowFlags().testFlag(Qt::FramelessWindowHint)) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The screen follows the pointer itself, and only while the button is
    // held. Handing the move to the window manager on a press lets a quick
    // click leave the manager's move running until the next click.
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
}

void Screen::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    // A release the screen never saw (it went to a box, or another window)
    // ends the drag at the first move that comes without the button.
    if (!(event->buttons() & Qt::LeftButton)) {
        m_dragging = false;
        QWidget::mouseMoveEvent(event);
        return;
    }
    move(event->globalPosition().toPoint() - m_dragOffset);
    event->accept();
}

void Screen::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragging && event->button() == Qt::LeftButton) {
        m_dragging = false;
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

} // namespace tolvan
