#include "ScreenFixture.h"

#include "PmbaTestUtil.h"
#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"
#include "pmba/SendEstimate.h"
#include "pmba/sendfile.h"
#include "platform/QtDialogs.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace tolvan;
using tolvan::test::entries;
using tolvan::test::ScreenFixture;
using tolvan::test::writeAll;

namespace {

class SendFileScreen : public ScreenFixture {
public:
    QString send;
    QString attachment;
    const QByteArray bytes = QByteArray("\x00\x01\xFF binary, with a comma\r\n", 26);

    void SetUp() override
    {
        ScreenFixture::SetUp();
        send = tmp.path() + "/send";
        QDir().mkpath(send);
        writeStore("send.dat", (send + "\r\n").toUtf8());
        attachment = tmp.path() + "/photo 1.bin";
        ASSERT_TRUE(writeAll(attachment, bytes));
        registry->Show("sendfile");
    }

    sendfile* screen() { return registry->form<sendfile>("sendfile"); }
    QLineEdit* box(const QString& name) { return control<QLineEdit>("sendfile", name); }
    bool enabled(const QString& name) { return control<QPushButton>("sendfile", name)->isEnabled(); }

    void choosePmba(const QString& path)
    {
        dialogs.fileAnswers.enqueue(path);
        click("sendfile", "cmdPMBA");
    }
    void setFields(const QString& to, const QString& from, const QString& subject, const QString& message)
    {
        box("Text3")->setText(to);
        box("Text4")->setText(from);
        box("Text2")->setText(subject);
        box("Text1")->setText(message);
    }
    QStringList sent() { return entries(send); }
    void expectLeftForTheCenter()
    {
        EXPECT_FALSE(registry->IsFormLoaded("sendfile"));
        ASSERT_TRUE(registry->IsFormLoaded("PACKETWINLINK"));
        EXPECT_TRUE(registry->loaded("PACKETWINLINK")->isVisible());
        EXPECT_FALSE(shown("mainmenu", "testprogram"));
    }
};

const QString kPmbaName = "PMBA - 14-35-07--12-05-26.pmb";
const QString kFileName = "File - 14-35-07--12-05-26.txt";

} // namespace

TEST_F(SendFileScreen, StartsWithItsPromptsAndBothPostButtons)
{
    EXPECT_EQ(box("Text3")->text(), "TO:");
    EXPECT_EQ(box("Text4")->text(), "From:");
    EXPECT_EQ(box("Text2")->text(), "Subject:");
    EXPECT_EQ(box("Text1")->text(), "Message:");
    EXPECT_TRUE(box("Text5")->text().isEmpty());
    EXPECT_EQ(registry->loaded("sendfile")->windowTitle(), "Send File");
    EXPECT_FALSE(shown("sendfile", "RichTextBox1"));
    EXPECT_TRUE(enabled("Command1"));
    EXPECT_TRUE(enabled("cmdPMBASend"));
    EXPECT_FALSE(screen()->PMBASendMode);

    click("sendfile", "cmdPMBASend");
    EXPECT_EQ(dialogs.texts(), QStringList{"PMBA mode is not selected."});
    EXPECT_TRUE(sent().isEmpty());
}

TEST_F(SendFileScreen, RegularChooserAsksThenSwitchesBackToRegularMode)
{
    choosePmba(attachment);
    ASSERT_TRUE(screen()->PMBASendMode);
    dialogs.clear();

    click("sendfile", "Addfile"); // cancelled
    ASSERT_EQ(dialogs.boxes.size(), 2);
    EXPECT_EQ(dialogs.boxes[0].text, "Opening file dialog...");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::None);
    EXPECT_EQ(dialogs.boxes[1].text, "Error: No file selected or invalid file!");
    EXPECT_EQ(dialogs.boxes[1].icon, MsgIcon::Critical);
    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(dialogs.fileRequests[0].title, "Select a file");
    ASSERT_EQ(dialogs.fileRequests[0].filters.size(), 2);
    EXPECT_EQ(dialogs.fileRequests[0].filters[0].description, "Text Files (*.txt)");
    EXPECT_EQ(dialogs.fileRequests[0].filters[0].patterns, "*.txt");
    EXPECT_EQ(dialogs.fileRequests[0].filters[1].patterns, "*.*");
    // The path stays, the mode goes back to regular.
    EXPECT_EQ(box("Text5")->text(), attachment);
    EXPECT_FALSE(screen()->PMBASendMode);
    EXPECT_TRUE(enabled("Command1"));
    EXPECT_FALSE(enabled("cmdPMBASend"));

    dialogs.fileAnswers.enqueue(tmp.path() + "/other.txt");
    click("sendfile", "Addfile");
    EXPECT_EQ(box("Text5")->text(), tmp.path() + "/other.txt");
}

