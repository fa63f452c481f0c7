#include "platform/X11Desktop.h"

#include "platform/PulseMute.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <memory>
#include <optional>
#include <vector>

namespace tolvan {

namespace {

// The longest wait for the sound server, connection and both requests together.
constexpr int kMuteTimeoutMs = 2000;

// EWMH source indication: the request comes from a pager-like tool acting for the operator.
constexpr long kSourcePager = 2;

constexpr long kStateRemove = 0;
constexpr long kStateAdd = 1;

// Pause after each synthetic key event (see fakeKey).
constexpr unsigned long kKeyPaceMs = 30;

// Xlib's default error handler ends the program. A window can vanish between
// listing and reading it, so while a call runs, errors are counted instead.
int g_xErrors = 0;

int countXError(Display*, XErrorEvent*)
{
    ++g_xErrors;
    return 0;
}

// One display connection per call, so nothing stays open between the
// operator's clicks and a restarted X server is simply found again.
class XConnection {
public:
    XConnection()
        : m_display(XOpenDisplay(nullptr))
    {
        if (m_display) {
            m_previousHandler = XSetErrorHandler(&countXError);
            g_xErrors = 0;
        }
    }
    ~XConnection()
    {
        if (m_display) {
            XSync(m_display, False);
            XSetErrorHandler(m_previousHandler);
            XCloseDisplay(m_display);
        }
    }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    explicit operator bool() const { return m_display != nullptr; }
    Display* display() const { return m_display; }
    Window root() const { return DefaultRootWindow(m_display); }
    Atom atom(const char* name) const { return XInternAtom(m_display, name, False); }

    // Forgets errors of the search (a window that vanished meanwhile) before acting.
    void resetErrors() const
    {
        XSync(m_display, False);
        g_xErrors = 0;
    }

    // Whether every request since the last reset was carried out.
    bool succeeded() const
    {
        XSync(m_display, False);
        return g_xErrors == 0;
    }

    std::vector<Window> windowList(Window window, Atom property) const
    {
        std::vector<Window> out;
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, window, property, 0, 1 << 16, False, XA_WINDOW, &type, &format, &count,
                               &after, &data) == Success &&
            data && type == XA_WINDOW && format == 32) {
            // Format-32 data arrives as longs, whatever their size.
            const auto* ids = reinterpret_cast<const unsigned long*>(data);
            out.assign(ids, ids + count);
        }
        if (data) {
            XFree(data);
        }
        return out;
    }

    // The window manager's check window, when one runs that speaks EWMH.
    bool hasEwmhManager() const
    {
        const Atom check = atom("_NET_SUPPORTING_WM_CHECK");
        const std::vector<Window> fromRoot = windowList(root(), check);
        if (fromRoot.empty()) {
            return false;
        }
        // A manager that died leaves the root property behind; its own window
        // must point at itself.
        const std::vector<Window> fromChild = windowList(fromRoot.front(), check);
        return !fromChild.empty() && fromChild.front() == fromRoot.front();
    }

