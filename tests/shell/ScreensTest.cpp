#include "ScreenFixture.h"

#include "monitor/ReceiveWatch.h"
#include "monitor/fileoperation.h"
#include "shell/AutoSaveDisplay.h"
#include "shell/Palette.h"
#include "shell/mainmenu.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <sys/prctl.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

using namespace tolvan;
using tolvan::test::ScreenFixture;

namespace {

class ShellScreens : public ScreenFixture {
protected:
    void enterMainMenu()
    {
        registry->Show("ENTER");
        click("ENTER", "Command3");
    }
    QString text(const QString& screen, const QString& name)
    {
        auto* b = control<QAbstractButton>(screen, name);
        return b ? b->text() : QString();
    }
};

} // namespace

TEST_F(ShellScreens, EnterLeadsToTheRestrictedMenuAndQuitEndsEverything)
{
    registry->Show("ENTER");
    EXPECT_EQ(registry->loadedNames(), QStringList{"ENTER"});
    EXPECT_FALSE(shown("ENTER", "reenter"));

    click("ENTER", "Command3");
    EXPECT_EQ(speaker.spoken, QStringList{"Welcome"}); // no switch file means sound on
    EXPECT_FALSE(registry->IsFormLoaded("ENTER"));
    ASSERT_TRUE(registry->IsFormLoaded("mainmenu"));
    EXPECT_TRUE(registry->loaded("mainmenu")->isVisible());
    for (const char* visible : {"SETTINGS", "testprogram", "exit"}) {
        EXPECT_TRUE(shown("mainmenu", visible)) << visible;
    }
    for (const char* hidden : {"PACKETMAIL", "SEND", "RECEIVE", "RETRIEVE", "Explorer", "chksoundtoggle", "checktnc",
                               "cmdopenstartmenu", "cmdsoundtoggle", "cmdAutoSaveToggle", "CmdNPRSYSTEM", "chkAutoSave",
                               "Text1", "Text2", "Text3", "Text4"}) {
        EXPECT_FALSE(shown("mainmenu", hidden)) << hidden;
    }
    EXPECT_FALSE(registry->IsFormLoaded("MainMenu")); // names compare case-sensitively

    click("mainmenu", "exit");
    EXPECT_EQ(registry->loadedNames(), QStringList{"ENTER"});
    EXPECT_TRUE(shown("ENTER", "reenter"));

    click("ENTER", "Command2");
    EXPECT_EQ(speaker.spoken.last(), "Goodbye");
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(registry->loadedNames().isEmpty());
}

// Neither the sound switch set off nor a missing sound output may keep QUIT
// waiting on the speaker: nothing is spoken and the program ends at once.
class SilentQuit : public ShellScreens, public ::testing::WithParamInterface<bool> {};

TEST_P(SilentQuit, EndsWithoutTryingToSpeak)
{
    const bool switchedOff = GetParam();
    if (switchedOff) {
        writeStore("soundsettings.dat", "0\r\n");
    }
    speaker.soundOutput = switchedOff;
    enterMainMenu();
    speaker.spoken.clear();
    registry->Show("ENTER");
    click("ENTER", "Command2");
    EXPECT_TRUE(speaker.spoken.isEmpty());
    EXPECT_EQ(quits, 1);
}

INSTANTIATE_TEST_SUITE_P(ShellScreens, SilentQuit, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "SoundSwitchOff" : "NoSoundOutput"; });

