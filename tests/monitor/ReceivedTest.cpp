#include "ScreenFixture.h"

#include "monitor/filemonitors.h"
#include "monitor/fileoperation.h"
#include "monitor/received.h"
#include "pmba/FileMail.h"
#include "sevenplus/Mod7plus.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>

#include <fcntl.h>
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
    // The lines a list of the received screen shows.
    QStringList items(const char* listName)
    {
        QStringList lines;
        auto* list = control<QListWidget>("received", listName);
        for (int i = 0; list && i < list->count(); ++i) {
            lines << list->item(i)->text();
        }
        return lines;
    }
    QStringList listed() { return items("File1"); }
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
    put("one", "x");
    registry->Show("mainmenu");
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

// Compose open, the main menu closed: the arrival is not lost, the menu
// shows it when it comes back, until "&Read Inbox" takes it up.
TEST_F(ReceivedScreen, ArrivalWhileTheMainMenuIsClosedIsShownWhenItComesBack)
{
    registry->Show("received");
    registry->Show("mailform");
    put("new", "x");
    tick();
    EXPECT_FALSE(registry->IsFormLoaded("mainmenu"));
    EXPECT_TRUE(registry->IsFormLoaded("mailform"));
    EXPECT_EQ(speaker.spoken, QStringList{received::kArrivalWarning});
    registry->Unload("mailform");
    registry->Show("mainmenu");
    EXPECT_EQ(control<QLabel>("mainmenu", "Label1")->text(), received::kArrivalNotice);
    EXPECT_TRUE(shown("mainmenu", "Label2"));
    click("mainmenu", "RECEIVE");
    registry->Unload("mainmenu");
    registry->Show("mainmenu");
    EXPECT_TRUE(control<QLabel>("mainmenu", "Label1")->text().isEmpty());
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

TEST_F(ReceivedScreen, AMailStillBeingWrittenIsNeitherAnnouncedNorRead)
{
    context->receiveWatch.quietPeriod = std::chrono::milliseconds(300);
    registry->Show("mainmenu");
    registry->Show("received");
    speaker.spoken.clear();
    const QString name = "MAIL - 143507.txt";
    const QByteArray mail = "84 79 58 32 65,83,72 73 32 84 72 69 82 69,70 82 79 77 32 66\r\n";

    // The packet program writes the mail in three pieces, pausing longer than
    // the quiet period and a tick, and holds the file open until the end.
    std::atomic<bool> lastByte = false;
    std::thread writer([&] {
        const int fd = ::open(QFile::encodeName(at(name)).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (int piece = 0; piece < 3; ++piece) {
            const qsizetype from = mail.size() * piece / 3;
            [[maybe_unused]] const ssize_t n =
                ::write(fd, mail.constData() + from, size_t(mail.size() * (piece + 1) / 3 - from));
            if (piece < 2) {
                std::this_thread::sleep_for(std::chrono::milliseconds(450));
            }
        }
        lastByte = true;
        ::close(fd);
    });
    bool triedToRead = false;
    while (!lastByte) {
        tick();
        if (!lastByte && QFile::exists(at(name))) {
            EXPECT_TRUE(speaker.spoken.isEmpty());
            if (!triedToRead) {
                static_cast<received*>(registry->loaded("received"))->refreshFileList();
                select(name);
                click("received", "Command2");
                triedToRead = true;
            }
        }
        QTest::qWait(100);
    }
    writer.join();
    ASSERT_TRUE(triedToRead);
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("The file \"MAIL - 143507.txt\" is still arriving."))
        << dialogs.boxes[0].text.toStdString();
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_FALSE(registry->IsFormLoaded("inboxform"));
    EXPECT_FALSE(QFile::exists("mail.dat"));

    for (int i = 0; i < 6; ++i) {
        tick();
        QTest::qWait(100);
    }
    EXPECT_EQ(speaker.spoken, QStringList{received::kArrivalWarning});
    select(name);
    click("received", "Command2");
    EXPECT_EQ(dialogs.boxes.size(), 1) << dialogs.texts().join(" | ").toStdString();
    EXPECT_EQ(readFile("mail.dat"), mail + "\r\n");
    EXPECT_FALSE(QFile::exists(at(name)));
}

TEST_F(ReceivedScreen, ExitLeavesTheWatchRunning)
{
    registry->Show("received");
    click("received", "Cmdexit");
    EXPECT_FALSE(registry->IsFormLoaded("received"));
    EXPECT_TRUE(context->receiveWatch.isActive());
    ASSERT_NE(fileoperation::ReceiveMonitor(), nullptr);
    EXPECT_TRUE(fileoperation::ReceiveMonitor()->IsRunning());
    speaker.spoken.clear();
    put("new", "x");
    tick();
    EXPECT_EQ(speaker.spoken, QStringList{received::kArrivalWarning});
    EXPECT_EQ(control<QLabel>("mainmenu", "Label1")->text(), "A Message Has Arrived ");
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
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("Unrecognized file type.\n\n" + at("noise.bin")));
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
    // The carried file goes to the attachment folder, not beside the program.
    EXPECT_EQ(boxText("receivefile", "Text5"), programFolder() + "/PMBA-Binary-Received/carried.bin");
    EXPECT_EQ(readFile(programFolder() + "/PMBA-Binary-Received/carried.bin"), "DATA");
}

