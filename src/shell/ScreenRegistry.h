#pragma once

#include "shell/Screen.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <functional>

namespace tolvan {

struct AppContext;

// Loads, shows, hides and unloads screens by name. A screen that is referred to
// while not loaded is loaded hidden and its load step runs; unloading destroys
// it, timers included, and the next load starts afresh.
class ScreenRegistry : public QObject {
    Q_OBJECT
public:
    using Factory = std::function<Screen*(ScreenRegistry&)>;

    explicit ScreenRegistry(AppContext& context);
    ~ScreenRegistry() override;

    AppContext& context() const { return m_context; }

    void add(const QString& name, Factory factory);
    // Whether a screen of this name is built into the program.
    bool isAvailable(const QString& name) const { return m_factories.contains(name); }

    // The loaded screen, loading it hidden first when needed. Null when no
    // screen of that name is built.
    Screen* Load(const QString& name);
    Screen* Show(const QString& name);
    void Hide(const QString& name);
    void Unload(const QString& name);
    // Case-sensitive, like every screen name comparison.
    bool IsFormLoaded(const QString& name) const { return m_loaded.contains(name); }
    Screen* loaded(const QString& name) const { return m_loaded.value(name); }
    QStringList loadedNames() const { return m_loaded.keys(); }
    // Every screen built into the program.
    QStringList names() const { return m_factories.keys(); }

    template <class T>
    T* form(const QString& name)
    {
        return qobject_cast<T*>(Load(name));
    }

    // Sets a control of a screen visible or hidden, loading the screen hidden
    // when needed. False when the screen or the control does not exist.
    bool setControlVisible(const QString& screen, const QString& control, bool visible);

    // Ends the program: closes every screen without running any handler and
    // calls the quit hook.
    void End();
    void setQuitHook(std::function<void()> hook) { m_quitHook = std::move(hook); }

private:
    void destroy(Screen* screen);

    AppContext& m_context;
    QHash<QString, Factory> m_factories;
    QHash<QString, QPointer<Screen>> m_loaded;
    std::function<void()> m_quitHook;
};

} // namespace tolvan