TEST_F(SendFileScreen, PmbaChooserCancelMissingAndChosen)
{
    click("sendfile", "cmdPMBA"); // cancelled: nothing at all
    EXPECT_TRUE(dialogs.boxes.isEmpty());
    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(dialogs.fileRequests[0].title, "Select PMBA Attachment");
    ASSERT_EQ(dialogs.fileRequests[0].filters.size(), 2);
    EXPECT_EQ(dialogs.fileRequests[0].filters[0].patterns, "*.*");
    EXPECT_EQ(dialogs.fileRequests[0].filters[1].description, "Pictures (*.jpg;*.jpeg;*.png;*.bmp;*.gif)");
    EXPECT_TRUE(enabled("Command1"));

    choosePmba(tmp.path() + "/missing.bin");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].text, "Selected file does not exist.");
    EXPECT_EQ(dialogs.boxes[0].title, "PMBA");
    EXPECT_TRUE(box("Text5")->text().isEmpty());
    EXPECT_FALSE(screen()->PMBASendMode);

    choosePmba(attachment);
    EXPECT_EQ(dialogs.boxes.last().text, "PMBA attachment selected:\n" + attachment + "\n\nFile Size: 26 bytes");
    EXPECT_EQ(dialogs.boxes.last().title, "PMBA Attachment");
    EXPECT_EQ(dialogs.boxes.last().icon, MsgIcon::Information);
    EXPECT_EQ(box("Text5")->text(), attachment);
    EXPECT_TRUE(screen()->PMBASendMode);
    EXPECT_FALSE(enabled("Command1"));
    EXPECT_TRUE(enabled("cmdPMBASend"));
}

class SendFolderLine : public SendFileScreen, public ::testing::WithParamInterface<const char*> {};

TEST_P(SendFolderLine, PmbaPostDecodesWithItsCrcAtTheFarEnd)
{
    writeStore("send.dat", QString::fromLatin1(GetParam()).replace("%1", send).toUtf8());
    choosePmba(attachment);
    setFields("TO: N0CALL", "From: Åsa, SM0XYZ", "Subject: pic", "Message: line, with comma");
    dialogs.clear();
    click("sendfile", "cmdPMBASend");

    ASSERT_EQ(sent(), QStringList{kPmbaName});
    const QString path = send + "/" + kPmbaName;
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].text, QString("PMBA binary mail created successfully!\n\nSaved in Mail Send folder:\n%1"
                                             "\n\nSize: %2 bytes")
                                         .arg(path)
                                         .arg(QFileInfo(path).size()));
    EXPECT_EQ(dialogs.boxes[0].title, "PMBA");
    expectLeftForTheCenter();

    const QString out = tmp.path() + "/received";
    QDir().mkpath(out);
    const Result<ModPMBA::DecodedPmbaMail> d = ModPMBA::PMBA_DecodeBinaryMail(path, out);
    ASSERT_TRUE(d.ok()) << d.error().toStdString();
    EXPECT_EQ(d->to, "TO: N0CALL");
    EXPECT_EQ(d->from, "From: Åsa, SM0XYZ");
    EXPECT_EQ(d->subject, "Subject: pic");
    EXPECT_EQ(d->message, "Message: line, with comma");
    EXPECT_EQ(d->attachmentPath, out + "/photo 1.bin");
    EXPECT_EQ(test::readAll(d->attachmentPath), bytes);
}

INSTANTIATE_TEST_SUITE_P(SendFile, SendFolderLine,
                         ::testing::Values("%1\r\n", "  \"%1\"  \r\n", "%1/\r\n", "\"%1/\"\r\n"));

TEST_F(SendFileScreen, SecondPmbaPostInTheSameSecondIsRefused)
{
    choosePmba(attachment);
    click("sendfile", "cmdPMBASend");
    ASSERT_EQ(sent(), QStringList{kPmbaName});
    const QByteArray first = test::readAll(send + "/" + kPmbaName);

    registry->Show("sendfile");
    choosePmba(attachment);
    dialogs.clear();
    click("sendfile", "cmdPMBASend");
    EXPECT_EQ(dialogs.texts(),
              QStringList{"A PMBA mail file with this name already exists.\nPlease try again in a moment."});
    EXPECT_TRUE(registry->IsFormLoaded("sendfile"));
    EXPECT_EQ(test::readAll(send + "/" + kPmbaName), first);

    clock.time = clock.time.addSecs(1);
    click("sendfile", "cmdPMBASend");
    EXPECT_EQ(sent(), (QStringList{kPmbaName, "PMBA - 14-35-08--12-05-26.pmb"}));
}