TEST_F(ReceivedScreen, DeleteAsksFirstAndOnlyYesDeletes)
{
    put("a", "x");
    put("b", "x");
    registry->Show("received");
    click("received", "Command1");
    EXPECT_TRUE(dialogs.boxes.isEmpty()) << "no selection does nothing";

    select("a");
    click("received", "Command1"); // the default answer
    ASSERT_EQ(dialogs.boxes.size(), 1);
    const MessageBoxRequest& q = dialogs.boxes[0];
    EXPECT_EQ(q.buttons, MsgButtons::YesNo);
    EXPECT_EQ(q.defaultButton, MsgAnswer::No);
    EXPECT_EQ(q.icon, MsgIcon::Question);
    EXPECT_TRUE(q.text.startsWith("Delete 1 file from the receive folder " + rx() + "?\n\na\n"))
        << q.text.toStdString();
    EXPECT_EQ(listed(), (QStringList{"a", "b"}));

    dialogs.clear();
    dialogs.answers << MsgAnswer::Yes;
    click("received", "Command1");
    EXPECT_EQ(dialogs.texts().value(1), "file deleted successfully");
    EXPECT_EQ(listed(), QStringList{"b"});
}

// Mail in clear from other software: shown whole, with a notice, and auto-save
// keeps it; the incoming file goes only after that hand-over.
TEST_F(ReceivedScreen, PlainTextMailIsShownWholeAndAutoSaved)
{
    const QString save = tmp.path() + "/save";
    QDir().mkpath(save);
    writeStore("save.dat", (save + "\r\n").toUtf8());
    writeStore("autosave.dat", "1\r\n");
    put("MAIL - 143507.txt", "Hello John,\r\nQSO at 14:30, 73\r\nBob\r\n");
    registry->Show("received");
    select("MAIL - 143507.txt");
    click("received", "Command2");

    EXPECT_TRUE(dialogs.boxes.isEmpty()) << dialogs.texts().join(" | ").toStdString();
    EXPECT_FALSE(QFile::exists(at("MAIL - 143507.txt")));
    EXPECT_EQ(boxText("inboxform", "Text3"), "");
    EXPECT_EQ(boxText("inboxform", "Text2"), "");
    EXPECT_EQ(boxText("inboxform", "Text1"), "Hello John,\nQSO at 14:30, 73\nBob");
    EXPECT_EQ(boxText("inboxform", "Text4"), "");
    EXPECT_TRUE(shown("inboxform", "lblNotCoded"));

    click("inboxform", "Command2");
    EXPECT_EQ(readFile(save + "/mail_26-12-05_1435.dat"), ",,Hello John,\r\nQSO at 14:30, 73\r\nBob,\r\n");
}

// A mail or file mail its reader refuses stays, and the box names it and the fault.
TEST_F(ReceivedScreen, UndecodableMailsStayAndTheBoxNamesFileAndFault)
{
    const struct {
        const char* name;
        QByteArray content;
        const char* fault;
    } cases[] = {
        {"MAIL - 1.txt", "84 79,83\r\n", "File content is not in the expected format."},
        {"MAIL - 2.txt", "84,83 999,72,66\r\n", "The Subject field of the mail could not be decoded: "},
        {"File - 1.txt", "plain words!", "Error: The file mail is not valid Base64 text!"},
        {"File - 2.txt", QByteArray("m,s,t,f").toBase64() + "\r\n", "Error: Decoded data format is incorrect!"},
    };
    for (const auto& c : cases) {
        put(c.name, c.content);
    }
    registry->Show("received");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.clear();
        select(c.name);
        click("received", "Command2");
        ASSERT_EQ(dialogs.boxes.size(), 1);
        EXPECT_TRUE(dialogs.boxes[0].text.contains(at(c.name))) << dialogs.boxes[0].text.toStdString();
        EXPECT_TRUE(dialogs.boxes[0].text.contains(c.fault)) << dialogs.boxes[0].text.toStdString();
        EXPECT_EQ(readFile(at(c.name)), c.content);
    }
    EXPECT_EQ(listed().size(), 4);
    EXPECT_FALSE(registry->IsFormLoaded("inboxform"));
    EXPECT_FALSE(registry->IsFormLoaded("receivefile"));
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

// 7PLUS parts in the receive folder: a 100 kB photo in four parts arrives out
// of order, part 2 last. The screen lists the set after each arrival, "Read
// Message" on an incomplete set names what is missing and keeps the parts,
// "Ask for missing parts" fills in the compose screen, the last part is
// announced once as a complete file, and reading any part decodes the set;
// the operator's answer decides whether the parts go.
class ReceivedSevenPlus : public ReceivedScreen, public ::testing::WithParamInterface<bool> {
protected:
    QByteArray original;
    QString parts;

