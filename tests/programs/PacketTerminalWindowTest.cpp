// "Open Packet Program to Send Message" on a real X server: a private Xvfb
// with openbox, real windows of other programs and the real window service.

#include "ScreenFixture.h"

#include "platform/PlatformTestSupport.h"
#include "platform/X11Desktop.h"

// After GoogleTest and Qt: Xlib's macros (None, Bool) would break their headers.
#include "XSession.h"

using namespace tolvan;
using namespace tolvan::test;

namespace {

class PacketTerminalWindow : public ScreenFixture {
protected:
    XSession x;
    X11Desktop realDesktop;
    std::unique_ptr<ScopedEnv> display;

    void SetUp() override
    {
        const QString problem = x.start();
        if (problem.contains("not installed")) {
            GTEST_SKIP() << problem.toStdString();
        }
        ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
        display = std::make_unique<ScopedEnv>("DISPLAY", x.name());
        ScreenFixture::SetUp();
        context->desktop = realDesktop;
    }
    Window managedWindow(const QByteArray& title)
    {
        const Window w = x.window(title);
        EXPECT_TRUE(waitUntil([&] { return x.isManaged(w); })) << title.constData();
        return w;
    }
};

} // namespace

TEST_F(PacketTerminalWindow, BringsTheTerminalForwardAndPrefersWinTnc)
{
    const Window terminal = managedWindow("TOLVAN Terminal");
    const Window other = managedWindow("Logbook");
    ASSERT_TRUE(waitUntil([&] { return x.active() == other; }));

    registry->Show("PACKETWINLINK");
    click("PACKETWINLINK", "Command13");
    EXPECT_TRUE(dialogs.boxes.isEmpty()) << dialogs.texts().join(" | ").toStdString();
    EXPECT_TRUE(waitUntil([&] { return x.active() == terminal; }));
    EXPECT_TRUE(waitUntil([&] { return x.isMaximized(terminal); }));

    const Window wintnc = managedWindow("WinTNC V 2.12");
    managedWindow("Logbook 2");
    click("PACKETWINLINK", "Command13");
    EXPECT_TRUE(waitUntil([&] { return x.active() == wintnc; }));
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}