struct PostFailure {
    const char* name;
    const char* sendDat; // %1 is the temporary folder; null removes send.dat
    bool pmba;
    const char* message;
};

class PostFailureTest : public SendFileScreen, public ::testing::WithParamInterface<PostFailure> {};

TEST_P(PostFailureTest, RefusedWithItsMessageAndNothingWritten)
{
    const PostFailure& p = GetParam();
    if (p.sendDat) {
        writeStore("send.dat", QString::fromLatin1(p.sendDat).replace("%1", tmp.path()).toUtf8());
    } else {
        QFile::remove(context->store.StorePath("send.dat"));
    }
    if (p.pmba) {
        choosePmba(attachment);
    } else {
        box("Text5")->setText(attachment);
    }
    const QString typed = box("Text1")->text();
    dialogs.clear();
    click("sendfile", p.pmba ? "cmdPMBASend" : "Command1");

    ASSERT_EQ(dialogs.boxes.size(), 1);
    const QString want =
        QString::fromLatin1(p.message).replace("%1", context->store.StorePath("send.dat")).replace("%2", tmp.path());
    EXPECT_EQ(dialogs.boxes[0].text.toStdString(), want.toStdString());
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_TRUE(registry->IsFormLoaded("sendfile"));
    EXPECT_EQ(box("Text1")->text(), typed);
}

INSTANTIATE_TEST_SUITE_P(
    SendFile, PostFailureTest,
    ::testing::Values(PostFailure{"PmbaNoSendDat", nullptr, true, "PMBA SEND ERROR: Cannot find send.dat:\n%1"},
                      PostFailure{"RegularNoSendDat", nullptr, false, "Cannot find send.dat:\n%1"},
                      PostFailure{"PmbaEmptySendDat", "", true, "PMBA SEND ERROR: send.dat is empty:\n%1"},
                      PostFailure{"RegularEmptySendDat", "", false, "send.dat is empty:\n%1"},
                      PostFailure{"PmbaEmptyFolder", "  \"\"  \r\n", true,
                                  "PMBA SEND ERROR: Mail Send folder path is empty."},
                      PostFailure{"RegularEmptyFolder", "\r\n", false, "Mail Send folder path is empty."},
                      PostFailure{"PmbaMissingFolder", "%1/gone\r\n", true,
                                  "PMBA SEND ERROR: Mail Send folder does not exist:\n%2/gone"},
                      PostFailure{"RegularMissingFolder", "%1/gone\r\n", false,
                                  "Mail Send folder does not exist:\n%2/gone"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SendFileScreen, PmbaPostOfAFileThatIsGoneOrUnreadableSaysSo)
{
    choosePmba(attachment);
    QFile::remove(attachment);
    dialogs.clear();
    click("sendfile", "cmdPMBASend");
    EXPECT_EQ(dialogs.texts(), QStringList{"PMBA SEND ERROR: Attachment file not found."});

    ASSERT_TRUE(writeAll(attachment, bytes));
    QFile::setPermissions(attachment, QFileDevice::WriteOwner);
    QFile probe(attachment);
    if (probe.open(QIODevice::ReadOnly)) {
        GTEST_SKIP() << "this user reads files whatever their permissions";
    }
    dialogs.clear();
    click("sendfile", "cmdPMBASend");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("PMBA SEND ERROR: Cannot read the attachment:\n" + attachment));
    EXPECT_EQ(dialogs.boxes[0].title, "PMBA");
    EXPECT_TRUE(sent().isEmpty());
}

// What the operator sees in each chooser's file type list.
TEST_F(SendFileScreen, ChooserFilterListsReadAsGiven)
{
    click("sendfile", "Addfile");
    click("sendfile", "cmdPMBA");
    ASSERT_EQ(dialogs.fileRequests.size(), 2);
    const QList<QStringList> want = {{"Text Files (*.txt)", "All Files (*.*)"},
                                     {"All Files (*.*)", "Pictures (*.jpg;*.jpeg;*.png;*.bmp;*.gif)"}};
    for (int i = 0; i < 2; ++i) {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        QtDialogs::prepare(dialog, dialogs.fileRequests[i]);
        auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        QStringList shown;
        for (int k = 0; k < types->count(); ++k) {
            shown << types->itemText(k);
        }
        EXPECT_EQ(shown, want[i]);
    }
    // Qt reads the patterns from the last bracket group, split at spaces.
    EXPECT_EQ(QtDialogs::nameFilters(dialogs.fileRequests[1].filters)[1],
              "Pictures (*.jpg;*.jpeg;*.png;*.bmp;*.gif) (*.jpg *.jpeg *.png *.bmp *.gif)");
    // A description without its patterns gets them added, as the other screens pass them.
    EXPECT_EQ(QtDialogs::filterLabel({"All Files", "*.*"}), "All Files (*.*)");
}

TEST_F(SendFileScreen, RegularPostOfAnUntouchedScreenReadsBackAtTheFarEnd)
{
    box("Text5")->setText(attachment);
    click("sendfile", "Command1");
    EXPECT_TRUE(dialogs.boxes.isEmpty()) << dialogs.texts().join("|").toStdString();
    ASSERT_EQ(sent(), QStringList{kFileName});
    expectLeftForTheCenter();
    EXPECT_EQ(control<QListWidget>("PACKETWINLINK", "File1")->count(), 1);

    const Result<FileMail::Mail> r = FileMail::Read(send + "/" + kFileName);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->to, "TO:");
    EXPECT_EQ(r->from, "From:");
    EXPECT_EQ(r->subject, "Subject:");
    EXPECT_EQ(r->message, "Message:");
    EXPECT_EQ(r->fileName, "photo 1.bin");
    EXPECT_EQ(r->data, bytes);
}

