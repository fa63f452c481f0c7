#include "ScreenFixture.h"

#include "programs/PACKETWINLINK.h"

#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace tolvan;
using tolvan::test::ScreenFixture;

namespace {

// Each program's button-state file and the start button it arms or disables.
const std::pair<const char*, const char*> kStateFiles[] = {
    {"buttonstate.dat", "Command1"},      {"buttonstates.dat", "Command4"}, {"buttonstatess.dat", "Command2"},
    {"buttonstatesss.dat", "Command11"},  {"buttonstatessss.dat", "serialswitch"}, {"thestate.dat", "Command16"},
    {"VARAstate.dat", "Command14"},       {"TLVstate.dat", "Command19"}};

class CommunicationCenter : public ScreenFixture {
protected:
    QString send;

    void SetUp() override
    {
        ScreenFixture::SetUp();
        send = tmp.path() + "/send";
        QDir().mkpath(send);
    }

    PACKETWINLINK* screen() { return qobject_cast<PACKETWINLINK*>(registry->loaded("PACKETWINLINK")); }
    QPushButton* button(const char* name) { return control<QPushButton>("PACKETWINLINK", name); }
    void reload()
    {
        registry->Unload("PACKETWINLINK");
        flush();
        registry->Show("PACKETWINLINK");
    }
    QStringList disabledStartButtons()
    {
        QStringList out;
        for (const auto& [file, name] : kStateFiles) {
            if (!button(name)->isEnabled()) {
                out << name;
            }
        }
        return out;
    }
    void mail(const QString& name)
    {
        QFile f(send + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
};

} // namespace

TEST_F(CommunicationCenter, OpensFromTheMainMenuAndEachStateFileDisablesOnlyItsButton)
{
    registry->Show("mainmenu");
    click("mainmenu", "SEND");
    ASSERT_NE(screen(), nullptr);
    EXPECT_TRUE(screen()->isVisible());
    EXPECT_TRUE(registry->loaded("mainmenu")->isVisible());
    for (const char* hidden : {"Command16", "Command17", "Command18"}) {
        EXPECT_FALSE(shown("PACKETWINLINK", hidden)) << hidden;
    }
    EXPECT_TRUE(disabledStartButtons().isEmpty()); // no state files: every start button armed
    EXPECT_TRUE(screen()->findChild<QLabel*>("Label5")->text().contains("ALT Key on Keyboard to make"));

    for (const auto& [file, name] : kStateFiles) {
        writeStore(file, "False\r\n");
        reload();
        EXPECT_EQ(disabledStartButtons(), QStringList{name}) << file;
        QFile::remove(context->store.existingPath(file));
    }
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

TEST_F(CommunicationCenter, AStartIsRememberedUntilAConfirmedReset)
{
    writeStore("packet.dat", (tmp.path() + "/work/wintnc.exe\r\n").toUtf8());
    QFile(tmp.path() + "/work/wintnc.exe").open(QIODevice::WriteOnly);
    registry->Show("PACKETWINLINK");
    click("PACKETWINLINK", "Command1");
    EXPECT_EQ(processes.started, QStringList{tmp.path() + "/work/wintnc.exe"});
    EXPECT_EQ(processes.outputFiles, QStringList{programFolder() + "/logs/wintnc.exe.log"});
    // Nothing is said until the program has been seen running for a while.
    EXPECT_TRUE(dialogs.boxes.isEmpty());
    EXPECT_FALSE(button("Command1")->isEnabled());
    processes.endWatches();
    EXPECT_EQ(dialogs.texts(), QStringList{"wintnc.exe launched successfully."});
    EXPECT_EQ(speaker.spoken, QStringList{"WINTNC launched successfully"});

    reload();
    EXPECT_EQ(disabledStartButtons(), QStringList{"Command1"});

    // A program that ends at once is reported stopped with its last words,
    // also when the operator has left the screen meanwhile.
    writeStore("buttonstate.dat", "True\r\n");
    reload();
    dialogs.clear();
    click("PACKETWINLINK", "Command1");
    registry->Unload("PACKETWINLINK");
    processes.endWatches(EarlyEnd{{"Could not open audio device", "Pointless to continue."}, "/x/wintnc.exe.log"});
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(dialogs.boxes[0].text, "wintnc.exe stopped right after it was started. The last lines it printed:\n\n"
                                     "Could not open audio device\nPointless to continue.\n\n"
                                     "All it printed is in /x/wintnc.exe.log.");
    EXPECT_EQ(speaker.spoken.last(), "WINTNC stopped");
    registry->Show("PACKETWINLINK");

    dialogs.clear();
    dialogs.answers.enqueue(MsgAnswer::No);
    click("PACKETWINLINK", "Command3");
    EXPECT_EQ(dialogs.texts(), (QStringList{"Do you want to reset WINTNC?", "Reset cancelled."}));
    EXPECT_FALSE(button("Command1")->isEnabled());

    dialogs.answers.enqueue(MsgAnswer::Yes);
    click("PACKETWINLINK", "Command3");
    EXPECT_TRUE(button("Command1")->isEnabled());
    reload();
    EXPECT_TRUE(disabledStartButtons().isEmpty());
}

TEST_F(CommunicationCenter, PacketTerminalSearchPrefersWinTncThenTermThenTolvanTerminal)
{
    registry->Show("PACKETWINLINK");
    desktop.windows = {"TOLVAN Terminal"};
    click("PACKETWINLINK", "Command13");
    desktop.windows = {"TOLVAN Terminal", "Term"};
    click("PACKETWINLINK", "Command13");
    desktop.windows = {"TOLVAN Terminal", "Term", "WinTNC V 2.12"};
    click("PACKETWINLINK", "Command13");
    EXPECT_EQ(desktop.raised, (QStringList{"TOLVAN Terminal", "Term", "WinTNC V 2.12"}));
    EXPECT_TRUE(dialogs.boxes.isEmpty());

    desktop.windows = {"TOLVAN Terminal 2"}; // titles must match exactly
    click("PACKETWINLINK", "Command13");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].text, "WinTNC, EasyTerm, or TOLVAN Terminal window not found.");
    EXPECT_EQ(dialogs.boxes[0].title, "RodiraRudu");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Exclamation);
}

