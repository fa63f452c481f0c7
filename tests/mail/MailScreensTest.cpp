#include "ScreenFixture.h"

#include "mail/MailCodec.h"
#include "shell/TextBoxes.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include <vector>

using namespace tolvan;
using tolvan::test::ScreenFixture;

namespace {

class MailScreens : public ScreenFixture {
protected:
    QString send;
    QString save;

    void SetUp() override
    {
        ScreenFixture::SetUp();
        send = tmp.path() + "/send";
        save = tmp.path() + "/save";
        QDir().mkpath(send);
        QDir().mkpath(save);
        writeStore("send.dat", (send + "\r\n").toUtf8());
        writeStore("save.dat", (save + "\r\n").toUtf8());
    }

    QLineEdit* line(const QString& screen, const QString& name) { return control<QLineEdit>(screen, name); }
    QPlainTextEdit* box(const QString& screen, const QString& name) { return control<QPlainTextEdit>(screen, name); }
    QListWidget* list(const QString& name) { return control<QListWidget>("saveform", name); }

    // The operator clicks an entry of a browser list.
    void pick(const QString& name, int row)
    {
        QListWidget* l = list(name);
        ASSERT_NE(l->item(row), nullptr);
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(row)).center());
        flush();
    }

    // The four boxes of a mail screen, in the order To, Subject, Message, From.
    QStringList boxes(const QString& screen)
    {
        QString message = box(screen, "Text1")->toPlainText();
        return {line(screen, "Text3")->text(), line(screen, "Text2")->text(), message,
                line(screen, "Text4")->text()};
    }

    void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QStringList sendFiles() const
    {
        return QDir(send).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QString handOver(const QString& name) const { return QDir::current().filePath(name); }

    const QString composedName = "MAIL - From---14-35-07--12-05-26.dat";
};

} // namespace

TEST_F(MailScreens, ComposeShowsItsControlsInTabOrder)
{
    registry->Show("mailform");
    EXPECT_EQ(boxes("mailform"), (QStringList{"TO-", "Subject-", "", "From-"}));
    EXPECT_EQ(control<QLabel>("mailform", "Label2")->text(), "Your Message");
    const QStringList controls{"Text1", "Text2", "Text3", "Text4", "Command1", "Command2", "Command3"};
    QWidget* w = line("mailform", "Text3");
    QStringList order;
    do {
        if (controls.contains(w->objectName())) {
            order << w->objectName();
        }
        w = w->nextInFocusChain();
    } while (w != line("mailform", "Text3"));
    EXPECT_EQ(order, (QStringList{"Text3", "Text4", "Text2", "Text1", "Command1", "Command3", "Command2"}));
    EXPECT_TRUE(dialogs.boxes.isEmpty()); // an empty send folder asks nothing
}

TEST_F(MailScreens, PostingTheDesignerPromptsWritesMailAndCopyAndOpensTheCenter)
{
    registry->Show("mailform");
    // Nothing typed: asked first, and the default No posts nothing.
    click("mailform", "Command1");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(dialogs.boxes[0].defaultButton, MsgAnswer::No);
    EXPECT_TRUE(sendFiles().isEmpty());
    EXPECT_TRUE(registry->loaded("mailform")->isVisible());

    dialogs.clear();
    dialogs.answers.enqueue(MsgAnswer::Yes);
    click("mailform", "Command1");
    EXPECT_EQ(dialogs.boxes.size(), 1) << dialogs.texts().join("|").toStdString();
    ASSERT_EQ(sendFiles(), QStringList{composedName});
    const QByteArray mail = readFile(send + "/" + composedName);
    EXPECT_EQ(mail, "84 79 45,83 85 66 74 69 67 84 45,,70 82 79 77 45\r\n");
    EXPECT_EQ(readFile(programFolder() + "/SentMail/" + composedName), mail);

    EXPECT_FALSE(registry->IsFormLoaded("mailform"));
    ASSERT_TRUE(registry->IsFormLoaded("PACKETWINLINK"));
    EXPECT_TRUE(registry->loaded("PACKETWINLINK")->isVisible());
    auto* outgoing = control<QListWidget>("PACKETWINLINK", "File1");
    ASSERT_EQ(outgoing->count(), 1);
    EXPECT_EQ(outgoing->item(0)->text(), composedName);
    EXPECT_FALSE(shown("mainmenu", "testprogram"));
    EXPECT_TRUE(QFile::exists(handOver("mail.dat")));
    EXPECT_EQ(readFile(handOver("mail.dat")), "");
}