TEST_F(SendFileScreen, RegularPostRefusesEmptyChoicesAndSameSecondRepeats)
{
    click("sendfile", "Command1");
    EXPECT_EQ(dialogs.texts(), QStringList{"No file selected!"});

    const QString empty = tmp.path() + "/empty.txt";
    ASSERT_TRUE(writeAll(empty, {}));
    box("Text5")->setText(empty);
    click("sendfile", "Command1");
    EXPECT_EQ(dialogs.texts().last(), "Error: File is empty or unreadable!");
    EXPECT_TRUE(sent().isEmpty());

    ASSERT_TRUE(writeAll(send + "/" + kFileName, "waiting\r\n"));
    box("Text5")->setText(attachment);
    click("sendfile", "Command1");
    EXPECT_EQ(dialogs.texts().last(), "A file mail with this name already exists.\nPlease try again in a moment.");
    EXPECT_EQ(test::readAll(send + "/" + kFileName), "waiting\r\n");
    EXPECT_TRUE(registry->IsFormLoaded("sendfile"));
}

class CommaRefusal : public SendFileScreen, public ::testing::WithParamInterface<const char*> {};

TEST_P(CommaRefusal, RegularPostRefusesACommaAndPointsToPmba)
{
    const QString where = QString::fromLatin1(GetParam());
    QString file = attachment;
    if (where == "file name") {
        file = tmp.path() + "/a,b.bin";
        ASSERT_TRUE(writeAll(file, "x"));
    } else {
        box(where == "To" ? "Text3" : where == "From" ? "Text4" : where == "Subject" ? "Text2" : "Text1")
            ->setText("one, two");
    }
    box("Text5")->setText(file);
    click("sendfile", "Command1");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(dialogs.boxes[0].text.contains("There is one in: " + where + "."));
    EXPECT_TRUE(dialogs.boxes[0].text.contains("Post PMBA to Outbox"));
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_TRUE(registry->IsFormLoaded("sendfile"));
}

INSTANTIATE_TEST_SUITE_P(SendFile, CommaRefusal, ::testing::Values("Message", "Subject", "To", "From", "file name"));

TEST_F(SendFileScreen, ResetAfterAPostAndExit)
{
    screen()->ClearSendFields();
    EXPECT_EQ(box("Text3")->text(), "To: ");
    EXPECT_EQ(box("Text2")->text(), "Subject: ");
    EXPECT_EQ(box("Text1")->text(), "Your Message: ");
    EXPECT_EQ(box("Text4")->text(), "From: ");
    EXPECT_TRUE(enabled("Command1"));
    EXPECT_FALSE(enabled("cmdPMBASend"));

    click("sendfile", "Command2");
    EXPECT_FALSE(registry->IsFormLoaded("sendfile"));
    ASSERT_TRUE(registry->IsFormLoaded("mainmenu"));
    EXPECT_TRUE(registry->loaded("mainmenu")->isVisible());
    EXPECT_FALSE(shown("mainmenu", "testprogram"));
    EXPECT_FALSE(shown("mainmenu", "chksoundtoggle"));
}

