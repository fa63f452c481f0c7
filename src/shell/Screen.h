#pragma once

#include <QWidget>

namespace tolvan {

class ScreenRegistry;
struct AppContext;

// Base of every screen: a top-level window that the registry loads, shows,
// hides and unloads by name. Controls carry the system's control names as
// object names, so other screens and tests find them by name.
class Screen : public QWidget {
    Q_OBJECT
public:
    Screen(ScreenRegistry& registry, const QString& name);

    const QString& screenName() const { return m_name; }
    ScreenRegistry& registry() const { return m_registry; }
    AppContext& ctx() const;

    template <class T = QWidget>
    T* control(const QString& name) const
    {
        return findChild<T*>(name);
    }

    // Makes a caption a heading: bold, extraPoints larger than the default.
    static void makeHeading(QWidget* caption, int extraPoints);

    // The load step; the registry runs it once, right after the screen is made.
    virtual void Form_Load() {}
    // Runs when the screen is unloaded by the registry (not when the program ends).
    virtual void Form_Unload() {}

protected:
    // Makes a control of this screen under its system name.
    template <class T>
    T* make(const QString& name, const QString& text = {})
    {
        T* w = new T(this);
        w->setObjectName(name);
        if constexpr (requires(T* t) { t->setText(text); }) {
            if (!text.isNull()) {
                w->setText(text);
            }
        }
        return w;
    }

    // False, after telling the operator, when the named screen is not part of
    // the program yet; callers then stay where they are.
    bool screenAvailable(const QString& name) const;

    // A screen without title bar can only be left through its own buttons.
    void removeTitleBar();
    void closeEvent(QCloseEvent* event) override;

    // Every screen opens centred on the monitor the operator works on; a
    // screen without title bar moves when its background is dragged.
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

public:
    // The top-left corner that centres a window of this size on the area.
    static QPoint centredOn(const QRect& area, const QSize& size);

private:
    ScreenRegistry& m_registry;
    QString m_name;
    bool m_placed = false;
    bool m_dragging = false;
    QPoint m_dragOffset; // from the window's corner to the pointer
};

} // namespace tolvan