TEST_F(ShellScreens, SoundResetFlow)
{
    enterMainMenu();
    speaker.spoken.clear();

    dialogs.answers.enqueue(MsgAnswer::No);
    click("mainmenu", "cmdsoundtoggle");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].title, "Confirm Reset");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Question);
    EXPECT_FALSE(context->store.StoreFileExists("soundstate.dat"));
    EXPECT_TRUE(registry->IsFormLoaded("mainmenu"));
    EXPECT_TRUE(desktop.muteRequests.isEmpty());

    dialogs.answers.enqueue(MsgAnswer::Yes);
    click("mainmenu", "cmdsoundtoggle");
    EXPECT_EQ(context->store.ReadStoreLine("soundstate.dat").value, "ON");
    EXPECT_EQ(context->store.ReadStoreLine("soundsettings.dat").value, "1");
    EXPECT_EQ(speaker.spoken, QStringList{"Sound on"});
    // "Sound ON" asks for the output unmuted, whatever it was before.
    EXPECT_EQ(desktop.muteRequests, QList<bool>{false});
    EXPECT_EQ(registry->loadedNames(), QStringList{"ENTER"});
    EXPECT_TRUE(shown("ENTER", "reenter"));

    click("ENTER", "reenter");
    ASSERT_TRUE(registry->IsFormLoaded("mainmenu"));
    EXPECT_EQ(text("mainmenu", "cmdsoundtoggle"), "Sound ON");
    EXPECT_EQ(backColor(control("mainmenu", "cmdsoundtoggle")), Palette::kOn);
    EXPECT_FALSE(shown("mainmenu", "chksoundtoggle"));
    EXPECT_FALSE(shown("mainmenu", "testprogram"));
    EXPECT_TRUE(shown("mainmenu", "PACKETMAIL"));
    // Shown on at load, the output is made to sound again (the operator may
    // have muted the desktop meanwhile).
    EXPECT_EQ(desktop.muteRequests, (QList<bool>{false, false}));

    // And back off.
    dialogs.answers.enqueue(MsgAnswer::Yes);
    click("mainmenu", "cmdsoundtoggle");
    EXPECT_EQ(context->store.ReadStoreLine("soundstate.dat").value, "OFF");
    EXPECT_EQ(context->store.ReadStoreLine("soundsettings.dat").value, "0");
    EXPECT_EQ(speaker.spoken.last(), "Sound off");
    EXPECT_EQ(desktop.muteRequests, (QList<bool>{false, false, true}));
}

TEST_F(ShellScreens, SoundDisplayFollowsTheStoredStateUntrimmed)
{
    writeStore("soundstate.dat", "on\r\n");
    registry->Show("mainmenu");
    EXPECT_EQ(text("mainmenu", "cmdsoundtoggle"), "Sound ON");
    EXPECT_TRUE(control<QCheckBox>("mainmenu", "chksoundtoggle")->isChecked());
    registry->Unload("mainmenu");

    writeStore("soundstate.dat", " ON\r\n");
    registry->Show("mainmenu");
    EXPECT_EQ(text("mainmenu", "cmdsoundtoggle"), "Sound OFF");
    EXPECT_EQ(backColor(control("mainmenu", "cmdsoundtoggle")), Palette::entry(8));
    EXPECT_EQ(backColor(control("mainmenu", "chksoundtoggle")), Palette::kSoundOff);
}

TEST_F(ShellScreens, AutoSaveSwitch)
{
    writeStore("autosave.dat", " on \r\n");
    registry->Show("mainmenu");
    EXPECT_EQ(text("mainmenu", "cmdAutoSaveToggle"), "Receive Auto Save ON");
    EXPECT_TRUE(control<QCheckBox>("mainmenu", "chkAutoSave")->isChecked());

    click("mainmenu", "cmdAutoSaveToggle");
    EXPECT_EQ(text("mainmenu", "cmdAutoSaveToggle"), "Receive Auto Save OFF");
    EXPECT_EQ(backColor(control("mainmenu", "cmdAutoSaveToggle")), Palette::entry(8));
    EXPECT_EQ(context->store.ReadStoreLine("autosave.dat").value, "0");

    registry->Unload("mainmenu");
    flush();
    UpdateAutoSaveDisplay(*registry, true);
    EXPECT_TRUE(registry->loadedNames().isEmpty());

    QFile::remove(context->store.StorePath("autosave.dat"));
    registry->Show("mainmenu");
    EXPECT_EQ(text("mainmenu", "cmdAutoSaveToggle"), "Receive Auto Save ON");
    EXPECT_EQ(context->store.ReadStoreLine("autosave.dat").value, "1");
}

