#include "shell/ScreenRegistry.h"

#include <QTimer>

namespace tolvan {

ScreenRegistry::ScreenRegistry(AppContext& context)
    : m_context(context)
{
}

ScreenRegistry::~ScreenRegistry()
{
    for (const QPointer<Screen>& s : std::as_const(m_loaded)) {
        delete s.data();
    }
}

void ScreenRegistry::add(const QString& name, Factory factory)
{
    m_factories.insert(name, std::move(factory));
}

Screen* ScreenRegistry::Load(const QString& name)
{
    if (Screen* s = m_loaded.value(name)) {
        return s;
    }
    auto it = m_factories.constFind(name);
    if (it == m_factories.constEnd()) {
        return nullptr;
    }
    Screen* screen = (*it)(*this);
    // Registered before the load step runs, so the screen counts as loaded
    // while its own load step refers to it.
    m_loaded.insert(name, screen);
    screen->Form_Load();
    return m_loaded.value(name);
}

Screen* ScreenRegistry::Show(const QString& name)
{
    Screen* s = Load(name);
    if (s) {
        s->show();
        s->raise();
        s->activateWindow();
    }
    return s;
}

void ScreenRegistry::Hide(const QString& name)
{
    if (Screen* s = m_loaded.value(name)) {
        s->hide();
    }
}

void ScreenRegistry::Unload(const QString& name)
{
    QPointer<Screen> s = m_loaded.take(name);
    if (!s) {
        return;
    }
    s->Form_Unload();
    destroy(s);
}

void ScreenRegistry::destroy(Screen* screen)
{
    if (!screen) {
        return;
    }
    // The screen may be unloading itself from inside one of its handlers, so it
    // is deleted once control returns to the event loop; its timers stop now.
    screen->hide();
    for (QTimer* t : screen->findChildren<QTimer*>()) {
        t->stop();
    }
    screen->deleteLater();
}

bool ScreenRegistry::setControlVisible(const QString& screen, const QString& control, bool visible)
{
    Screen* s = Load(screen);
    if (!s) {
        return false;
    }
    QWidget* w = s->control(control);
    if (!w) {
        return false;
    }
    w->setVisible(visible);
    return true;
}

void ScreenRegistry::End()
{
    const auto screens = m_loaded.values();
    m_loaded.clear();
    for (const QPointer<Screen>& s : screens) {
        destroy(s);
    }
    if (m_quitHook) {
        m_quitHook();
    }
}

} // namespace tolvan
