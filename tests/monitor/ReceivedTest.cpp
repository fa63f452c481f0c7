#include "ScreenFixture.h"

#include "monitor/filemonitors.h"
#include "monitor/fileoperation.h"
#include "monitor/received.h"
#include "pmba/FileMail.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <unistd.h>

using namespace tolvan;
using tolvan::test::ScreenFixture;

namespace {

class ReceivedScreen : public ScreenFixture {
protected:
    QString rx() const { return tmp.path() + "/rx"; }
    QString at(const QString& name) const { return rx() + "/" + name; }

    void SetUp() override
    {
        ScreenFixture::SetUp();
        QDir().mkpath(rx());
        writeStore("receive.dat", (rx() + "\r\n").toUtf8());
    }
    void TearDown() override
    {
        fileoperation::ReleaseReceiveMonitor();
        ScreenFixture::TearDown();
    }

    void put(const QString& name, const QByteArray& bytes)
    {
        QFile f(at(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QStringList listed()
    {
        QStringList names;
        auto* list = control<QListWidget>("received", "File1");
        for (int i = 0; list && i < list->count(); ++i) {
            names << list->item(i)->text();
        }
        return names;
    }
    void select(const QString& name)
    {
        auto* list = control<QListWidget>("received", "File1");
        ASSERT_NE(list, nullptr);
        const auto items = list->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1) << name.toStdString();
        list->setCurrentItem(items.first());
    }
    void tick()
    {
        ASSERT_NE(fileoperation::ReceiveMonitor(), nullptr);
        fileoperation::ReceiveMonitor()->TimerScan_Timer();
    }
    QString boxText(const QString& screen, const QString& name)
    {
        if (auto* e = control<QLineEdit>(screen, name)) {
            return e->text();
        }
        auto* p = control<QPlainTextEdit>(screen, name);
        return p ? p->toPlainText() : QString("<none>");
    }
};

} // namespace

TEST_F(ReceivedScreen, LoadingStartsTheWatchAndListsTheFolder)
{
    put("b.txt", "x");
    put("a.txt", "x");
    put(".hidden", "x");
    registry->Show("received");
    EXPECT_EQ(listed(), (QStringList{"a.txt", "b.txt"}));
    EXPECT_FALSE(shown("received", "Text1"));
    auto* timer = control<QTimer>("received", "Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_EQ(control<QTimer>("received", "Timer2")->interval(), 500);
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

TEST_F(ReceivedScreen, ArrivalIsSpokenOnceAndShownOnTheMainMenu)
{
    registry->Show("mainmenu");
    put("one", "x");
    registry->Show("received");
    speaker.spoken.clear();

    tick();
    EXPECT_TRUE(speaker.spoken.isEmpty()) << "files present at the start are known";

    put("two", "x");
    put("three", "x");
    tick();
    EXPECT_EQ(speaker.spoken, QStringList{received::kArrivalWarning});
    auto* notice = control<QLabel>("mainmenu", "Label1");
    auto* check = control<QLabel>("mainmenu", "Label2");
    EXPECT_EQ(notice->text(), "A Message Has Arrived ");
    EXPECT_EQ(check->text(), " Warning Check Packet Program to ensure total message received before opening");
    EXPECT_FALSE(notice->isHidden());
    EXPECT_FALSE(check->isHidden());
    EXPECT_EQ(listed(), (QStringList{"one", "three", "two"}));

    // Timer2 makes the notice blink.
    auto* screen = qobject_cast<received*>(registry->loaded("received"));
    screen->Timer2_Timer();
    EXPECT_TRUE(notice->isHidden());
    screen->Timer2_Timer();
    EXPECT_FALSE(notice->isHidden());

    tick();
    EXPECT_EQ(speaker.spoken.size(), 1);
}

TEST_F(ReceivedScreen, ArrivalWithSoundOffIsShownWithoutSpeech)
{
    writeStore("soundsettings.dat", "0\r\n");
    registry->Show("mainmenu");
    registry->Show("received");
    speaker.spoken.clear();
    put("new", "x");
    tick();
    EXPECT_TRUE(speaker.spoken.isEmpty());
    EXPECT_EQ(control<QLabel>("mainmenu", "Label1")->text(), "A Message Has Arrived ");
}

TEST_F(ReceivedScreen, ArrivalDoesNotLoadTheMainMenu)
{
    registry->Show("received");
    registry->Show("inboxform");
    put("new", "x");
    tick();
    EXPECT_FALSE(registry->IsFormLoaded("mainmenu"));
    EXPECT_TRUE(registry->IsFormLoaded("inboxform"));
    EXPECT_EQ(speaker.spoken, QStringList{received::kArrivalWarning});
}

TEST_F(ReceivedScreen, ReadingAMailOpensTheInboxAndRemovesTheFile)
{
    put("MAIL - 143507.txt", "84 79 58 32 65,83,72 73,66\r\n");
    registry->Show("received");
    select("MAIL - 143507.txt");
    click("received", "Command2");

    EXPECT_TRUE(dialogs.boxes.isEmpty()) << dialogs.texts().join(" | ").toStdString();
    EXPECT_FALSE(QFile::exists(at("MAIL - 143507.txt")));
    EXPECT_EQ(readFile("mail.dat"), "84 79 58 32 65,83,72 73,66\r\n\r\n");
    ASSERT_TRUE(registry->IsFormLoaded("inboxform"));
    EXPECT_TRUE(registry->loaded("inboxform")->isVisible());
    EXPECT_TRUE(registry->loaded("received")->isVisible()) << "the list stays behind the inbox";
    EXPECT_EQ(boxText("inboxform", "Text3"), "TO: A");
    EXPECT_EQ(boxText("inboxform", "Text2"), "S");
    EXPECT_EQ(boxText("inboxform", "Text1"), "HI");
    EXPECT_EQ(boxText("inboxform", "Text4"), "B");
    EXPECT_TRUE(listed().isEmpty());
}

TEST_F(ReceivedScreen, RefusedAndBrokenFilesStayAndOpenNothing)
{
    put("noise.bin", "nothing");
    put("empty", "");
    registry->Show("received");
    select("noise.bin");
    click("received", "Command2");
    select("empty");
    click("received", "Command2");
    ASSERT_EQ(dialogs.boxes.size(), 2);
    EXPECT_EQ(dialogs.boxes[0].text, "Unrecognized file type.");
    EXPECT_EQ(dialogs.boxes[1].title, "Receive Error");
    EXPECT_EQ(listed(), (QStringList{"empty", "noise.bin"}));
    EXPECT_FALSE(registry->IsFormLoaded("inboxform"));
    EXPECT_FALSE(registry->IsFormLoaded("receivefile"));
    EXPECT_TRUE(registry->loaded("received")->isVisible());
}

TEST_F(ReceivedScreen, FileMailGoesToTheAttachmentScreen)
{
    const QByteArray mail = FileMail::Build({"hello", "subj", "to", "from", "carried.bin", "DATA"});
    put("File - 120000.txt", mail);
    registry->Show("received");
    select("File - 120000.txt");
    click("received", "Command2");

    EXPECT_TRUE(dialogs.boxes.isEmpty()) << dialogs.texts().join(" | ").toStdString();
    EXPECT_FALSE(QFile::exists(at("File - 120000.txt")));
    EXPECT_EQ(readFile(programFolder() + "temp"), mail);
    ASSERT_TRUE(registry->IsFormLoaded("receivefile"));
    EXPECT_TRUE(registry->loaded("receivefile")->isVisible());
    EXPECT_FALSE(registry->loaded("received")->isVisible());
    EXPECT_EQ(boxText("receivefile", "Text1"), "hello");
    EXPECT_EQ(boxText("receivefile", "Text5"), programFolder() + "/carried.bin");
    EXPECT_EQ(readFile(programFolder() + "/carried.bin"), "DATA");
}

TEST_F(ReceivedScreen, DeleteRemovesTheSelectedFile)
{
    put("a", "x");
    put("b", "x");
    registry->Show("received");
    click("received", "Command1");
    EXPECT_TRUE(dialogs.boxes.isEmpty()) << "no selection does nothing";

    select("a");
    click("received", "Command1");
    EXPECT_EQ(dialogs.texts(), QStringList{"file deleted successfully"});
    EXPECT_EQ(listed(), QStringList{"b"});
}

TEST_F(ReceivedScreen, FocusAndArrowsPickNothingToReadOrDelete)
{
    put("MAIL - 1.txt", "84 79,83,72 73,66\r\n");
    put("MAIL - 2.txt", "84 79,83,72 73,66\r\n");
    registry->Show("received");
    auto* list = control<QListWidget>("received", "File1");
    QFocusEvent tabbedIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(list, &tabbedIn);
    EXPECT_EQ(list->currentRow(), 0); // the row Qt made current
    QTest::keyClick(list, Qt::Key_Down);

    click("received", "Command2");
    EXPECT_EQ(dialogs.texts(), QStringList{"No file selected."});
    click("received", "Command1");
    EXPECT_EQ(listed(), (QStringList{"MAIL - 1.txt", "MAIL - 2.txt"}));
    EXPECT_FALSE(registry->IsFormLoaded("inboxform"));

    // Enter on the highlighted entry picks it.
    QTest::keyClick(list, Qt::Key_Return);
    dialogs.clear();
    click("received", "Command2");
    EXPECT_TRUE(QFile::exists(at("MAIL - 1.txt")));
    EXPECT_FALSE(QFile::exists(at("MAIL - 2.txt")));
    EXPECT_TRUE(registry->IsFormLoaded("inboxform"));
}

// Deleting can fail while another program holds the file; the operator may
// try again or give up. As root only an immutable folder refuses a delete.
class KillFileTest : public ReceivedScreen {
protected:
    QString locked() const { return tmp.path() + "/locked"; }
    bool lock(bool on)
    {
        if (geteuid() == 0) {
            return QProcess::execute("chattr", {on ? "+i" : "-i", locked()}) == 0;
        }
        return QFile::setPermissions(locked(), on ? QFile::ReadOwner | QFile::ExeOwner
                                                  : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void SetUp() override
    {
        ReceivedScreen::SetUp();
        QDir().mkpath(locked());
        QFile f(locked() + "/MAIL.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        if (!lock(true) || QFile(locked() + "/probe").open(QIODevice::WriteOnly)) {
            lock(false);
            GTEST_SKIP() << "this system cannot make a folder refuse deletions";
        }
    }
    void TearDown() override
    {
        lock(false);
        ReceivedScreen::TearDown();
    }
};

TEST_F(KillFileTest, TryingAgainSucceedsOnceTheFileIsFree)
{
    registry->Show("received");
    auto* screen = qobject_cast<received*>(registry->loaded("received"));
    dialogs.answers << MsgAnswer::Yes;
    // The packet program lets go of the file while the screens repaint.
    QTimer::singleShot(0, [this] { lock(false); });
    EXPECT_TRUE(screen->KillFile(locked() + "/MAIL.txt"));
    EXPECT_EQ(dialogs.boxes.size(), 1);
    EXPECT_FALSE(QFile::exists(locked() + "/MAIL.txt"));
}
