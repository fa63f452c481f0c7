#pragma once

// A private X server with openbox for tests of real windows, and the reads of
// the window manager's view of them. Include after GoogleTest and Qt: Xlib's
// macros (None, Bool) would break their headers.

#include "platform/PlatformTestSupport.h"

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <sys/prctl.h>

#include <algorithm>
#include <csignal>
#include <vector>

namespace tolvan::test {

// Reads a list property of a window (client list, active window, state).
inline std::vector<unsigned long> property(Display* display, Window window, const char* name, Atom type)
{
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> out;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1024, False, type, &actual, &format,
                           &count, &after, &data) == Success &&
        data && format == 32) {
        const auto* values = reinterpret_cast<const unsigned long*>(data);
        out.assign(values, values + count);
    }
    if (data) {
        XFree(data);
    }
    return out;
}

// A private X server with openbox on a free display; everything ends with the test.
class XSession {
public:
    ~XSession()
    {
        // The connection goes first; the processes are then killed with their objects.
        if (m_display) {
            XCloseDisplay(m_display);
        }
    }

    // Empty when ready; otherwise why not.
    QString start()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (xvfb.isEmpty() || openbox.isEmpty()) {
            return QStringLiteral("Xvfb or openbox is not installed");
        }
        for (QProcess* p : {&m_xvfb, &m_wm}) {
            p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
            p->setStandardErrorFile(QProcess::nullDevice());
        }
        m_xvfb.start(xvfb, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        // -displayfd picks a free display and writes its number once clients are accepted.
        const auto numberWritten = [&] {
            return m_xvfb.canReadLine() || (m_xvfb.waitForReadyRead(100) && m_xvfb.canReadLine());
        };
        if (!m_xvfb.waitForStarted(5000) || !waitUntil(numberWritten, 10000)) {
            return QStringLiteral("Xvfb did not start");
        }
        m_name = ":" + m_xvfb.readLine().trimmed();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromUtf8(m_name));
        env.insert("HOME", m_home.path());
        env.insert("XDG_CONFIG_HOME", m_home.filePath(".config"));
        env.insert("XDG_CACHE_HOME", m_home.filePath(".cache"));
        m_wm.setProcessEnvironment(env);
        m_wm.setStandardOutputFile(QProcess::nullDevice());
        m_wm.start(openbox, {"--sm-disable"});
        m_display = XOpenDisplay(m_name.constData());
        // Windows of other programs may go while they are looked at; that is no reason to end the test.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        if (!m_wm.waitForStarted(5000) || !m_display) {
            return QStringLiteral("openbox did not start");
        }
        // openbox is ready once it manages a window mapped after its start.
        const bool ready = waitUntil(
            [&] {
                const Window probe = window("ready");
                const bool managed = waitUntil([&] { return isManaged(probe); }, 500);
                XDestroyWindow(m_display, probe);
                return managed;
            },
            10000);
        return ready ? QString() : QStringLiteral("openbox does not manage windows");
    }

    QByteArray name() const { return m_name; }

    // A top-level window of another program, with this exact title.
    Window window(const QByteArray& title)
    {
        const int screen = DefaultScreen(m_display);
        const Window w = XCreateSimpleWindow(m_display, RootWindow(m_display, screen), 40, 40, 320, 200, 0,
                                             BlackPixel(m_display, screen), WhitePixel(m_display, screen));
        XStoreName(m_display, w, title.constData());
        XChangeProperty(m_display, w, XInternAtom(m_display, "_NET_WM_NAME", False),
                        XInternAtom(m_display, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.constData()), int(title.size()));
        XMapWindow(m_display, w);
        XSync(m_display, False);
        return w;
    }
    bool isManaged(Window w)
    {
        const auto ids = property(m_display, DefaultRootWindow(m_display), "_NET_CLIENT_LIST", XA_WINDOW);
        return std::find(ids.begin(), ids.end(), w) != ids.end();
    }
    Window active()
    {
        const auto ids = property(m_display, DefaultRootWindow(m_display), "_NET_ACTIVE_WINDOW", XA_WINDOW);
        return ids.empty() ? 0 : ids.front();
    }
    // The window's title as the window manager reads it (_NET_WM_NAME).
    QByteArray title(Window w)
    {
        if (!w) {
            return {};
        }
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        QByteArray out;
        if (XGetWindowProperty(m_display, w, XInternAtom(m_display, "_NET_WM_NAME", False), 0, 1024, False,
                               XInternAtom(m_display, "UTF8_STRING", False), &actual, &format, &count, &after,
                               &data) == Success &&
            data && format == 8) {
            out = QByteArray(reinterpret_cast<const char*>(data), int(count));
        }
        if (data) {
            XFree(data);
        }
        return out;
    }
    bool isMaximized(Window w)
    {
        const auto states = property(m_display, w, "_NET_WM_STATE", XA_ATOM);
        return std::find(states.begin(), states.end(), XInternAtom(m_display, "_NET_WM_STATE_MAXIMIZED_VERT", False)) !=
               states.end();
    }

private:
    QTemporaryDir m_home;
    QProcess m_xvfb;
    QProcess m_wm;
    QByteArray m_name;
    Display* m_display = nullptr;
};

} // namespace tolvan::test
