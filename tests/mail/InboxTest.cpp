#include "ScreenFixture.h"

#include "mail/inboxform.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace tolvan;
using tolvan::test::ScreenFixture;

namespace {

class Inbox : public ScreenFixture {
protected:
    QString send() const { return tmp.path() + "/send"; }
    QString save() const { return tmp.path() + "/save"; }

    void SetUp() override
    {
        ScreenFixture::SetUp();
        QDir().mkpath(send());
        QDir().mkpath(save());
        writeStore("send.dat", (send() + "\r\n").toUtf8());
        writeStore("save.dat", (save() + "\r\n").toUtf8());
    }
    void writeMailDat(const QByteArray& bytes)
    {
        QFile f("mail.dat");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString text(const QString& name)
    {
        if (auto* e = control<QLineEdit>("inboxform", name)) {
            return e->text();
        }
        auto* p = control<QPlainTextEdit>("inboxform", name);
        return p ? p->toPlainText() : QString("<none>");
    }
    QStringList boxes() { return {text("Text3"), text("Text2"), text("Text1"), text("Text4")}; }
    QString toggleCaption() { return control<QAbstractButton>("inboxform", "cmdAutoSaveToggle")->text(); }
};

const QStringList kInitial{"TO:", "Subject:", "Your Message:", "From:"};

struct OpeningCase {
    const char* name;
    std::optional<QByteArray> mailDat; // none: no file
    QStringList boxes;
    QStringList messages;
    bool notCoded = false; // the plain-text notice is shown
};

void PrintTo(const OpeningCase& c, std::ostream* os)
{
    *os << c.name;
}

class InboxOpening : public Inbox, public ::testing::WithParamInterface<OpeningCase> {};

} // namespace

TEST_P(InboxOpening, ShowsWhatMailDatHolds)
{
    if (GetParam().mailDat) {
        writeMailDat(*GetParam().mailDat);
    }
    registry->Show("inboxform");
    EXPECT_EQ(boxes(), GetParam().boxes);
    // Expected messages are the starts of the boxes shown.
    const QStringList shownTexts = dialogs.texts();
    ASSERT_EQ(shownTexts.size(), GetParam().messages.size()) << shownTexts.join(" | ").toStdString();
    for (int i = 0; i < shownTexts.size(); ++i) {
        EXPECT_TRUE(shownTexts[i].startsWith(GetParam().messages[i])) << shownTexts[i].toStdString();
    }
    EXPECT_FALSE(shown("inboxform", "chkAutoSave"));
    EXPECT_EQ(shown("inboxform", "lblNotCoded"), GetParam().notCoded);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, InboxOpening,
    ::testing::Values(
        // The routed mail carries one more CR LF; From shows without it.
        OpeningCase{"CodedLine", "84 79 58 32 65,83,72 13 10 73,66\r\n\r\n", {"TO: A", "S", "H\nI", "B"}, {}},
        OpeningCase{"Empty", "", kInitial, {}}, OpeningCase{"Absent", std::nullopt, kInitial, {}},
        OpeningCase{"TwoParts", "65,66\r\n", kInitial, {"File content is not in the expected format."}},
        // Text from software that does not code its mails is shown whole.
        OpeningCase{"PlainText", "Hello John, 73, Bob\r\n\r\n", {"", "", "Hello John, 73, Bob", ""}, {}, true},
        OpeningCase{"PlainInFourParts", "a,b,c,d\r\n", {"", "", "a,b,c,d", ""}, {}, true},
        // A code outside 0..255 stops at that field; the later boxes hold nothing.
        OpeningCase{"BadCodeInSubject",
                    "65,83 999,72,66\r\n",
                    {"A", "", "", ""},
                    {"The Subject field of the mail could not be decoded: "}},
        // A "90" cut to "9" would read as a TAB: a mail without its line end shows nothing.
        OpeningCase{"CutInFrom", "65,83,72,9", kInitial, {"The mail is incomplete: "}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Inbox, AutoSaveToggleRoundTrips)
{
    writeStore("autosave.dat", " on \r\n");
    registry->Show("inboxform");
    EXPECT_EQ(toggleCaption(), "Receive Auto Save ON");
    auto* check = control<QCheckBox>("inboxform", "chkAutoSave");
    EXPECT_TRUE(check->isChecked());

    click("inboxform", "cmdAutoSaveToggle");
    EXPECT_EQ(toggleCaption(), "Receive Auto Save OFF");
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(readFile(context->store.StorePath("autosave.dat")).trimmed(), "0");

    click("inboxform", "cmdAutoSaveToggle");
    EXPECT_EQ(toggleCaption(), "Receive Auto Save ON");
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(readFile(context->store.StorePath("autosave.dat")).trimmed(), "1");
}

TEST_F(Inbox, ExitWithAutoSaveAppendsThePlainMailEachTime)
{
    writeStore("autosave.dat", "1\r\n");
    writeMailDat("65,83,72 73,66\r\n\r\n");
    registry->Show("inboxform");
    click("inboxform", "Command2");
    EXPECT_FALSE(registry->IsFormLoaded("inboxform"));
    EXPECT_TRUE(registry->loaded("mainmenu")->isVisible());
    EXPECT_FALSE(shown("mainmenu", "testprogram"));
    EXPECT_FALSE(shown("mainmenu", "chksoundtoggle"));

    // EXIT leaves mail.dat alone, so the inbox shows the same mail again.
    registry->Show("inboxform");
    EXPECT_EQ(text("Text3"), "A");
    click("inboxform", "Command2");
    EXPECT_EQ(readFile(save() + "/mail_26-12-05_1435.dat"), "A,S,HI,B\r\nA,S,HI,B\r\n");
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

TEST_F(Inbox, ExitThatCannotSaveAsksBeforeLeaving)
{
    writeStore("autosave.dat", "1\r\n");
    QFile::remove(context->store.StorePath("save.dat"));
    registry->Show("inboxform");
    dialogs.answers.enqueue(MsgAnswer::No);
    click("inboxform", "Command2");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].defaultButton, MsgAnswer::No);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("The mail could not be saved:"));
    EXPECT_TRUE(registry->IsFormLoaded("inboxform"));

    dialogs.answers.enqueue(MsgAnswer::Yes);
    click("inboxform", "Command2");
    EXPECT_FALSE(registry->IsFormLoaded("inboxform"));
}

TEST_F(Inbox, ReplyIsPostedToTheSendFolder)
{
    writeMailDat("65,83,72 73,66\r\n\r\n");
    registry->Show("inboxform");
    control<QLineEdit>("inboxform", "Text4")->setText("from me");
    click("inboxform", "Command1");

    const QString reply = send() + "/MAIL - 143507.txt";
    EXPECT_EQ(readFile(reply), "65,83,72 73,70 82 79 77 32 77 69\r\n");
    EXPECT_EQ(readFile("mail.dat"), "");
    EXPECT_TRUE(QFile::exists("mail.dat")) << "emptied, not deleted";
    EXPECT_FALSE(registry->IsFormLoaded("inboxform"));
    ASSERT_TRUE(registry->IsFormLoaded("PACKETWINLINK"));
    EXPECT_TRUE(registry->loaded("PACKETWINLINK")->isVisible());

    // A second reply in the same second goes to the same file.
    dialogs.answers.enqueue(MsgAnswer::No); // keep the first reply waiting
    registry->Show("inboxform");
    click("inboxform", "Command1");
    EXPECT_EQ(readFile(reply).count('\n'), 2);
}

TEST_F(Inbox, WaitingOutgoingMailIsDeletedOnlyAfterAYes)
{
    for (const char* name : {"MAIL - 1.txt", "MAIL - 2.txt"}) {
        QFile f(send() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // Default answer: No.
    registry->Show("inboxform");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(dialogs.boxes[0].defaultButton, MsgAnswer::No);
    EXPECT_TRUE(dialogs.boxes[0].text.contains("MAIL - 1.txt"));
    EXPECT_EQ(QDir(send()).entryList(QDir::Files).size(), 2);

    registry->Unload("inboxform");
    flush();
    dialogs.clear();
    dialogs.answers.enqueue(MsgAnswer::Yes);
    registry->Show("inboxform");
    EXPECT_EQ(dialogs.boxes.size(), 1);
    EXPECT_TRUE(QDir(send()).entryList(QDir::Files).isEmpty());

    // An empty send folder asks nothing.
    registry->Unload("inboxform");
    flush();
    dialogs.clear();
    registry->Show("inboxform");
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

namespace {

struct LossCase {
    const char* name;
    std::optional<MsgAnswer> answer; // none: the default button
    bool posted;
};

class InboxReplyLoss : public Inbox, public ::testing::WithParamInterface<LossCase> {};

} // namespace

// A reply with characters the code page lacks is posted only when the
// operator goes ahead; cancelling keeps the boxes for mending.
TEST_P(InboxReplyLoss, AsksBeforeCharactersAreLost)
{
    writeMailDat("65,83,72 73,66\r\n\r\n");
    registry->Show("inboxform");
    control<QPlainTextEdit>("inboxform", "Text1")->setPlainText(QString::fromUtf8("\u041F\u0440\u0438 \u263A"));
    if (GetParam().answer) {
        dialogs.answers.enqueue(*GetParam().answer);
    }
    click("inboxform", "Command1");
    ASSERT_FALSE(dialogs.boxes.isEmpty());
    const MessageBoxRequest& q = dialogs.boxes[0];
    EXPECT_EQ(q.buttons, MsgButtons::YesNo);
    EXPECT_EQ(q.defaultButton, MsgAnswer::No);
    EXPECT_TRUE(q.text.contains(QString::fromUtf8("\u041F (U+041F), \u0440 (U+0440), \u0438 (U+0438), \u263A (U+263A)")))
        << q.text.toStdString();
    EXPECT_EQ(QFile::exists(send() + "/MAIL - 143507.txt"), GetParam().posted);
    EXPECT_EQ(registry->IsFormLoaded("inboxform"), !GetParam().posted);
    if (GetParam().posted) {
        EXPECT_TRUE(readFile(send() + "/MAIL - 143507.txt").contains(",63 63 63 32 63,"));
    } else {
        EXPECT_EQ(text("Text1"), QString::fromUtf8("\u041F\u0440\u0438 \u263A"));
    }
}

INSTANTIATE_TEST_SUITE_P(Reply, InboxReplyLoss,
                         ::testing::Values(LossCase{"DefaultCancels", std::nullopt, false},
                                           LossCase{"NoCancels", MsgAnswer::No, false},
                                           LossCase{"YesPosts", MsgAnswer::Yes, true}),
                         [](const auto& info) { return std::string(info.param.name); });
