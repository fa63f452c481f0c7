#include "platform/X11Desktop.h"

#include "platform/PlatformTestSupport.h"
#include "platform/PrivateSoundServer.h"

// Before Xlib: its macros (None, Bool) would break GoogleTest's headers.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSize>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "XSession.h"

#include <sys/prctl.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <vector>

using namespace tolvan;
using namespace tolvan::test;

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

void stop(QProcess& process)
{
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
    }
}

// Children of the test die with it, even when ctest kills the test.
void dieWithParent(QProcess& process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

// A plain top-level window on its own connection, with the titles given.
class TestWindow {
public:
    TestWindow(const QByteArray& display, const QString& netWmName, const QByteArray& wmName)
        : m_display(XOpenDisplay(display.constData()))
    {
        const int screen = DefaultScreen(m_display);
        m_window = XCreateSimpleWindow(m_display, RootWindow(m_display, screen), 40, 40, 320, 200, 0,
                                       BlackPixel(m_display, screen), WhitePixel(m_display, screen));
        if (!wmName.isEmpty()) {
            XStoreName(m_display, m_window, wmName.constData()); // Latin-1 STRING
        }
        if (!netWmName.isEmpty()) {
            const QByteArray utf8 = netWmName.toUtf8();
            XChangeProperty(m_display, m_window, XInternAtom(m_display, "_NET_WM_NAME", False),
                            XInternAtom(m_display, "UTF8_STRING", False), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(utf8.constData()), int(utf8.size()));
        }
        XWMHints hints{};
        hints.flags = InputHint;
        hints.input = True;
        XSetWMHints(m_display, m_window, &hints);
        XSelectInput(m_display, m_window, KeyPressMask | KeyReleaseMask);
        XMapWindow(m_display, m_window);
        XSync(m_display, False);
    }
    ~TestWindow()
    {
        XDestroyWindow(m_display, m_window);
        XCloseDisplay(m_display);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    Window id() const { return m_window; }
    Display* display() const { return m_display; }

    // Waits for a press of the key with this symbol delivered to the window.
    bool receivesKeyPress(KeySym symbol)
    {
        const KeyCode wanted = XKeysymToKeycode(m_display, symbol);
        return waitUntil([&] {
            XEvent event;
            while (XCheckTypedWindowEvent(m_display, m_window, KeyPress, &event)) {
                if (event.xkey.keycode == wanted) {
                    return true;
                }
            }
            return false;
        });
    }

private:
    Display* m_display;
    Window m_window;
};

// Reads the state of the test display from a connection of the test's own.
class Probe {
public:
    explicit Probe(const QByteArray& display)
        : m_display(XOpenDisplay(display.constData()))
    {
    }
    ~Probe()
    {
        if (m_display) {
            XCloseDisplay(m_display);
        }
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    explicit operator bool() const { return m_display != nullptr; }

    std::vector<unsigned long> rootList(const char* property, Atom type) const { return list(root(), property, type); }

    Window activeWindow() const
    {
        const auto ids = rootList("_NET_ACTIVE_WINDOW", XA_WINDOW);
        return ids.empty() ? None : ids.front();
    }
    bool isManaged(Window window) const
    {
        const auto ids = rootList("_NET_CLIENT_LIST", XA_WINDOW);
        return std::find(ids.begin(), ids.end(), window) != ids.end();
    }
    bool isMaximized(Window window) const
    {
        const auto states = list(window, "_NET_WM_STATE", XA_ATOM);
        const auto has = [&](const char* name) {
            return std::find(states.begin(), states.end(), XInternAtom(m_display, name, False)) != states.end();
        };
        return has("_NET_WM_STATE_MAXIMIZED_VERT") && has("_NET_WM_STATE_MAXIMIZED_HORZ");
    }
    bool isViewable(Window window) const
    {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(m_display, window, &attributes) && attributes.map_state == IsViewable;
    }
    QSize size(Window window) const
    {
        XWindowAttributes attributes{};
        XGetWindowAttributes(m_display, window, &attributes);
        return {attributes.width, attributes.height};
    }
    Window focus() const
    {
        Window focused = None;
        int revert = 0;
        XGetInputFocus(m_display, &focused, &revert);
        return focused;
    }
    bool isKeyDown(KeySym symbol) const
    {
        char keys[32];
        XQueryKeymap(m_display, keys);
        const KeyCode code = XKeysymToKeycode(m_display, symbol);
        return (keys[code / 8] >> (code % 8)) & 1;
    }
    void iconify(Window window) const
    {
        XIconifyWindow(m_display, window, DefaultScreen(m_display));
        XSync(m_display, False);
    }

private:
    Window root() const { return DefaultRootWindow(m_display); }
    std::vector<unsigned long> list(Window window, const char* name, Atom type) const
    {
        return tolvan::test::property(m_display, window, name, type);
    }

    Display* m_display;
};

// A private X server on a free display number, with openbox when asked. Its
// home, configuration and cache folders are temporary.
class XSession {
public:
    ~XSession()
    {
        stop(m_wm);
        stop(m_xvfb);
    }

    // Empty when the server (and window manager) run; otherwise why not.
    QString start(bool withWindowManager)
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty()) {
            return QStringLiteral("Xvfb is not installed");
        }
        dieWithParent(m_xvfb);
        m_xvfb.setStandardErrorFile(QProcess::nullDevice());
        // -displayfd picks a free display number and writes it once the server accepts clients.
        m_xvfb.start(xvfb, {"-displayfd", "1", "-screen", "0",
                            QStringLiteral("%1x%2x24").arg(kScreenWidth).arg(kScreenHeight), "-nolisten", "tcp"});
        if (!m_xvfb.waitForStarted(5000)) {
            return QStringLiteral("Xvfb did not start: ") + m_xvfb.errorString();
        }
        if (!waitUntil([&] { return m_xvfb.canReadLine() || (m_xvfb.waitForReadyRead(100) && m_xvfb.canReadLine()); },
                       10000)) {
            return QStringLiteral("Xvfb gave no display number");
        }
        m_display = ":" + m_xvfb.readLine().trimmed();
        if (!withWindowManager) {
            return {};
        }
        const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (openbox.isEmpty()) {
            return QStringLiteral("openbox is not installed");
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromUtf8(m_display));
        env.insert("HOME", m_home.path());
        env.insert("XDG_CONFIG_HOME", m_home.filePath(".config"));
        env.insert("XDG_CACHE_HOME", m_home.filePath(".cache"));
        env.insert("XDG_DATA_HOME", m_home.filePath(".local/share"));
        m_wm.setProcessEnvironment(env);
        m_wm.setStandardOutputFile(QProcess::nullDevice());
        m_wm.setStandardErrorFile(QProcess::nullDevice());
        dieWithParent(m_wm);
        m_wm.start(openbox, {"--sm-disable"});
        if (!m_wm.waitForStarted(5000)) {
            return QStringLiteral("openbox did not start: ") + m_wm.errorString();
        }
        Display* probe = XOpenDisplay(m_display.constData());
        if (!probe) {
            return QStringLiteral("cannot connect to the test display");
        }
        const Atom check = XInternAtom(probe, "_NET_SUPPORTING_WM_CHECK", False);
        const bool managed = waitUntil(
            [&] {
                Atom type = None;
                int format = 0;
                unsigned long count = 0, after = 0;
                unsigned char* data = nullptr;
                XGetWindowProperty(probe, DefaultRootWindow(probe), check, 0, 1, False, XA_WINDOW, &type, &format,
                                   &count, &after, &data);
                if (data) {
                    XFree(data);
                }
                return count == 1;
            },
            10000);
        XCloseDisplay(probe);
        if (!managed) {
            return QStringLiteral("openbox did not take over the display");
        }
        // The check window appears while openbox still starts, and a window
        // mapped then is never managed; a window it lists proves it is ready.
        const Probe ready(m_display);
        const bool readyForWindows = waitUntil(
            [&] {
                const TestWindow first(m_display, "ready", {});
                return waitUntil([&] { return ready.isManaged(first.id()); }, 500);
            },
            10000);
        return readyForWindows ? QString() : QStringLiteral("openbox does not manage windows");
    }

    QByteArray display() const { return m_display; }

private:
    QTemporaryDir m_home;
    QProcess m_xvfb;
    QProcess m_wm;
    QByteArray m_display;
};

// One X server for all tests of a suite; each test points DISPLAY at it.
template <bool WithWindowManager> class XSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_session = std::make_unique<XSession>();
        s_problem = s_session->start(WithWindowManager);
    }
    static void TearDownTestSuite() { s_session.reset(); }

    void SetUp() override
    {
        if (s_problem.contains("not installed")) {
            GTEST_SKIP() << s_problem.toStdString();
        }
        ASSERT_TRUE(s_problem.isEmpty()) << s_problem.toStdString();
        m_displayEnv = std::make_unique<ScopedEnv>("DISPLAY", s_session->display());
        m_probe = std::make_unique<Probe>(s_session->display());
        ASSERT_TRUE(*m_probe);
    }

    std::unique_ptr<TestWindow> window(const QString& netWmName, const QByteArray& wmName = {})
    {
        auto w = std::make_unique<TestWindow>(s_session->display(), netWmName, wmName);
        if (WithWindowManager) {
            EXPECT_TRUE(waitUntil([&] { return probe().isManaged(w->id()); })) << "the manager did not take the window";
        }
        return w;
    }
    const Probe& probe() const { return *m_probe; }

    X11Desktop desktop;

