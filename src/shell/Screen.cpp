#include "shell/Screen.h"

#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"

#include <QCloseEvent>

namespace tolvan {

Screen::Screen(ScreenRegistry& registry, const QString& name)
    : QWidget(nullptr)
    , m_registry(registry)
    , m_name(name)
{
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose, false);
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
    if (Dialogs* d = ctx().dialogs) {
        d->information(QStringLiteral("The screen \"%1\" is not available yet in this version.").arg(name));
    }
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

} // namespace tolvan