TEST_F(ShellScreens, ClockShowsTwoDigitHoursAndTheLongDate)
{
    clock.time = QDateTime(QDate(2024, 3, 15), QTime(9, 5, 0));
    registry->Show("mainmenu");
    EXPECT_EQ(control<QLineEdit>("mainmenu", "Txtclock")->text(), "09:05:00");
    EXPECT_EQ(control<QLineEdit>("mainmenu", "Txtdate")->text(), "Friday, March 15, 2024");
    EXPECT_TRUE(control<QTimer>("mainmenu", "Timerclock")->isActive());
    clock.time = clock.time.addSecs(3600 * 5 + 1);
    registry->form<mainmenu>("mainmenu")->Timerclock_Timer();
    EXPECT_EQ(control<QLineEdit>("mainmenu", "Txtclock")->text(), "14:05:01");
}

// The terminal's line beside the watch state: the status file's line while
// the process that wrote it is a live tolvan-terminal and the file is fresh.
TEST_F(ShellScreens, TheTerminalLineTrustsOnlyAFreshFileOfALiveTerminal)
{
    const QString now = QDateTime::currentDateTime().toString(Qt::ISODate);
    const QString old = QDateTime::currentDateTime().addSecs(-120).toString(Qt::ISODate);
    const QString self = QString::number(QCoreApplication::applicationPid());
    struct Case {
        const char* name;
        bool file;
        QString pid;
        QString updated;
        bool asTerminal; // this process is named tolvan-terminal meanwhile
        QString expected;
    };
    const QString live = "sending PHOTO.P01 to N0BBB-1, 43 %";
    const Case cases[] = {
        {"no file", false, self, now, true, "not running"},
        {"live terminal", true, self, now, true, live},
        {"pid of another program", true, self, now, false, "not running"},
        {"pid of no process", true, "999999999", now, true, "not running"},
        {"no heartbeat for two minutes", true, self, old, true, "not running"},
    };
    char ownName[16] = {};
    ::prctl(PR_GET_NAME, ownName);
    registry->Show("mainmenu");
    for (const Case& c : cases) {
        const QString path = programFolder() + "/terminal-status.json";
        QFile::remove(path);
        if (c.file) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral(R"({"pid":%1,"updated":"%2","state":"sending","line":"%3"})")
                        .arg(c.pid, c.updated, live)
                        .toUtf8());
        }
        ::prctl(PR_SET_NAME, c.asTerminal ? "tolvan-terminal" : ownName);
        registry->form<mainmenu>("mainmenu")->Timerclock_Timer();
        ::prctl(PR_SET_NAME, ownName);
        EXPECT_EQ(control<QLabel>("mainmenu", "lblTerminalState")->text(), "Terminal: " + c.expected) << c.name;
    }
}