private:
    static inline std::unique_ptr<XSession> s_session;
    static inline QString s_problem;
    std::unique_ptr<ScopedEnv> m_displayEnv;
    std::unique_ptr<Probe> m_probe;
};

using X11DesktopWithManager = XSuite<true>;
using X11DesktopWithoutManager = XSuite<false>;

// ---- with openbox ---------------------------------------------------------

TEST_F(X11DesktopWithManager, FindsAWindowByItsExactTitleOnly)
{
    const auto terminal = window("TOLVAN Terminal", "TOLVAN Terminal");
    EXPECT_EQ(desktop.findWindow("TOLVAN Terminal"), DesktopResult::Done);
    EXPECT_EQ(desktop.findWindow("TOLVAN"), DesktopResult::NotFound);
    EXPECT_EQ(desktop.findWindow("tolvan terminal"), DesktopResult::NotFound);
    EXPECT_EQ(desktop.findWindow("TOLVAN Terminal "), DesktopResult::NotFound);
}

TEST_F(X11DesktopWithManager, ReadsTheUtf8TitleAndTheOldStyleTitle)
{
    const auto oldStyle = window({}, "Term");
    const auto unicode = window(QStringLiteral("Fen\u00eatre \u2713"), "Fenetre");
    EXPECT_EQ(desktop.findWindow("Term"), DesktopResult::Done);
    EXPECT_EQ(desktop.findWindow(QStringLiteral("Fen\u00eatre \u2713")), DesktopResult::Done);
}

