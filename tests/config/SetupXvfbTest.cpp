// Sets a station up through the real windows of the entry, directory, main
// menu and settings screens on an X display, with real key presses and mouse
// clicks sent through xdotool. scripts/setup-screens-xvfb.sh starts the
// display; anywhere else the test is skipped.

#include "ScreenFixture.h"

#include "config/DIRCHANGE.h"
#include "config/FolderListBoxes.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>

using namespace tolvan;
using tolvan::test::ScreenFixture;

namespace {

class RealWindows : public ScreenFixture {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != u"xcb") {
            GTEST_SKIP() << "needs an X display: run scripts/setup-screens-xvfb.sh";
        }
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
            GTEST_SKIP() << "xdotool is not installed";
        }
        ScreenFixture::SetUp();
    }

    static void xdotool(const QStringList& args)
    {
        ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), args), 0) << args.join(u' ').toStdString();
        QTest::qWait(150);
    }
    static void key(const QString& keys) { xdotool({QStringLiteral("key"), QStringLiteral("--delay"), "60", keys}); }
    static void type(const QString& text) { xdotool({QStringLiteral("type"), QStringLiteral("--delay"), "30", text}); }

    static void mouse(QWidget* w, QPoint local, int clicks = 1)
    {
        ASSERT_TRUE(w->isVisible());
        const QPoint p = w->mapToGlobal(local);
        xdotool({"mousemove", "--sync", QString::number(p.x()), QString::number(p.y()), "click", "--repeat",
                 QString::number(clicks), "--delay", "80", "1"});
    }
    static void clickOn(QWidget* w) { mouse(w, w->rect().center()); }

    // A line of a list, brought into view first.
    static void clickRow(QListWidget* list, int row, int clicks = 1)
    {
        ASSERT_GE(row, 0);
        list->scrollToItem(list->item(row));
        QTest::qWait(50);
        mouse(list->viewport(), list->visualItemRect(list->item(row)).center(), clicks);
    }

    template <class T = QWidget> T* on(const char* screen, const char* name)
    {
        T* w = control<T>(screen, name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    DIRCHANGE* setupScreen() { return qobject_cast<DIRCHANGE*>(registry->loaded("DIRCHANGE")); }

    static bool waitShown(ScreenRegistry& reg, const char* name)
    {
        if (!QTest::qWaitFor([&] { return reg.loaded(name) && reg.loaded(name)->isVisible(); }, 5000)) {
            return false;
        }
        // Clicks go to screen positions, so the window must be mapped and placed.
        const bool exposed = QTest::qWaitForWindowExposed(reg.loaded(name));
        QTest::qWait(300);
        return exposed;
    }

    void screenshot(const QString& name)
    {
        const QString folder = qEnvironmentVariable("TOLVAN_SCREENSHOTS");
        if (folder.isEmpty()) {
            return;
        }
        QTest::qWait(400);
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        EXPECT_TRUE(shot.save(QDir(folder).filePath(name))) << name.toStdString();
    }

    // Opens a folder of a section's folder list by keyboard: click the open
    // folder's line, arrow down to the entry, Enter.
    void openByKeyboard(int number, const QString& path)
    {
        DirListBox* dir = setupScreen()->dirList(number);
        const int from = dir->rowOf(dir->path());
        const int to = dir->rowOf(path);
        ASSERT_GT(to, from) << path.toStdString();
        clickRow(dir, from);
        for (int i = from; i < to; ++i) {
            key("Down");
        }
        key("Return");
        ASSERT_EQ(dir->path(), path);
    }
};

} // namespace