TEST_F(ShellScreens, SelfTestWritesTheCodedTestMail)
{
    const QString receive = tmp.path() + "/receive";
    QDir().mkpath(receive);
    writeStore("receive.dat", (receive + "\r\n").toUtf8());
    clock.time = QDateTime(QDate(2024, 3, 15), QTime(14, 30, 5));
    enterMainMenu();

    click("mainmenu", "testprogram");
    const QString name = "MAIL - 143005.txt";
    const QString file = receive + "/" + name;
    const QByteArray line = readFile(file);
    EXPECT_TRUE(line.startsWith("84 79 58 32 84 69 83 84,83 85 66 74 69 67 84 58 84 69 83 84,84 72 73 83 32"));
    EXPECT_TRUE(line.endsWith("32 46 13 10,70 82 79 77 32 84 69 83 84\r\n"));
    EXPECT_EQ(line.count('\n'), 1);

    // The received screen takes over and lists the test mail; the inbox waits
    // hidden, without its reply, reset and auto-save buttons.
    EXPECT_FALSE(registry->IsFormLoaded("mainmenu"));
    ASSERT_TRUE(registry->IsFormLoaded("received"));
    EXPECT_TRUE(registry->loaded("received")->isVisible());
    ASSERT_TRUE(registry->IsFormLoaded("inboxform"));
    EXPECT_FALSE(registry->loaded("inboxform")->isVisible());
    for (const char* hidden : {"Command1", "Command3", "cmdAutoSaveToggle"}) {
        EXPECT_FALSE(shown("inboxform", hidden)) << hidden;
    }
    auto* list = control<QListWidget>("received", "File1");
    ASSERT_NE(list, nullptr);
    const auto items = list->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);

    // Reading it shows the decoded test mail in the inbox and removes the file.
    list->setCurrentItem(items.first());
    click("received", "Command2");
    EXPECT_TRUE(dialogs.boxes.isEmpty()) << dialogs.texts().join(" | ").toStdString();
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(registry->loaded("inboxform")->isVisible());
    EXPECT_EQ(control<QLineEdit>("inboxform", "Text3")->text(), "TO: TEST");
    EXPECT_EQ(control<QLineEdit>("inboxform", "Text2")->text(), "SUBJECT:TEST");
    EXPECT_EQ(control<QPlainTextEdit>("inboxform", "Text1")->toPlainText(),
              "THIS IS A TEST. IF YOU CAN READ THIS THEN THE TEST IS A PASS. PLEASE PRESS EXIT .\n");
    EXPECT_EQ(control<QLineEdit>("inboxform", "Text4")->text(), "FROM TEST");
    EXPECT_FALSE(shown("inboxform", "Command1"));

    // EXIT leads back to the full menu.
    click("inboxform", "Command2");
    EXPECT_FALSE(registry->IsFormLoaded("inboxform"));
    EXPECT_TRUE(registry->loaded("mainmenu")->isVisible());
    EXPECT_FALSE(shown("mainmenu", "testprogram"));
    EXPECT_TRUE(shown("mainmenu", "PACKETMAIL"));
    fileoperation::ReleaseReceiveMonitor();
}

TEST_F(ShellScreens, SelfTestNamesAMissingReceiveFolder)
{
    enterMainMenu();
    click("mainmenu", "testprogram");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(dialogs.boxes[0].text.contains("receive.dat"));
    EXPECT_TRUE(shown("mainmenu", "testprogram"));

    writeStore("receive.dat", (tmp.path() + "/gone\r\n").toUtf8());
    click("mainmenu", "testprogram");
    EXPECT_TRUE(dialogs.boxes.last().text.contains(tmp.path() + "/gone"));
    EXPECT_TRUE(registry->IsFormLoaded("mainmenu"));
}

TEST_F(ShellScreens, DesktopTools)
{
    registry->Show("mainmenu");
    desktop.windows = {"TOLVAN Terminal", "WinTNC V 2.12"};
    click("mainmenu", "checktnc");
    EXPECT_EQ(desktop.raised, QStringList{"WinTNC V 2.12"});

    desktop.windows = {"TOLVAN"};
    click("mainmenu", "checktnc");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].text, "WinTNC, EasyTerm, or TOLVAN Terminal window not found.");
    EXPECT_EQ(dialogs.boxes[0].title, "RodiraRudu");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Exclamation);

    click("mainmenu", "cmdopenstartmenu");
    EXPECT_EQ(desktop.keys, QList<DesktopKey>{DesktopKey::Super});
    click("mainmenu", "Explorer");
    EXPECT_EQ(desktop.fileManagerStarts, 1);
    // The file manager opens on the station folder.
    EXPECT_EQ(desktop.fileManagerFolder, context->store.programFolder());
    EXPECT_EQ(control<QAbstractButton>("mainmenu", "cmdopenstartmenu")->text(), "Start Menu");
    EXPECT_EQ(control<QAbstractButton>("mainmenu", "Explorer")->text(), "File Manager");
    // The opener started but found no file manager: the operator is told.
    desktop.fileManagerLaterFailure = "xdg-open ended with exit status 3";
    dialogs.clear();
    click("mainmenu", "Explorer");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].text, "Unable to open the file manager on " + context->store.programFolder()
                                         + ": xdg-open ended with exit status 3");
    desktop.fileManagerLaterFailure.clear();

    desktop.available = false;
    dialogs.clear();
    click("mainmenu", "cmdopenstartmenu");
    click("mainmenu", "checktnc");
    ASSERT_EQ(dialogs.boxes.size(), 2);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("Unable to open Start Menu: there is no desktop"));
    EXPECT_TRUE(dialogs.boxes[1].text.contains("not available"));
}