TEST_F(X11DesktopWithManager, MaximizesActivatesAndRestores)
{
    const auto wintnc = window("WinTNC V 2.12");
    const auto other = window("telnet server");
    ASSERT_TRUE(waitUntil([&] { return probe().activeWindow() == other->id(); }));

    EXPECT_EQ(desktop.raiseWindow("WinTNC V 2.12", WindowShow::Maximized), DesktopResult::Done);
    EXPECT_TRUE(waitUntil([&] { return probe().isMaximized(wintnc->id()); }));
    EXPECT_TRUE(waitUntil([&] { return probe().activeWindow() == wintnc->id(); }));

    EXPECT_EQ(desktop.raiseWindow("telnet server", WindowShow::Restored), DesktopResult::Done);
    EXPECT_TRUE(waitUntil([&] { return probe().activeWindow() == other->id(); }));
    EXPECT_FALSE(probe().isMaximized(other->id()));

    EXPECT_EQ(desktop.raiseWindow("WinTNC V 2.12", WindowShow::Restored), DesktopResult::Done);
    EXPECT_TRUE(waitUntil([&] { return !probe().isMaximized(wintnc->id()); }));
    EXPECT_TRUE(waitUntil([&] { return probe().activeWindow() == wintnc->id(); }));
}

TEST_F(X11DesktopWithManager, BringsBackAMinimizedWindow)
{
    const auto server = window("telnet server");
    probe().iconify(server->id());
    ASSERT_TRUE(waitUntil([&] { return !probe().isViewable(server->id()); }));

    EXPECT_EQ(desktop.raiseWindow("telnet server", WindowShow::Restored), DesktopResult::Done);
    EXPECT_TRUE(waitUntil([&] { return probe().isViewable(server->id()); }));
    EXPECT_TRUE(waitUntil([&] { return probe().activeWindow() == server->id(); }));
}