    std::optional<QString> netWmName(Window window) const
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        std::optional<QString> name;
        if (XGetWindowProperty(m_display, window, atom("_NET_WM_NAME"), 0, 1 << 16, False, atom("UTF8_STRING"), &type,
                               &format, &count, &after, &data) == Success &&
            data && format == 8) {
            name = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(count));
        }
        if (data) {
            XFree(data);
        }
        return name;
    }

    std::optional<QString> wmName(Window window) const
    {
        XTextProperty text{};
        if (!XGetWMName(m_display, window, &text) || !text.value) {
            return std::nullopt;
        }
        QString name;
        if (text.encoding == XA_STRING) {
            name = QString::fromLatin1(reinterpret_cast<const char*>(text.value), qsizetype(text.nitems));
        } else {
            // UTF8_STRING and COMPOUND_TEXT.
            char** list = nullptr;
            int count = 0;
            if (Xutf8TextPropertyToTextList(m_display, &text, &list, &count) >= Success && list && count > 0) {
                name = QString::fromUtf8(list[0]);
            } else {
                name = QString::fromLatin1(reinterpret_cast<const char*>(text.value), qsizetype(text.nitems));
            }
            if (list) {
                XFreeStringList(list);
            }
        }
        XFree(text.value);
        return name;
    }

    bool hasTitle(Window window, const QString& title) const
    {
        return netWmName(window) == title || wmName(window) == title;
    }

    std::optional<Window> findTopLevel(const QString& title) const
    {
        if (hasEwmhManager()) {
            for (Window w : windowList(root(), atom("_NET_CLIENT_LIST"))) {
                if (hasTitle(w, title)) {
                    return w;
                }
            }
        }
        // Windows not (yet) managed, and every window when no EWMH manager
        // runs: the root's children, and one level below for a manager that
        // puts clients into frames without listing them.
        for (Window w : children(root())) {
            if (hasTitle(w, title)) {
                return w;
            }
            for (Window inner : children(w)) {
                if (hasTitle(inner, title)) {
                    return inner;
                }
            }
        }
        return std::nullopt;
    }

    void sendToRoot(Window window, Atom type, long l0, long l1, long l2, long l3 = 0)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = type;
        event.xclient.format = 32;
        event.xclient.data.l[0] = l0;
        event.xclient.data.l[1] = l1;
        event.xclient.data.l[2] = l2;
        event.xclient.data.l[3] = l3;
        XSendEvent(m_display, root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    }

    // Presses or releases a key by its symbol; false when the keyboard has no such key.
    bool fakeKey(KeySym symbol, bool press) const
    {
        const KeyCode code = XKeysymToKeycode(m_display, symbol);
        if (code == 0 || !XTestFakeKeyEvent(m_display, code, press ? True : False, CurrentTime)) {
            return false;
        }
        // Paced like a typist: a window manager grabs the keyboard on the
        // first keys of a binding and must see the later ones arrive after it.
        XSync(m_display, False);
        QThread::msleep(kKeyPaceMs);
        return true;
    }

private:
    std::vector<Window> children(Window parent) const
    {
        Window rootReturn = None;
        Window parentReturn = None;
        Window* list = nullptr;
        unsigned int count = 0;
        std::vector<Window> out;
        if (XQueryTree(m_display, parent, &rootReturn, &parentReturn, &list, &count) && list) {
            out.assign(list, list + count);
        }
        if (list) {
            XFree(list);
        }
        return out;
    }

    Display* m_display;
    XErrorHandler m_previousHandler = nullptr;
};

} // namespace

DesktopResult X11Desktop::findWindow(const QString& exactTitle)
{
    const XConnection x;
    if (!x) {
        return DesktopResult::NotAvailable;
    }
    return x.findTopLevel(exactTitle) ? DesktopResult::Done : DesktopResult::NotFound;
}

DesktopResult X11Desktop::raiseWindow(const QString& exactTitle, WindowShow how)
{
    XConnection x;
    if (!x) {
        return DesktopResult::NotAvailable;
    }
    const std::optional<Window> found = x.findTopLevel(exactTitle);
    if (!found) {
        return DesktopResult::NotFound;
    }
    const Window window = *found;
    Display* d = x.display();
    x.resetErrors();
    if (x.hasEwmhManager()) {
        // Mapping first lets the manager take a withdrawn window before the
        // state and activation requests reach it; activation also restores a
        // minimised window.
        XMapRaised(d, window);
        x.sendToRoot(window, x.atom("_NET_WM_STATE"), how == WindowShow::Maximized ? kStateAdd : kStateRemove,
                     long(x.atom("_NET_WM_STATE_MAXIMIZED_VERT")), long(x.atom("_NET_WM_STATE_MAXIMIZED_HORZ")),
                     kSourcePager);
        x.sendToRoot(window, x.atom("_NET_ACTIVE_WINDOW"), kSourcePager, CurrentTime, 0);
    } else {
        // Without a manager nobody honours EWMH requests: size, stack and focus directly.
        if (how == WindowShow::Maximized) {
            const int screen = DefaultScreen(d);
            XMoveResizeWindow(d, window, 0, 0, unsigned(DisplayWidth(d, screen)), unsigned(DisplayHeight(d, screen)));
        }
        XMapRaised(d, window);
        XSync(d, False);
        XSetInputFocus(d, window, RevertToParent, CurrentTime);
    }
    return x.succeeded() ? DesktopResult::Done : DesktopResult::Failed;
}