TEST_F(ShellScreens, ChooserReturnsToTheFullMenu)
{
    registry->Show("mainmenu");
    click("mainmenu", "PACKETMAIL");
    EXPECT_EQ(registry->loadedNames(), QStringList{"frmdecide"});
    click("frmdecide", "Cmdreturnmain");
    EXPECT_EQ(registry->loadedNames(), QStringList{"mainmenu"});
    EXPECT_FALSE(shown("mainmenu", "testprogram"));
    EXPECT_FALSE(shown("mainmenu", "chksoundtoggle"));
    EXPECT_TRUE(shown("mainmenu", "SETTINGS"));
}

TEST_F(ShellScreens, ScreensNotBuiltYetAreExplainedAndNothingCloses)
{
    registry->Show("mainmenu");
    for (const char* button : {"RETRIEVE", "SETTINGS", "SEND"}) {
        if (registry->isAvailable(button == QString("RETRIEVE") ? "saveform"
                                  : button == QString("SETTINGS") ? "frsettings"
                                                                  : "PACKETWINLINK")) {
            continue;
        }
        dialogs.clear();
        click("mainmenu", button);
        EXPECT_EQ(dialogs.boxes.size(), 1) << button;
        EXPECT_TRUE(registry->IsFormLoaded("mainmenu")) << button;
    }
}

TEST_F(ShellScreens, UnloadStopsTimersAndReloadStartsAfresh)
{
    registry->Show("mainmenu");
    QPointer<QTimer> timer = control<QTimer>("mainmenu", "Timerclock");
    control<QLineEdit>("mainmenu", "Txtdate")->setText("changed");
    registry->Unload("mainmenu");
    EXPECT_TRUE(!timer || !timer->isActive());
    flush();
    EXPECT_TRUE(timer.isNull());
    registry->Show("mainmenu");
    EXPECT_NE(control<QLineEdit>("mainmenu", "Txtdate")->text(), "changed");
}

// The watch runs from the first full main menu to EXIT, whichever way the
// operator came and whichever screens opened and closed, and the menu says
// in one line what it watches or why it cannot.
TEST_F(ShellScreens, TheWatchStateLineFollowsEveryPathThroughTheMenu)
{
    const QString rx = tmp.path() + "/rx";
    QDir().mkpath(rx);
    writeStore("receive.dat", (rx + "\r\n").toUtf8());
    ReceiveWatch& watch = context->receiveWatch;
    const auto line = [this] { return control<QLabel>("mainmenu", "lblWatchState")->text(); };
    const QString watching = "Watching the receive folder: " + rx;

    enterMainMenu();
    EXPECT_FALSE(watch.isActive()) << "the restricted menu does not watch yet";
    EXPECT_EQ(line(), "The receive folder is not watched yet");

    // ENTER, SETTINGS and back.
    click("mainmenu", "SETTINGS");
    click("frsettings", "Command1");
    EXPECT_TRUE(watch.isActive());
    EXPECT_EQ(line(), watching);

    // Read Inbox and its Exit, the chooser and back.
    click("mainmenu", "RECEIVE");
    click("received", "Cmdexit");
    click("mainmenu", "PACKETMAIL");
    EXPECT_TRUE(watch.isActive());
    click("frmdecide", "Cmdreturnmain");
    EXPECT_EQ(line(), watching);

    // The folder goes and comes back; the line follows at the next tick.
    QDir(rx).removeRecursively();
    watch.Check();
    EXPECT_EQ(line(), "Not watching: the receive folder does not exist: " + rx);
    QDir().mkpath(rx);
    watch.Check();
    EXPECT_EQ(line(), watching);
    writeStore("receive.dat", "");
    watch.Check();
    EXPECT_EQ(line(), "Not watching: receive.dat names no folder");
    writeStore("receive.dat", (rx + "\r\n").toUtf8());
    watch.Check();

    // EXIT ends it; RE-ENTER starts it again.
    click("mainmenu", "exit");
    EXPECT_FALSE(watch.isActive());
    click("ENTER", "reenter");
    EXPECT_TRUE(watch.isActive());
    EXPECT_EQ(line(), watching);
    click("mainmenu", "exit");

    // The self-test path: the received screen starts it, and it stays.
    click("ENTER", "Command3");
    click("mainmenu", "testprogram");
    EXPECT_TRUE(watch.isActive());
    click("received", "Cmdexit");
    EXPECT_TRUE(watch.isActive());
    EXPECT_EQ(line(), watching);
    fileoperation::ReleaseReceiveMonitor();
}