TEST_F(CommunicationCenter, DeletesTheSelectedFileThenAllAndReloads)
{
    mail("MAIL1.txt");
    mail("MAIL2.txt");
    mail("MAIL3.txt");
    writeStore("send.dat", "  " + send.toUtf8() + " \r\n");
    registry->Show("PACKETWINLINK");
    EXPECT_EQ(screen()->listFolder(), send);
    control<QListWidget>("PACKETWINLINK", "File1")->setCurrentRow(1);
    click("PACKETWINLINK", "Command6");
    EXPECT_EQ(dialogs.texts(), QStringList{"File deleted successfully."});
    EXPECT_EQ(screen()->listedFiles(), (QStringList{"MAIL1.txt", "MAIL3.txt"}));

    // Delete All asks first, naming the folder and the count; No (the
    // default) deletes nothing and keeps the screen.
    dialogs.clear();
    QPointer<Screen> before = screen();
    click("PACKETWINLINK", "Command7");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    const MessageBoxRequest q = dialogs.boxes[0];
    EXPECT_EQ(q.text, "Attempting to delete files in: " + send + "/*.*\n\nDelete all 2 files in the send folder " +
                          send + "?\nThey cannot be brought back.");
    EXPECT_EQ(q.buttons, MsgButtons::YesNo);
    EXPECT_EQ(q.defaultButton, MsgAnswer::No);
    EXPECT_EQ(q.icon, MsgIcon::Question);
    EXPECT_FALSE(before.isNull());
    EXPECT_EQ(screen()->listedFiles(), (QStringList{"MAIL1.txt", "MAIL3.txt"}));

    dialogs.clear();
    dialogs.answers << MsgAnswer::Yes;
    click("PACKETWINLINK", "Command7");
    EXPECT_EQ(dialogs.texts().value(1), "All files in the directory have been deleted.");
    EXPECT_TRUE(before.isNull()); // a fresh screen
    ASSERT_NE(screen(), nullptr);
    EXPECT_TRUE(screen()->listedFiles().isEmpty());

    // Nothing left: an error, and the screen is still read afresh.
    dialogs.clear();
    before = screen();
    click("PACKETWINLINK", "Command7");
    EXPECT_TRUE(dialogs.texts().value(0).startsWith("Error deleting files: File not found"))
        << "nothing to ask about";
    EXPECT_TRUE(before.isNull());
}