TEST_F(X11DesktopWithManager, RaisingAMissingWindowReportsNotFound)
{
    EXPECT_EQ(desktop.raiseWindow("WinTNC V 2.12", WindowShow::Maximized), DesktopResult::NotFound);
}

TEST_F(X11DesktopWithManager, AltTabSwitchesWindowsAndLetsGoOfAlt)
{
    const auto first = window("First");
    const auto second = window("Second");
    ASSERT_EQ(desktop.raiseWindow("First", WindowShow::Restored), DesktopResult::Done);
    ASSERT_TRUE(waitUntil([&] { return probe().activeWindow() == first->id(); }));

    EXPECT_EQ(desktop.pressKey(DesktopKey::AltTab), DesktopResult::Done);
    EXPECT_TRUE(waitUntil([&] { return probe().activeWindow() == second->id(); }));
    EXPECT_FALSE(probe().isKeyDown(XK_Alt_L));
    EXPECT_FALSE(probe().isKeyDown(XK_Tab));
}

TEST_F(X11DesktopWithManager, SuperKeyReachesTheDesktop)
{
    const auto focused = window("Focused");
    ASSERT_EQ(desktop.raiseWindow("Focused", WindowShow::Restored), DesktopResult::Done);
    ASSERT_TRUE(waitUntil([&] { return probe().focus() == focused->id(); }));

    EXPECT_EQ(desktop.pressKey(DesktopKey::Super), DesktopResult::Done);
    // openbox binds nothing to a bare Super, so the press arrives at the focused window.
    EXPECT_TRUE(focused->receivesKeyPress(XK_Super_L));
    EXPECT_FALSE(probe().isKeyDown(XK_Super_L));
}

TEST_F(X11DesktopWithManager, FileManagerOpensTheGivenFolderOrHome)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid() && QDir(dir.path()).mkpath("bin") && QDir(dir.path()).mkpath("home"));
    const QString record = dir.filePath("opened.txt");
    ASSERT_TRUE(writeFile(dir.filePath("bin/xdg-open"),
                          "#!/bin/sh\nprintf '%s|%s\\n' \"$(pwd -P)\" \"$*\" > '" + record.toUtf8() + ".part' && mv '" +
                              record.toUtf8() + ".part' '" + record.toUtf8() + "'\n",
                          true));
    const QString home = QFileInfo(dir.filePath("home")).canonicalFilePath();
    const ScopedEnv homeEnv("HOME", home.toUtf8());
    {
        const ScopedEnv pathEnv("PATH", dir.filePath("bin").toUtf8() + ":" + qgetenv("PATH"));
        QStringList failures;
        const auto noteFailure = [&failures](const QString& why) { failures << why; };
        EXPECT_EQ(desktop.openFileManager({}, noteFailure), DesktopResult::Done);
        ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(record); }));
        EXPECT_EQ(readAll(record), (home + "|" + home + "\n").toUtf8());
        QFile::remove(record);
        const QString station = QFileInfo(dir.filePath("bin")).canonicalFilePath();
        EXPECT_EQ(desktop.openFileManager(station, noteFailure), DesktopResult::Done);
        ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(record); }));
        EXPECT_EQ(readAll(record), (station + "|" + station + "\n").toUtf8());
        (void)waitUntil([] { QCoreApplication::processEvents(); return false; }, 300);
        EXPECT_TRUE(failures.isEmpty()) << failures.join('\n').toStdString();

        // An opener that finds no file manager ends with a status; its last words are passed on.
        ASSERT_TRUE(writeFile(dir.filePath("bin/xdg-open"),
                              "#!/bin/sh\necho 'xdg-open: no method available for opening it' >&2\nexit 3\n", true));
        EXPECT_EQ(desktop.openFileManager(station, noteFailure), DesktopResult::Done);
        ASSERT_TRUE(waitUntil([&] { QCoreApplication::processEvents(); return !failures.isEmpty(); }));
        EXPECT_EQ(failures, QStringList{"xdg-open ended with exit status 3 (xdg-open: no method available for "
                                        "opening it)"});
    }
    const ScopedEnv noOpener("PATH", dir.filePath("home").toUtf8());
    EXPECT_EQ(desktop.openFileManager({}, {}), DesktopResult::NotAvailable);
}

// ---- a bare X server ------------------------------------------------------