TEST_F(RealWindows, StationSetUpWithKeyboardAndMouse)
{
    const QString work = QDir::currentPath();
    ASSERT_TRUE(QDir().mkpath(work + "/Programs"));
    QFile exe(work + "/Programs/wintnc.exe");
    ASSERT_TRUE(exe.open(QIODevice::WriteOnly));
    exe.close();
    writeStore("soundsettings.dat", "0\r\n");

    registry->Show("ENTER");
    ASSERT_TRUE(waitShown(*registry, "ENTER"));
    clickOn(on("ENTER", "Command1")); // "&SETUP"
    ASSERT_TRUE(waitShown(*registry, "DIRCHANGE"));
    QTest::qWait(300);

    // Create the four folders: two by mouse with the names as designed, two
    // by keyboard with names typed over them.
    clickOn(on("DIRCHANGE", "CmdCreatDir"));
    clickOn(on("DIRCHANGE", "Text2"));
    key("ctrl+a");
    type(" MAIL RECEIVE ");
    key("Tab");
    key("Return");
    clickOn(on("DIRCHANGE", "Command2"));
    clickOn(on("DIRCHANGE", "Text7"));
    key("ctrl+a");
    type("MAIL ATTACHMENT");
    key("Tab");
    key("space");
    for (const char* made : {"MAIL SAVE", "MAIL RECEIVE", "MAIL SEND", "MAIL ATTACHMENT"}) {
        EXPECT_TRUE(QFileInfo(work + "/" + made).isDir()) << made;
    }
    ASSERT_EQ(dialogs.boxes.size(), 4);

    // Reload so the new folders appear.
    clickOn(on("DIRCHANGE", "Command8"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return setupScreen() && setupScreen()->isVisible(); }, 5000));
    QTest::qWait(300);

    // Save and send folders by mouse: double-click the folder, click ENTER.
    clickRow(setupScreen()->dirList(1), setupScreen()->dirList(1)->rowOf(work + "/MAIL SAVE"), 2);
    clickOn(on("DIRCHANGE", "Command9"));
    clickRow(setupScreen()->dirList(4), setupScreen()->dirList(4)->rowOf(work + "/MAIL SEND"), 2);
    clickOn(on("DIRCHANGE", "Command11"));
    // Receive and attachment folders by keyboard: arrows, Enter, Tab to ENTER, Enter.
    openByKeyboard(2, work + "/MAIL RECEIVE");
    key("Tab");
    key("Tab");
    key("Return");
    openByKeyboard(7, work + "/MAIL ATTACHMENT");
    key("Tab");
    key("Tab");
    key("Return");

    // WINTNC on the second page: the folder by keyboard, the file by mouse.
    key("alt+2");
    ASSERT_EQ(on<QTabWidget>("DIRCHANGE", "pages")->currentIndex(), 1);
    QTest::qWait(200);
    openByKeyboard(3, work + "/Programs");
    clickRow(setupScreen()->fileList(3), 0);
    clickOn(on("DIRCHANGE", "Command3"));
    EXPECT_EQ(on<QLineEdit>("DIRCHANGE", "Text3")->text(), work + "/Programs/wintnc.exe");
    // The other programs are not installed on this station: ENTER without a file.
    for (const char* enter : {"Command4", "Command6", "Command14"}) {
        clickOn(on<QPushButton>("DIRCHANGE", enter));
    }
    key("alt+3");
    QTest::qWait(200);
    for (const char* enter : {"Command15", "Command16", "Command17", "Command18"}) {
        clickOn(on<QPushButton>("DIRCHANGE", enter));
    }
    EXPECT_EQ(on<QLineEdit>("DIRCHANGE", "Text17")->text(), "blank");

    key("alt+1");
    screenshot("DIRCHANGE.png");
    EXPECT_EQ(on<QLineEdit>("DIRCHANGE", "Text8")->text(), work + "/MAIL SAVE");
    EXPECT_EQ(on<QLineEdit>("DIRCHANGE", "Text9")->text(), work + "/MAIL RECEIVE");
    EXPECT_EQ(on<QLineEdit>("DIRCHANGE", "Text10")->text(), work + "/MAIL SEND");
    EXPECT_EQ(on<QLineEdit>("DIRCHANGE", "Text12")->text(), work + "/MAIL ATTACHMENT");

    // Restricted main menu, then the settings screen by keyboard.
    key("alt+e");
    ASSERT_TRUE(waitShown(*registry, "mainmenu"));
    EXPECT_FALSE(registry->IsFormLoaded("DIRCHANGE"));
    QTest::qWait(300);
    clickOn(on("mainmenu", "SETTINGS"));
    ASSERT_TRUE(waitShown(*registry, "frsettings"));
    screenshot("frsettings.png");

    // What the settings screen shows is what the store files hold.
    const ConfigStore& store = context->store;
    const struct {
        const char* box;
        const char* file;
        QString expected;
    } shown[] = {
        {"Text1", "save.dat", work + "/MAIL SAVE"},
        {"Text2", "send.dat", work + "/MAIL SEND"},
        {"Text3", "receive.dat", work + "/MAIL RECEIVE"},
        {"Text7", "received.dat", work + "/MAIL ATTACHMENT"},
        {"Text4", "packet.dat", work + "/Programs/wintnc.exe"},
        {"Text5", "winlink.dat", "blank"},
        {"Text6", "splitter.dat", "blank"},
        {"Text8", "soundmodempacket.dat", "blank"},
        {"Text9", "direwolfpacket.dat", "blank"},
        {"Text11", "VARA.dat", "blank"},
        {"Text13", "TLVTerminal.dat", "blank"},
    };
    for (const auto& s : shown) {
        EXPECT_EQ(store.ReadStoreLine(s.file).value, s.expected) << s.file;
        // A program never chosen is stored as "blank" and shown as not set.
        EXPECT_EQ(on<QLineEdit>("frsettings", s.box)->text(), s.expected == "blank" ? "(not set)" : s.expected)
            << s.box;
    }
    EXPECT_EQ(store.ReadStoreLine("nprmodem.dat").value, "blank");
    EXPECT_EQ(dialogs.boxes.size(), 4); // only the four "Directory created" notes
}