// The screen is driven by access keys alone. The two D keys ("Reset &Direwolf"
// and "&Delete All") only move the focus between their buttons, so a stray
// Alt+D can never empty the send folder.
TEST_F(CommunicationCenter, AccessKeysWorkAndTheSharedKeyOnlyMovesTheFocus)
{
    mail("MAIL1.txt");
    writeStore("send.dat", send.toUtf8() + "\r\n");
    writeStore("packet.dat", "blank\r\n");
    Screen* s = registry->Show("PACKETWINLINK");
    s->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(s));

    QTest::keyClick(s, Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return button("Command12")->hasFocus() || button("Command7")->hasFocus(); }));
    QWidget* first = QApplication::focusWidget();
    QTest::keyClick(s, Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() != first; }));
    QTest::qWait(50);
    EXPECT_TRUE(dialogs.boxes.isEmpty());
    EXPECT_TRUE(QFile::exists(send + "/MAIL1.txt"));

    QTest::keyClick(s, Qt::Key_G, Qt::AltModifier); // the WINTNC start button
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs.boxes.isEmpty(); }));
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("Error: No program has been chosen for WINTNC."));

    QTest::keyClick(s, Qt::Key_M, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !registry->IsFormLoaded("PACKETWINLINK"); }));
    EXPECT_TRUE(registry->IsFormLoaded("mainmenu"));
}

// Beside each start button a mark and a word say whether the program runs,
// from one scan of the process list per refresh.
TEST_F(CommunicationCenter, StatusMarksFollowTheProcessListAndTheStoredPath)
{
    writeStore("packet.dat", "/opt/wintnc/WinTNC.exe\r\n");
    writeStore("direwolfpacket.dat", "/usr/bin/direwolf\r\n");
    // Direwolf runs from another folder; it is found by its file name.
    processes.processes.append({"/usr/local/bin/direwolf", "direwolf", "direwolf"});
    registry->Show("PACKETWINLINK");
    const auto status = [&](const char* button) {
        return control<QLabel>("PACKETWINLINK", QString("lblStatus") + button)->text();
    };
    EXPECT_EQ(status("Command1"), "\u25CB stopped");
    EXPECT_EQ(status("Command11"), "\u25CF running");
    EXPECT_EQ(status("Command14"), "\u25CB stopped"); // no path set

    struct Step {
        const char* what;
        std::function<void()> change;
        const char* wintnc;
        const char* direwolf;
    };
    const Step steps[] = {
        {"started", [&] { processes.processes.append({"", "C:\\radio\\WINTNC.EXE", "wine"}); }, "\u25CF running",
         "\u25CF running"},
        {"stopped", [&] { processes.processes.removeFirst(); }, "\u25CF running", "\u25CB stopped"},
        {"renamed path", [&] { writeStore("packet.dat", "/opt/wintnc/wintnc2.exe\r\n"); }, "\u25CB stopped",
         "\u25CB stopped"},
    };
    for (const Step& s : steps) {
        s.change();
        const int scans = processes.listScans;
        QMetaObject::invokeMethod(screen(), "TimerStatus_Timer");
        EXPECT_EQ(processes.listScans, scans + 1) << s.what;
        EXPECT_EQ(status("Command1"), s.wintnc) << s.what;
        EXPECT_EQ(status("Command11"), s.direwolf) << s.what;
    }
    auto* timer = screen()->findChild<QTimer*>("TimerStatus");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 2000);
    screen()->hide();
    EXPECT_FALSE(timer->isActive());
    // The hidden row's mark stays hidden with its button.
    EXPECT_FALSE(control<QLabel>("PACKETWINLINK", "lblStatusCommand16")->isVisible());
}