TEST_F(X11DesktopWithoutManager, FindsWindowsByWalkingTheTree)
{
    const auto terminal = window("TOLVAN Terminal", "TOLVAN Terminal");
    const auto oldStyle = window({}, "Term");
    EXPECT_EQ(desktop.findWindow("TOLVAN Terminal"), DesktopResult::Done);
    EXPECT_EQ(desktop.findWindow("Term"), DesktopResult::Done);
    EXPECT_EQ(desktop.findWindow("TOLVAN"), DesktopResult::NotFound);
}

TEST_F(X11DesktopWithoutManager, MaximizeFillsTheScreenAndTakesTheFocus)
{
    const auto terminal = window("TOLVAN Terminal");
    EXPECT_EQ(desktop.raiseWindow("TOLVAN Terminal", WindowShow::Maximized), DesktopResult::Done);
    EXPECT_EQ(probe().size(terminal->id()), QSize(kScreenWidth, kScreenHeight));
    EXPECT_EQ(probe().focus(), terminal->id());

    const auto server = window("telnet server");
    EXPECT_EQ(desktop.raiseWindow("telnet server", WindowShow::Restored), DesktopResult::Done);
    EXPECT_EQ(probe().size(server->id()), QSize(320, 200));
    EXPECT_EQ(probe().focus(), server->id());
}

TEST_F(X11DesktopWithoutManager, KeysGoToTheFocusedWindow)
{
    const auto focused = window("Focused");
    ASSERT_EQ(desktop.raiseWindow("Focused", WindowShow::Restored), DesktopResult::Done);
    // No desktop to open a menu: the Super key is not sent at all.
    EXPECT_EQ(desktop.pressKey(DesktopKey::Super), DesktopResult::NotAvailable);
    EXPECT_EQ(desktop.pressKey(DesktopKey::AltTab), DesktopResult::Done);
    EXPECT_TRUE(focused->receivesKeyPress(XK_Tab));
    EXPECT_FALSE(probe().isKeyDown(XK_Alt_L));
}

// ---- no display, no sound server -----------------------------------------

TEST(X11DesktopWithoutDisplay, EveryDesktopCallIsNotAvailable)
{
    const ScopedEnv noDisplay("DISPLAY", std::nullopt);
    X11Desktop desktop;
    EXPECT_EQ(desktop.findWindow("TOLVAN Terminal"), DesktopResult::NotAvailable);
    EXPECT_EQ(desktop.raiseWindow("TOLVAN Terminal", WindowShow::Maximized), DesktopResult::NotAvailable);
    EXPECT_EQ(desktop.pressKey(DesktopKey::Super), DesktopResult::NotAvailable);
    EXPECT_EQ(desktop.pressKey(DesktopKey::AltTab), DesktopResult::NotAvailable);
    EXPECT_EQ(desktop.openFileManager({}, {}), DesktopResult::NotAvailable);
}

TEST(X11DesktopWithoutDisplay, MuteWithoutASoundServerIsNotAvailableAtOnce)
{
    // A server address that cannot answer, so the test never touches the
    // operator's real sound; the home folder keeps the client's files away too.
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const ScopedEnv server("PULSE_SERVER", QByteArray("unix:") + home.filePath("no-server").toUtf8());
    const ScopedEnv homeEnv("HOME", home.path().toUtf8());
    const ScopedEnv configEnv("XDG_CONFIG_HOME", home.path().toUtf8());
    X11Desktop desktop;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(desktop.setMute(true), DesktopResult::NotAvailable);
    EXPECT_LT(clock.elapsed(), 3000);
}

TEST(X11DesktopMute, SetsTheDefaultOutputOfTheSoundServer)
{
    PrivateSoundServer sound;
    const QString problem = sound.start();
    if (problem.contains("not installed")) {
        GTEST_SKIP() << problem.toStdString();
    }
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
    const ScopedEnv server("PULSE_SERVER", sound.address());
    const ScopedEnv home("HOME", sound.home().toUtf8());
    X11Desktop desktop;

    // The state asked for, not a flip: asking twice leaves it so.
    ASSERT_EQ(sound.muted(), std::optional(false));
    for (const bool muted : {true, true, false, false}) {
        EXPECT_EQ(desktop.setMute(muted), DesktopResult::Done);
        EXPECT_EQ(sound.muted(), std::optional(muted));
    }
}

} // namespace