TEST_F(ShellScreens, TheBlinkingNoticeMovesNothing)
{
    registry->Show("mainmenu");
    Screen* menu = registry->loaded("mainmenu");
    auto* notice = control<QLabel>("mainmenu", "Label1");
    const auto settle = [menu] {
        menu->layout()->activate();
        QCoreApplication::processEvents();
    };
    // As after "Read Inbox": the warning line hidden, the notice blinking;
    // without the watch line nothing else takes up the room it leaves.
    control<QLabel>("mainmenu", "Label2")->setVisible(false);
    control<QLabel>("mainmenu", "lblWatchState")->setVisible(false);
    for (const QString& text : {QString(), QString("A Message Has Arrived ")}) {
        notice->setText(text);
        notice->setVisible(true);
        settle();
        const QRect shown = control<QWidget>("mainmenu", "exit")->geometry();
        notice->setVisible(false);
        settle();
        EXPECT_EQ(control<QWidget>("mainmenu", "exit")->geometry(), shown) << text.toStdString();
    }
}

TEST_F(ShellScreens, AnErrorEscapingATimerHandlerIsShownAndTheProgramGoesOn)
{
    ASSERT_NE(Application::instance(), nullptr);
    registry->Show("mainmenu");
    Screen* menu = registry->loaded("mainmenu");
    dialogs.clear();
    QTimer::singleShot(0, menu, [] { throw std::logic_error("tick failed"); });
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].text, "Unexpected error: tick failed");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Critical);

    // The program goes on: the menu's own handlers still answer.
    dialogs.clear();
    QTest::keyClick(control<QPushButton>("mainmenu", "checktnc"), Qt::Key_Space);
    EXPECT_EQ(dialogs.texts(), QStringList{"WinTNC, EasyTerm, or TOLVAN Terminal window not found."});
    EXPECT_TRUE(menu->isVisible());
}

TEST_F(ShellScreens, AnErrorEscapingAButtonHandlerIsShownAndTheProgramGoesOn)
{
#if defined(__SANITIZE_ADDRESS__)
    // Qt Widgets is built without unwinding cleanups, so the few bytes its own
    // frames hold while the error passes are lost; the leak check would fail.
    GTEST_SKIP() << "the leak check counts what Qt's frames drop";
#endif
    registry->Show("mainmenu");
    auto* button = control<QPushButton>("mainmenu", "checktnc");
    ASSERT_NE(button, nullptr);
    const QMetaObject::Connection faulty =
        QObject::connect(button, &QPushButton::clicked, button, [] { throw std::runtime_error("disk on fire"); });
    dialogs.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_FALSE(dialogs.boxes.isEmpty());
    EXPECT_EQ(dialogs.boxes.last().text, "Unexpected error: disk on fire");
    EXPECT_EQ(dialogs.boxes.last().icon, MsgIcon::Critical);
    QObject::disconnect(faulty);

    dialogs.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(dialogs.texts(), QStringList{"WinTNC, EasyTerm, or TOLVAN Terminal window not found."});
}