TEST_F(MailScreens, ResetPromptsAndAMultiLineMessageArePostedCoded)
{
    registry->Show("mailform");
    writeFile(handOver("mail.dat"), "1,2,3,4\r\n");
    click("mailform", "Command3");
    EXPECT_EQ(boxes("mailform"), (QStringList{"To: ", "Subject: ", "Your Message: ", "From- "}));
    EXPECT_EQ(readFile(handOver("mail.dat")), "");

    box("mailform", "Text1")->appendPlainText("HI");
    click("mailform", "Command1");
    const QString name = "MAIL - From- --14-35-07--12-05-26.dat";
    EXPECT_EQ(readFile(send + "/" + name),
              "84 79 58 32,83 85 66 74 69 67 84 58 32,"
              "89 79 85 82 32 77 69 83 83 65 71 69 58 32 13 10 72 73,70 82 79 77 45 32\r\n");
}

// Posting asks first only when no box holds more than its prompt.
struct UnwrittenCase {
    const char* name;
    QStringList boxes; // To, Subject, Message, From
    bool asks;
};

class ComposeUnwritten : public MailScreens, public ::testing::WithParamInterface<UnwrittenCase> {};

TEST_P(ComposeUnwritten, AsksOnlyWhenNothingWasWritten)
{
    registry->Show("mailform");
    const QStringList& b = GetParam().boxes;
    line("mailform", "Text3")->setText(b[0]);
    line("mailform", "Text2")->setText(b[1]);
    setBoxText(box("mailform", "Text1"), b[2]);
    line("mailform", "Text4")->setText(b[3]);
    dialogs.clear();
    click("mailform", "Command1");
    EXPECT_EQ(dialogs.boxes.size(), GetParam().asks ? 1 : 0) << dialogs.texts().join("|").toStdString();
    EXPECT_EQ(sendFiles().size(), GetParam().asks ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    MailScreens, ComposeUnwritten,
    ::testing::Values(UnwrittenCase{"AllEmpty", {"", "", "", ""}, true},
                      UnwrittenCase{"ResetPrompts", {"To: ", "Subject: ", "Your Message: ", "From- "}, true},
                      UnwrittenCase{"BlanksOnly", {" ", "\t", "\r\n", "  "}, true},
                      UnwrittenCase{"OnlyTo", {"TO: N0CALL", "Subject: ", "Your Message: ", "From- "}, false},
                      UnwrittenCase{"OnlyMessage", {"To: ", "Subject: ", "Your Message: hi", "From- "}, false},
                      UnwrittenCase{"OnlyFrom", {"", "", "", "From- ME"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailScreens, TwoPostsInOneSecondShareOneFileAndItsCopy)
{
    for (const char* to : {"TO: ONE", "TO: TWO"}) {
        registry->Show("mailform");
        line("mailform", "Text3")->setText(QString::fromLatin1(to));
        click("mailform", "Command1");
        registry->Unload("PACKETWINLINK");
    }
    // The second opening found the first mail waiting and, answered No by default, kept it.
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].defaultButton, MsgAnswer::No);
    const QByteArray both = readFile(send + "/" + composedName);
    EXPECT_EQ(both.count("\r\n"), 2);
    EXPECT_TRUE(both.startsWith(MailCodec::ConvertToASCII(u"TO: ONE").toLatin1() + ","));
    EXPECT_TRUE(both.contains("\r\n" + MailCodec::ConvertToASCII(u"TO: TWO").toLatin1() + ","));
    EXPECT_EQ(readFile(programFolder() + "/SentMail/" + composedName), both);
}

TEST_F(MailScreens, OpeningAsksBeforeWaitingMailIsDeleted)
{
    writeFile(send + "/old1.dat", "1");
    writeFile(send + "/old2.dat", "2");

    dialogs.answers.enqueue(MsgAnswer::No);
    registry->Show("mailform");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Question);
    EXPECT_TRUE(dialogs.boxes[0].text.contains("old1.dat"));
    EXPECT_EQ(sendFiles(), (QStringList{"old1.dat", "old2.dat"}));
    registry->Unload("mailform");

    dialogs.clear();
    dialogs.answers.enqueue(MsgAnswer::Yes);
    registry->Show("mailform");
    EXPECT_EQ(dialogs.boxes.size(), 1);
    EXPECT_TRUE(sendFiles().isEmpty());
    EXPECT_EQ(control<QListWidget>("PACKETWINLINK", "File1")->count(), 0);
}

class ComposeFailureTest;

struct ComposeFailure {
    const char* name;
    std::function<void(ComposeFailureTest&)> arrange;
    const char* cause;
};

class ComposeFailureTest : public MailScreens, public ::testing::WithParamInterface<ComposeFailure> {
public:
    void setSend(const QByteArray& bytes) { writeStore("send.dat", bytes); }
    void removeSendDat() { QFile::remove(context->store.StorePath("send.dat")); }
    QLineEdit* from() { return line("mailform", "Text4"); }
    QPlainTextEdit* message() { return box("mailform", "Text1"); }
    QString sentFolder() const { return programFolder() + "/SentMail"; }
};

TEST_P(ComposeFailureTest, AFailedPostKeepsTheBoxesAndSaysWhy)
{
    registry->Show("mailform");
    line("mailform", "Text3")->setText("TO: N0CALL");
    line("mailform", "Text2")->setText("SUBJECT: NET");
    setBoxText(box("mailform", "Text1"), "Line 1\r\nLine 2");
    line("mailform", "Text4")->setText("From- ME");
    GetParam().arrange(*this);
    const QStringList typed = boxes("mailform");
    dialogs.clear();

    click("mailform", "Command1");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QString::fromUtf8(GetParam().cause)))
        << dialogs.boxes[0].text.toStdString();
    ASSERT_TRUE(registry->IsFormLoaded("mailform"));
    EXPECT_EQ(boxes("mailform"), typed);
    EXPECT_TRUE(sendFiles().isEmpty());
    EXPECT_FALSE(registry->loaded("PACKETWINLINK")->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    MailScreens, ComposeFailureTest,
    ::testing::Values(
        ComposeFailure{"NoSendDat", [](ComposeFailureTest& t) { t.removeSendDat(); }, "send.dat"},
        ComposeFailure{"MissingFolder", [](ComposeFailureTest& t) { t.setSend("/nonexistent/out\r\n"); },
                       "/nonexistent/out"},
        ComposeFailure{"FromTooLongForAName", [](ComposeFailureTest& t) { t.from()->setText(QString(300, u'F')); },
                       "could not be created"},
        ComposeFailure{"MessageTooLong",
                       [](ComposeFailureTest& t) { setBoxText(t.message(), QString(32768, u'm')); }, "32,767"},
        ComposeFailure{"SentCopyFails",
                       [](ComposeFailureTest& t) {
                           // A folder in the copy's place makes the copy fail after the mail was written.
                           QDir().mkpath(t.sentFolder() + "/MAIL - From- ME--14-35-07--12-05-26.dat");
                       },
                       "sent copy"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailScreens, ExitEmptiesTheHandOverAndReturnsToTheMenu)
{
    writeFile(handOver("mail.dat"), "1,2,3,4\r\n");
    registry->Show("mailform");
    click("mailform", "Command2");
    EXPECT_FALSE(registry->IsFormLoaded("mailform"));
    EXPECT_EQ(readFile(handOver("mail.dat")), "");
    ASSERT_TRUE(registry->IsFormLoaded("mainmenu"));
    EXPECT_TRUE(registry->loaded("mainmenu")->isVisible());
    EXPECT_FALSE(shown("mainmenu", "testprogram"));
    EXPECT_FALSE(shown("mainmenu", "chksoundtoggle"));
}

// The saved-mail browser and the reader.

TEST_F(MailScreens, BrowserWithoutSentMailListsTheSaveFolderOnly)
{
    writeFile(save + "/mail_26-12-05_1435.dat", "TO: A,SUBJECT: B,HELLO,FROM: C\r\n");
    writeFile(save + "/.hidden", "x");
    registry->Show("saveform");
    ASSERT_EQ(list("File1")->count(), 1);
    EXPECT_EQ(list("File1")->item(0)->text(), "mail_26-12-05_1435.dat");
    EXPECT_EQ(list("File2")->count(), 0);
    EXPECT_FALSE(shown("saveform", "Text1"));
    EXPECT_FALSE(shown("saveform", "Text2"));
    // Nothing is said about the reader's hand-over file until a mail is opened.
    EXPECT_FALSE(registry->IsFormLoaded("readform"));
    pick("File1", 0);
    EXPECT_TRUE(dialogs.texts().isEmpty()) << dialogs.texts().join("|").toStdString();
    EXPECT_EQ(control<QLineEdit>("saveform", "Text1")->text(), save + "/mail_26-12-05_1435.dat");
}

TEST_F(MailScreens, BrowserListsOnlyDatSentCopies)
{
    QDir().mkpath(programFolder() + "/SentMail");
    writeFile(programFolder() + "/SentMail/MAIL - A--01-02-03--04-05-06.dat", "65,66,67,68\r\n");
    writeFile(programFolder() + "/SentMail/notes.txt", "x");
    writeFile(programFolder() + "/SentMail/UPPER.DAT", "65,66,67,68\r\n");
    registry->Show("saveform");
    ASSERT_EQ(list("File2")->count(), 2);
    pick("File2", 0);
    EXPECT_EQ(control<QLineEdit>("saveform", "Text2")->text(),
              programFolder() + "/SentMail/MAIL - A--01-02-03--04-05-06.dat");
}

struct ReaderCase {
    const char* name;
    const char* saved;
    std::array<const char*, 4> shown; // To, Subject, Message, From
};

class ReaderTest : public MailScreens, public ::testing::WithParamInterface<ReaderCase> {};

TEST_P(ReaderTest, ShowsTheSavedLineAsSplitAtCommas)
{
    writeFile(save + "/mail_26-12-05_1435.dat", GetParam().saved);
    registry->Show("saveform");
    pick("File1", 0);
    dialogs.clear();
    click("saveform", "readmail");

    EXPECT_TRUE(dialogs.boxes.isEmpty()) << dialogs.texts().join("|").toStdString();
    EXPECT_FALSE(registry->IsFormLoaded("saveform"));
    ASSERT_TRUE(registry->IsFormLoaded("readform"));
    EXPECT_TRUE(registry->loaded("readform")->isVisible());
    EXPECT_TRUE(shown("readform", "Command2"));
    EXPECT_EQ(readFile(handOver("temp")), QByteArray(GetParam().saved) + "\r\n");
    const auto& want = GetParam().shown;
    EXPECT_EQ(boxes("readform"), (QStringList{want[0], want[1], want[2], want[3]}));
}

INSTANTIATE_TEST_SUITE_P(
    MailScreens, ReaderTest,
    ::testing::Values(
        ReaderCase{"FourFields", "TO: A,SUBJECT: B,HELLO,FROM: C\r\n", {"TO: A", "SUBJECT: B", "HELLO", "FROM: C"}},
        // A comma inside the message stays in the message; From is the last field.
        ReaderCase{"CommaInMessage",
                   "TO: A,SUBJECT: B,HI, THERE,FROM: C\r\n",
                   {"TO: A", "SUBJECT: B", "HI, THERE", "FROM: C"}},
        ReaderCase{"MultiLineMessage", "T,S,LINE 1\r\nLINE 2,F\r\n", {"T", "S", "LINE 1\nLINE 2", "F"}},
        // Missing parts leave the designer texts.
        ReaderCase{"OnePart", "ONLY TO\r\n", {"ONLY TO", "Subject:", "Your Message:", "From:"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailScreens, ReadingWithNothingPickedReturnsToTheMenu)
{
    registry->Show("saveform");
    dialogs.clear();
    click("saveform", "readmail");
    EXPECT_EQ(dialogs.texts(), QStringList{" No file picked Error has been committed"});
    EXPECT_FALSE(registry->IsFormLoaded("saveform"));
    ASSERT_TRUE(registry->IsFormLoaded("mainmenu"));
    EXPECT_TRUE(registry->loaded("mainmenu")->isVisible());
    EXPECT_FALSE(shown("mainmenu", "testprogram"));
}

TEST_F(MailScreens, SentCopyNotPickedOrGoneIsRefused)
{
    QDir().mkpath(programFolder() + "/SentMail");
    const QString copy = programFolder() + "/SentMail/MAIL - A--01-02-03--04-05-06.dat";
    writeFile(copy, "65,66,67,68\r\n");
    registry->Show("saveform");
    dialogs.clear();
    click("saveform", "Command1");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].text, "No sent mail file selected.");
    EXPECT_EQ(dialogs.boxes[0].title, "Sent Mail");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Exclamation);

    pick("File2", 0);
    QFile::remove(copy);
    click("saveform", "Command1");
    EXPECT_EQ(dialogs.boxes.last().text, "Sent mail file not found:\n" + copy);
    EXPECT_FALSE(QFile::exists(handOver("mail.dat")));
    EXPECT_TRUE(registry->IsFormLoaded("saveform"));
}

TEST_F(MailScreens, SentCopyGoesToTheInboxThroughTheHandOverFile)
{
    QDir().mkpath(programFolder() + "/SentMail");
    const QByteArray coded = MailCodec::FormatCodedMailLine("to: b", "subject: s", "hi", "from- a").toLatin1() + "\r\n";
    writeFile(programFolder() + "/SentMail/MAIL - from- a--14-35-07--12-05-26.dat", coded);
    registry->Show("saveform");
    pick("File2", 0);
    dialogs.clear();
    click("saveform", "Command1");

    EXPECT_EQ(readFile(handOver("mail.dat")), coded + "\r\n");
    if (!registry->isAvailable("inboxform")) {
        GTEST_SKIP() << "the inbox is not part of this build yet";
    }
    ASSERT_TRUE(registry->IsFormLoaded("inboxform"));
    EXPECT_TRUE(registry->loaded("inboxform")->isVisible());
    EXPECT_TRUE(registry->IsFormLoaded("saveform")); // stays open behind the inbox
    EXPECT_FALSE(shown("inboxform", "cmdAutoSaveToggle"));
    EXPECT_EQ(line("inboxform", "Text3")->text(), "TO: B");
    EXPECT_EQ(line("inboxform", "Text4")->text(), "FROM- A");
    EXPECT_EQ(box("inboxform", "Text1")->toPlainText(), "HI");
}

TEST_F(MailScreens, DeletingAnEntryRemovesItAndItsPath)
{
    QDir().mkpath(programFolder() + "/SentMail");
    writeFile(save + "/mail_1.dat", "a,b,c,d\r\n");
    writeFile(save + "/mail_2.dat", "a,b,c,d\r\n");
    writeFile(programFolder() + "/SentMail/s.dat", "65,66,67,68\r\n");
    registry->Show("saveform");

    // Nothing selected: nothing happens.
    dialogs.clear();
    click("saveform", "cmddelete");
    EXPECT_TRUE(dialogs.boxes.isEmpty());

    pick("File1", 0);
    dialogs.clear();
    click("saveform", "cmddelete");
    EXPECT_EQ(dialogs.texts(), QStringList{"file deleted successfully"});
    EXPECT_FALSE(QFile::exists(save + "/mail_1.dat"));
    ASSERT_EQ(list("File1")->count(), 1);
    EXPECT_EQ(list("File1")->item(0)->text(), "mail_2.dat");
    EXPECT_TRUE(control<QLineEdit>("saveform", "Text1")->text().isEmpty());

    pick("File2", 0);
    click("saveform", "Command2");
    EXPECT_FALSE(QFile::exists(programFolder() + "/SentMail/s.dat"));
    EXPECT_EQ(list("File2")->count(), 0);
    EXPECT_TRUE(control<QLineEdit>("saveform", "Text2")->text().isEmpty());
}

// Qt makes a list's first row current when the list gets the focus (on
// opening, or when the operator tabs in); that is no pick. Each case leaves
// the browser in such a state and then presses Delete and Read.
struct NoPickCase {
    const char* name;
    const char* list;                        // the list the focus or keys reach
    std::vector<Qt::Key> keys;               // pressed in that list after the focus
};

class BrowserNoPickTest : public MailScreens, public ::testing::WithParamInterface<NoPickCase> {};

TEST_P(BrowserNoPickTest, NothingIsDeletedOrOpened)
{
    QDir().mkpath(programFolder() + "/SentMail");
    writeFile(save + "/mail_1.dat", "a,b,c,d\r\n");
    writeFile(save + "/mail_2.dat", "a,b,c,d\r\n");
    writeFile(programFolder() + "/SentMail/s.dat", "65,66,67,68\r\n");
    registry->Show("saveform");
    QListWidget* l = list(GetParam().list);
    QFocusEvent tabbedIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(l, &tabbedIn);
    EXPECT_EQ(l->currentRow(), 0); // the row Qt made current
    for (Qt::Key key : GetParam().keys) {
        QTest::keyClick(l, key);
    }
    EXPECT_TRUE(control<QLineEdit>("saveform", "Text1")->text().isEmpty());
    EXPECT_TRUE(control<QLineEdit>("saveform", "Text2")->text().isEmpty());

    dialogs.clear();
    click("saveform", "cmddelete");
    click("saveform", "Command2");
    EXPECT_TRUE(dialogs.boxes.isEmpty()) << dialogs.texts().join("|").toStdString();
    EXPECT_TRUE(QFile::exists(save + "/mail_1.dat"));
    EXPECT_TRUE(QFile::exists(save + "/mail_2.dat"));
    EXPECT_TRUE(QFile::exists(programFolder() + "/SentMail/s.dat"));

    click("saveform", "readmail");
    EXPECT_EQ(dialogs.texts(), QStringList{" No file picked Error has been committed"});
    EXPECT_FALSE(QFile::exists(handOver("temp")));
}

INSTANTIATE_TEST_SUITE_P(MailScreens, BrowserNoPickTest,
                         ::testing::Values(NoPickCase{"FocusOnReceived", "File1", {}},
                                           NoPickCase{"FocusOnSent", "File2", {}},
                                           NoPickCase{"ArrowsOnly", "File1", {Qt::Key_Down, Qt::Key_Up, Qt::Key_Down}},
                                           NoPickCase{"TypedLetter", "File1", {Qt::Key_M}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MailScreens, ArrowsThenSpaceOrEnterPickTheHighlightedEntry)
{
    QDir().mkpath(programFolder() + "/SentMail");
    writeFile(save + "/mail_1.dat", "a,b,c,d\r\n");
    writeFile(save + "/mail_2.dat", "a,b,c,d\r\n");
    writeFile(programFolder() + "/SentMail/a.dat", "65,66,67,68\r\n");
    writeFile(programFolder() + "/SentMail/b.dat", "65,66,67,68\r\n");
    registry->Show("saveform");
    QFocusEvent tabbedIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(list("File1"), &tabbedIn);
    QTest::keyClick(list("File1"), Qt::Key_Down);
    QTest::keyClick(list("File1"), Qt::Key_Space);
    EXPECT_EQ(control<QLineEdit>("saveform", "Text1")->text(), save + "/mail_2.dat");

    QCoreApplication::sendEvent(list("File2"), &tabbedIn);
    QTest::keyClick(list("File2"), Qt::Key_Down);
    QTest::keyClick(list("File2"), Qt::Key_Return);
    EXPECT_EQ(control<QLineEdit>("saveform", "Text2")->text(), programFolder() + "/SentMail/b.dat");

    dialogs.clear();
    click("saveform", "Command2");
    EXPECT_EQ(dialogs.texts(), QStringList{"file deleted successfully"});
    EXPECT_TRUE(QFile::exists(programFolder() + "/SentMail/a.dat"));
    EXPECT_FALSE(QFile::exists(programFolder() + "/SentMail/b.dat"));
}

TEST_F(MailScreens, MenuOpensTheBrowserOnceSoItsBoxesShowOnce)
{
    writeStore("save.dat", (tmp.path() + "/nowhere\r\n").toUtf8());
    registry->Show("mainmenu");
    dialogs.clear();
    click("mainmenu", "RETRIEVE");
    ASSERT_TRUE(registry->IsFormLoaded("saveform"));
    EXPECT_EQ(dialogs.texts().filter(tmp.path() + "/nowhere").size(), 1) << dialogs.texts().join("|").toStdString();
    EXPECT_EQ(dialogs.texts().filter("File 'temp' not found").size(), 0);
}

TEST_F(MailScreens, BrowserSaysWhenTheSaveFolderIsMissing)
{
    writeStore("save.dat", (tmp.path() + "/nowhere\r\n").toUtf8());
    QDir().mkpath(programFolder() + "/SentMail");
    writeFile(programFolder() + "/SentMail/s.dat", "65,66,67,68\r\n");
    registry->Show("saveform");
    EXPECT_TRUE(dialogs.texts().last().contains(tmp.path() + "/nowhere"));
    EXPECT_EQ(list("File1")->count(), 0);
    EXPECT_EQ(list("File2")->count(), 1);
}

TEST_F(MailScreens, ReaderExitEmptiesMailDatAndReturnsToTheMenu)
{
    writeFile(handOver("temp"), "A,B,C,D\r\n\r\n");
    writeFile(handOver("mail.dat"), "1,2,3,4\r\n");
    registry->Show("readform");
    click("readform", "Command2");
    EXPECT_FALSE(registry->IsFormLoaded("readform"));
    EXPECT_EQ(readFile(handOver("mail.dat")), "");
    EXPECT_TRUE(QFile::exists(handOver("temp"))); // kept for the next reading
    ASSERT_TRUE(registry->IsFormLoaded("mainmenu"));
    EXPECT_TRUE(registry->loaded("mainmenu")->isVisible());
}

TEST_F(MailScreens, BrowserExitReturnsToTheMenu)
{
    registry->Show("saveform");
    click("saveform", "exit");
    EXPECT_FALSE(registry->IsFormLoaded("saveform"));
    EXPECT_TRUE(registry->loaded("mainmenu")->isVisible());
    EXPECT_FALSE(shown("mainmenu", "chksoundtoggle"));
}

namespace {

class ComposeLoss : public MailScreens, public ::testing::WithParamInterface<std::optional<MsgAnswer>> {};

} // namespace

// Characters the code page lacks are named before the post; only Yes posts
// them (as "?"), and cancelling keeps the boxes.
TEST_P(ComposeLoss, AsksBeforeCharactersAreLost)
{
    const QString subject = QString::fromUtf8("Привет ") + QString::fromUcs4(U"\U0001F4FB") + " 73 \u00C5";
    registry->Show("mailform");
    line("mailform", "Text2")->setText(subject);
    if (GetParam()) {
        dialogs.answers.enqueue(*GetParam());
    }
    click("mailform", "Command1");

    ASSERT_FALSE(dialogs.boxes.isEmpty());
    const MessageBoxRequest& q = dialogs.boxes[0];
    EXPECT_EQ(q.title, kCodePageLossTitle);
    EXPECT_EQ(q.defaultButton, MsgAnswer::No);
    // Each lost character once, by itself and by its code point; Å survives.
    EXPECT_TRUE(q.text.contains("\u041F (U+041F), \u0440 (U+0440), \u0438 (U+0438), \u0432 (U+0432), "
                                "\u0435 (U+0435), \u0442 (U+0442), " +
                                QString::fromUcs4(U"\U0001F4FB") + " (U+1F4FB)\n"))
        << q.text.toStdString();
    EXPECT_FALSE(q.text.contains("U+00C5"));

    const bool posted = GetParam() == MsgAnswer::Yes;
    EXPECT_EQ(sendFiles().size(), posted ? 1 : 0);
    EXPECT_EQ(registry->IsFormLoaded("mailform"), !posted);
    if (posted) {
        EXPECT_TRUE(readFile(send + "/" + composedName).contains(",63 63 63 63 63 63 32 63 32 55 51 32 197,"));
    } else {
        EXPECT_EQ(line("mailform", "Text2")->text(), subject);
    }
}

INSTANTIATE_TEST_SUITE_P(Compose, ComposeLoss,
                         ::testing::Values(std::nullopt, std::optional<MsgAnswer>(MsgAnswer::No),
                                           std::optional<MsgAnswer>(MsgAnswer::Yes)));

TEST_F(MailScreens, ComposeOfCodePageTextAsksNothing)
{
    registry->Show("mailform");
    line("mailform", "Text2")->setText("\u00C5\u20AC\u2122 caf\u00E9");
    click("mailform", "Command1");
    EXPECT_TRUE(dialogs.boxes.isEmpty()) << dialogs.texts().join("|").toStdString();
    EXPECT_EQ(sendFiles().size(), 1);
}