namespace {

struct LossCase {
    const char* name;
    bool pmba;                       // "Post PMBA to Outbox", else "Post Regular to Outbox"
    std::optional<MsgAnswer> answer; // none: the default button
};

class TextLoss : public SendFileScreen, public ::testing::WithParamInterface<LossCase> {};

} // namespace

// Text the code page lacks is named before either post; only Yes writes it
// (as "?"), and cancelling leaves the screen as it was.
TEST_P(TextLoss, AsksBeforeCharactersAreLost)
{
    const LossCase& c = GetParam();
    if (c.pmba) {
        choosePmba(attachment);
    } else {
        box("Text5")->setText(attachment);
    }
    setFields("TO: \u00C5sa", QString::fromUtf8("От"), "Subject:", "Message:");
    dialogs.clear();
    if (c.answer) {
        dialogs.answers.enqueue(*c.answer);
    }
    click("sendfile", c.pmba ? "cmdPMBASend" : "Command1");

    ASSERT_FALSE(dialogs.boxes.isEmpty());
    EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(dialogs.boxes[0].defaultButton, MsgAnswer::No);
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QString::fromUtf8("\u041E (U+041E), \u0442 (U+0442)\n")))
        << dialogs.boxes[0].text.toStdString();
    const bool posted = c.answer == MsgAnswer::Yes;
    EXPECT_EQ(sent(), posted ? QStringList{c.pmba ? kPmbaName : kFileName} : QStringList{});
    if (!posted) {
        EXPECT_EQ(dialogs.boxes.size(), 1);
        EXPECT_EQ(box("Text4")->text(), QString::fromUtf8("От"));
        EXPECT_EQ(screen()->PMBASendMode, c.pmba);
        return;
    }
    expectLeftForTheCenter();
    if (c.pmba) {
        QDir().mkpath(tmp.path() + "/out");
        const Result<ModPMBA::DecodedPmbaMail> r =
            ModPMBA::PMBA_DecodeBinaryMail(send + "/" + kPmbaName, tmp.path() + "/out");
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r->from, "??");
        EXPECT_EQ(r->to, "TO: \u00C5sa");
    } else {
        const Result<FileMail::Mail> r = FileMail::Read(send + "/" + kFileName);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r->from, "??");
        EXPECT_EQ(r->to, "TO: \u00C5sa");
    }
}

INSTANTIATE_TEST_SUITE_P(SendFile, TextLoss,
                         ::testing::Values(LossCase{"PmbaDefaultCancels", true, std::nullopt},
                                           LossCase{"PmbaNoCancels", true, MsgAnswer::No},
                                           LossCase{"PmbaYesPosts", true, MsgAnswer::Yes},
                                           LossCase{"RegularDefaultCancels", false, std::nullopt},
                                           LossCase{"RegularYesPosts", false, MsgAnswer::Yes}),
                         [](const auto& info) { return std::string(info.param.name); });

// As soon as a file is chosen the screen shows what each form would send,
// and follows the texts, which are part of the PMBA mail and the file mail.
TEST_F(SendFileScreen, ChosenFileShowsSizesAndAirTimeAtTheStoredSpeed)
{
    auto* estimate = control<QLabel>("sendfile", "lblEstimate");
    EXPECT_FALSE(estimate->isVisible());
    ASSERT_TRUE(SendEstimate::WriteBaud(context->store, 300).ok());
    choosePmba(attachment);
    ASSERT_TRUE(estimate->isVisible());
    QStringList lines = estimate->text().split('\n');
    ASSERT_EQ(lines.size(), 3);
    const auto pmbaSize = [&] {
        return ModPMBA::PMBA_MailSize(attachment, box("Text3")->text(), box("Text4")->text(), box("Text2")->text(),
                                      box("Text1")->text())
            .value();
    };
    EXPECT_TRUE(lines[0].startsWith(QString("PMBA mail: %1 bytes").arg(pmbaSize()))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith("smallest"));
    EXPECT_TRUE(lines[2].contains("in 1 part, about")) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].contains("at 300 baud"));

    box("Text1")->setText("Message: a, b and a longer text");
    lines = estimate->text().split('\n');
    EXPECT_TRUE(lines[0].startsWith(QString("PMBA mail: %1 bytes").arg(pmbaSize())));
    EXPECT_EQ(lines[1], "Regular file mail: not possible (A regular file mail cannot carry a comma. There is one in: "
                        "Message.)");
    box("Text5")->clear();
    EXPECT_FALSE(estimate->isVisible());
}