TEST(ScreenPlacement, CentresOnTheAreaOrKeepsTheCornerOnIt)
{
    struct Case {
        QRect area;
        QSize size;
        QPoint corner;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, {520, 420}, {700, 330}},
        {{1920, 0, 1280, 1024}, {520, 420}, {2300, 302}}, // a second monitor to the right
        {{0, 24, 1366, 744}, {1340, 720}, {13, 36}},      // a panel at the top
        {{0, 0, 800, 600}, {1340, 720}, {0, 0}},          // larger than the monitor
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Screen::centredOn(c.area, c.size), c.corner) << c.area.x() << "," << c.size.width();
    }
}

TEST_F(ShellScreens, ScreensOpenCentredAndMoveByTheirBackground)
{
    for (const char* name : {"ENTER", "DIRCHANGE", "mainmenu"}) {
        Screen* s = registry->Show(name);
        ASSERT_NE(s, nullptr);
        const QRect area = s->screen()->availableGeometry();
        EXPECT_EQ(s->pos(), Screen::centredOn(area, s->frameGeometry().size())) << name;
        registry->Unload(name);
        flush();
    }

    // Dragging the background of a screen without title bar moves it, only
    // while the button is held.
    Screen* enter = registry->Show("ENTER");
    ASSERT_TRUE(enter->windowFlags().testFlag(Qt::FramelessWindowHint));
    // Each event is made just before it is sent: events of one pointer share
    // their point, so a later one would move an earlier one's position.
    const auto send = [enter](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, at, enter->mapToGlobal(at), button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(enter, &e);
    };
    const QPoint before = enter->pos();
    const QPoint grab(5, 5);
    send(QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, grab + QPoint(40, 30), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grab, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(enter->pos(), before + QPoint(40, 30));

    // After a plain click the screen no longer follows the pointer, not even
    // a move that still reports the button (one delivered late).
    const QPoint placed = enter->pos();
    send(QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grab, Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseMove, grab + QPoint(60, 60), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(enter->pos(), placed);
}

TEST_F(ShellScreens, EntryScreenNamesTheStationAndTheFirstStep)
{
    registry->Show("ENTER");
    auto* station = control<QLabel>("ENTER", "lblStation");
    ASSERT_NE(station, nullptr);
    EXPECT_EQ(station->text(), "Station folder: prog");
    EXPECT_TRUE(registry->loaded("ENTER")->windowTitle().endsWith(" - prog"));
    // No folder set up yet: the first step is SETUP.
    EXPECT_TRUE(shown("ENTER", "lblFirstRun"));
    EXPECT_TRUE(control<QLabel>("ENTER", "lblFirstRun")->text().contains("SETUP"));

    writeStore("send.dat", "/srv/out\r\n");
    registry->Unload("ENTER");
    flush();
    registry->Show("ENTER");
    // Folders set, no call sign yet: the hint names it and where it is typed.
    EXPECT_TRUE(shown("ENTER", "lblFirstRun"));
    EXPECT_TRUE(control<QLabel>("ENTER", "lblFirstRun")->text().contains("call sign. Press ENTER, then SETTINGS"));

    writeStore("terminalcall.dat", "N0CALL\r\n");
    registry->Unload("ENTER");
    flush();
    registry->Show("ENTER");
    EXPECT_FALSE(shown("ENTER", "lblFirstRun"));
}

// Every screen of the program, as the operator sees it.
namespace {

double luminance(const QColor& c)
{
    auto lin = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
}

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Controls that paint their own background; anything else shows what lies behind it.
bool paintsBackground(const QWidget* w)
{
    return w->isWindow() || w->autoFillBackground() || qobject_cast<const QPushButton*>(w) ||
           qobject_cast<const QLineEdit*>(w) || w->styleSheet().contains("background-color");
}

QColor backgroundBehind(const QWidget* w, QPalette::ColorGroup group)
{
    for (const QWidget* p = w; p; p = p->parentWidget()) {
        if (paintsBackground(p)) {
            return p->palette().color(group, p->backgroundRole());
        }
    }
    return Qt::white;
}

QString textOf(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w)) {
        return l->text();
    }
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) {
        return b->text();
    }
    if (auto* e = qobject_cast<const QLineEdit*>(w)) {
        return e->text();
    }
    return {};
}