DesktopResult X11Desktop::pressKey(DesktopKey key)
{
    const XConnection x;
    if (!x) {
        return DesktopResult::NotAvailable;
    }
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(x.display(), &eventBase, &errorBase, &major, &minor)) {
        return DesktopResult::NotAvailable;
    }
    x.resetErrors();
    bool sent = false;
    switch (key) {
    case DesktopKey::Super:
        // Only a desktop (a window manager with its panel) does anything with
        // a bare Super press; on a bare X server it would land in whatever
        // window has the focus.
        if (!x.hasEwmhManager()) {
            return DesktopResult::NotAvailable;
        }
        sent = x.fakeKey(XK_Super_L, true) && x.fakeKey(XK_Super_L, false);
        break;
    case DesktopKey::AltTab:
        // Alt is let go at the end: a synthetic Alt left down stays down for
        // every later key until something releases it.
        sent = x.fakeKey(XK_Alt_L, true) && x.fakeKey(XK_Tab, true) && x.fakeKey(XK_Tab, false);
        sent = x.fakeKey(XK_Alt_L, false) && sent;
        break;
    }
    return sent && x.succeeded() ? DesktopResult::Done : DesktopResult::Failed;
}

DesktopResult X11Desktop::setMute(bool muted)
{
    return setDefaultOutputMute(muted, kMuteTimeoutMs);
}

DesktopResult X11Desktop::openFileManager(const QString& folder, LaterFailure whenFailed)
{
    if (!XConnection()) {
        return DesktopResult::NotAvailable;
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        return DesktopResult::NotAvailable;
    }
    const QString target = folder.isEmpty() ? QDir::homePath() : folder;
    if (!QCoreApplication::instance()) {
        return QProcess::startDetached(opener, {target}, target) ? DesktopResult::Done : DesktopResult::Failed;
    }
    // xdg-open starts at once and finds out only then whether the desktop has
    // a file manager for the folder; its exit status says so. It may also run
    // as long as the file manager it started, so it is watched, not awaited.
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(opener);
    process->setArguments({target});
    process->setWorkingDirectory(target);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    auto lastWords = std::make_shared<QByteArray>();
    QObject::connect(process, &QProcess::readyReadStandardError, process, [process, lastWords] {
        *lastWords += process->readAllStandardError();
        *lastWords = lastWords->right(400); // a chatty file manager cannot fill memory
    });
    QObject::connect(process, &QProcess::finished, process,
                     [process, lastWords, whenFailed](int code, QProcess::ExitStatus status) {
                         *lastWords += process->readAllStandardError();
                         process->deleteLater();
                         // At the program's end the opener is stopped, not failed.
                         if ((status == QProcess::NormalExit && code == 0) || QCoreApplication::closingDown()) {
                             return;
                         }
                         QString why = status == QProcess::NormalExit
                                           ? QStringLiteral("xdg-open ended with exit status %1").arg(code)
                                           : QStringLiteral("xdg-open stopped unexpectedly");
                         const QString words = QString::fromLocal8Bit(lastWords->trimmed());
                         if (!words.isEmpty()) {
                             why += QStringLiteral(" (") + words.section(u'\n', -1).trimmed() + u')';
                         }
                         if (whenFailed) {
                             whenFailed(why);
                         }
                     });
    process->start();
    if (!process->waitForStarted(2000)) {
        delete process;
        return DesktopResult::Failed;
    }
    return DesktopResult::Done;
}

} // namespace tolvan