    void encodePhoto(qint64 size)
    {
        const QString src = tmp.path() + "/a";
        QDir().mkpath(src);
        original.resize(size);
        for (qsizetype i = 0; i < size; ++i) {
            original[i] = char((i * 7919) >> 3);
        }
        QFile f(src + "/photo.jpg");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(original);
        f.close();
        const Result<QString> encoded = Mod7plus::Encode7PlusFile(src + "/photo.jpg");
        ASSERT_TRUE(encoded.ok()) << encoded.error().toStdString();
        parts = src + "/7PLUS_OUTPUT/";
    }
    void arrive(const QString& name, const QString& as = {})
    {
        QFile f(parts + name);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        put(as.isEmpty() ? name : as, f.readAll());
        tick();
    }
    QStringList setLines() { return items("lst7PlusSets"); }
};

TEST_P(ReceivedSevenPlus, PartsAreCollectedAnnouncedAndDecoded)
{
    const bool removeParts = GetParam();
    encodePhoto(100000);
    registry->Show("mainmenu");
    registry->Show("received");
    speaker.spoken.clear();

    const QString line = QString::fromUtf8("PHOTO.JPG \u2014 %1 of 4 parts, %2");
    arrive("PHOTO.P03");
    EXPECT_EQ(setLines(), QStringList{line.arg(1).arg("waiting for 1, 2 and 4")});
    arrive("PHOTO.P01", "photo.p01"); // the packet program chose lower case
    arrive("PHOTO.P04");
    EXPECT_EQ(setLines(), QStringList{line.arg(3).arg("waiting for 2")});
    EXPECT_EQ(speaker.spoken, QStringList(3, received::kArrivalWarning)) << "each part is an arrival";

    // Reading a part of an incomplete set keeps it and names the missing part.
    dialogs.boxes.clear();
    select("PHOTO.P03");
    click("received", "Command2");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_TRUE(dialogs.boxes[0].text.contains("Waiting for part 2.")) << dialogs.boxes[0].text.toStdString();
    EXPECT_TRUE(QFile::exists(at("PHOTO.P03")));
    EXPECT_FALSE(registry->IsFormLoaded("inboxform"));

    click("received", "cmdAskMissing"); // no set picked: the selected file's set
    ASSERT_TRUE(registry->IsFormLoaded("mailform"));
    EXPECT_EQ(boxText("mailform", "Text2"), "7PLUS PHOTO.JPG: please send again part 2");
    EXPECT_EQ(boxText("mailform", "Text1"),
              "Please send again these 7PLUS parts of PHOTO.JPG (100000 bytes, 4 parts):\nphoto.P02");
    registry->Unload("mailform");

    speaker.spoken.clear();
    arrive("PHOTO.P02");
    EXPECT_EQ(setLines(), QStringList{line.arg(4).arg("complete")});
    EXPECT_EQ(speaker.spoken, QStringList{"7PLUS file PHOTO.JPG has arrived complete"});
    EXPECT_EQ(control<QLabel>("mainmenu", "Label1")->text(), "A 7PLUS File Has Arrived: PHOTO.JPG ");
    tick();
    EXPECT_EQ(speaker.spoken.size(), 1) << "announced once";

    dialogs.boxes.clear();
    dialogs.answers.enqueue(removeParts ? MsgAnswer::Yes : MsgAnswer::No);
    select("PHOTO.P04");
    click("received", "Command2");
    ASSERT_TRUE(registry->IsFormLoaded("frm7Plus")) << dialogs.texts().join(" | ").toStdString();
    EXPECT_TRUE(registry->loaded("frm7Plus")->isVisible());
    EXPECT_EQ(control<QLabel>("frm7Plus", "lbl7PlusStatus")->text(), "DECODING COMPLETE");
    QFile out(at("7PLUS_RECEIVED/PHOTO.JPG"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_TRUE(out.readAll() == original) << "decoded byte for byte";
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(dialogs.boxes[0].defaultButton, MsgAnswer::No);
    const QStringList left =
        removeParts ? QStringList{} : QStringList{"PHOTO.P02", "PHOTO.P03", "PHOTO.P04", "photo.p01"};
    EXPECT_EQ(listed(), left);
}

INSTANTIATE_TEST_SUITE_P(RemoveParts, ReceivedSevenPlus, ::testing::Bool());

// A set whose decoding finds a damaged line asks for that part again.
TEST_F(ReceivedSevenPlus, DamagedLineIsAskedForAgain)
{
    encodePhoto(70000); // three parts
    registry->Show("received");
    QByteArray p2 = [&] {
        QFile f(parts + "PHOTO.P02");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    p2[71 + 5] = char(p2[71 + 5] == 'A' ? 'B' : 'A');
    put("PHOTO.P02", p2);
    arrive("PHOTO.P01");
    arrive("PHOTO.P03");
    select("PHOTO.P01");
    click("received", "Command2");
    ASSERT_TRUE(registry->IsFormLoaded("frm7Plus")) << dialogs.texts().join(" | ").toStdString();
    EXPECT_EQ(control<QLabel>("frm7Plus", "lbl7PlusStatus")->text(), "DECODING FAILED");
    click("received", "cmdAskMissing");
    EXPECT_EQ(boxText("mailform", "Text2"), "7PLUS PHOTO.JPG: please send again part 2");
}