const char* const kScreens[] = {"ENTER",    "frmdecide",   "mainmenu", "frsettings",   "DIRCHANGE",
                                "mailform", "inboxform",   "saveform", "readform",     "received",
                                "sendfile", "receivefile", "frm7Plus", "PACKETWINLINK"};

class EveryScreen : public ShellScreens, public ::testing::WithParamInterface<const char*> {
protected:
    // The screen loaded with a station set up, so that lists and boxes fill.
    Screen* open()
    {
        for (const char* file : {"send.dat", "receive.dat", "save.dat", "received.dat"}) {
            QDir().mkpath(tmp.path() + "/" + file);
            writeStore(file, (tmp.path() + "/" + file + "\r\n").toUtf8());
        }
        Screen* s = registry->Show(QString::fromLatin1(GetParam()));
        if (s) {
            s->ensurePolished();
            for (QWidget* w : s->findChildren<QWidget*>()) {
                w->ensurePolished();
            }
        }
        return s;
    }
};

} // namespace

// Text and its background meet a contrast ratio of 4.5:1 in the enabled and
// the disabled state, taken from the palettes the style sheets leave.
TEST_P(EveryScreen, EveryTextHasEnoughContrast)
{
    Screen* s = open();
    ASSERT_NE(s, nullptr);
    int checked = 0;
    for (QWidget* w : s->findChildren<QWidget*>()) {
        const bool kind = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w);
        if (!kind || textOf(w).trimmed().isEmpty()) {
            continue;
        }
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Disabled}) {
            const QColor text = w->palette().color(group, w->foregroundRole());
            if (text.alpha() == 0) {
                continue; // the caption is drawn by a label on top of it
            }
            const QColor back = backgroundBehind(w, group);
            EXPECT_GE(contrast(text, back), 4.5)
                << GetParam() << "/" << w->objectName().toStdString() << " \"" << textOf(w).toStdString() << "\" "
                << (group == QPalette::Active ? "enabled " : "disabled ") << text.name().toStdString() << " on "
                << back.name().toStdString();
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

INSTANTIATE_TEST_SUITE_P(Screens, EveryScreen, ::testing::ValuesIn(kScreens));

TEST_F(ShellScreens, TheScreenListNamesEveryScreen)
{
    QStringList names = registry->names();
    QStringList listed;
    for (const char* n : kScreens) {
        listed << n;
    }
    names.sort();
    listed.sort();
    EXPECT_EQ(names, listed);
}

// No caption is cut off: each label and button is at least as large as its text.
TEST_P(EveryScreen, EveryTextFitsItsControl)
{
    Screen* s = open();
    ASSERT_NE(s, nullptr);
    QCoreApplication::processEvents();
    for (QWidget* w : s->findChildren<QWidget*>()) {
        const QString text = textOf(w);
        if (!w->isVisibleTo(s) || text.trimmed().isEmpty() || qobject_cast<QLineEdit*>(w)) {
            continue;
        }
        const std::string where =
            std::string(GetParam()) + "/" + w->objectName().toStdString() + " \"" + text.toStdString() + "\"";
        const QFontMetrics fm = w->fontMetrics();
        if (auto* l = qobject_cast<QLabel*>(w)) {
            if (l->wordWrap()) {
                EXPECT_LE(l->heightForWidth(l->width()), l->height()) << where;
            } else {
                const QSize need = fm.size(Qt::TextShowMnemonic, text);
                EXPECT_LE(need.width(), l->contentsRect().width()) << where;
                EXPECT_LE(need.height(), l->contentsRect().height()) << where;
            }
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->palette().color(QPalette::ButtonText).alpha() == 0) {
                continue; // a wrapping label on top shows the caption
            }
            // A push button's text needs a few pixels of frame; a check box its indicator too.
            const int need =
                qobject_cast<QPushButton*>(w) ? fm.size(Qt::TextShowMnemonic, text).width() + 6 : b->sizeHint().width();
            EXPECT_LE(need, b->width()) << where;
        }
    }
}
