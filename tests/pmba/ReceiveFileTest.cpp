#include "ScreenFixture.h"

#include "monitor/filemonitors.h"
#include "monitor/fileoperation.h"
#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"
#include "pmba/receivefile.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QtEndian>

using namespace tolvan;
using tolvan::test::ScreenFixture;

namespace {

QByteArray le32(qint32 v)
{
    QByteArray b(4, Qt::Uninitialized);
    qToLittleEndian(v, b.data());
    return b;
}

QByteArray pmbaMail(const QByteArray& name, const QByteArray& data)
{
    auto field = [](const QByteArray& t) { return le32(qint32(t.size())) + t; };
    return field("PMBA") + le32(1) + field("TO: X") + field("FROM: Y") + field("SUBJ") + field("Line 1\r\nLine 2") +
           field(name) + le32(qint32(data.size())) + data + le32(qint32(ModPMBA::PMBA_Crc32(data)));
}

class ReceiveFileScreen : public ScreenFixture {
protected:
    QString rx() const { return tmp.path() + "/rx"; }
    QString handOver() const { return programFolder() + "temp"; }

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
    void write(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString text(const QString& name)
    {
        if (auto* e = control<QLineEdit>("receivefile", name)) {
            return e->text();
        }
        auto* p = control<QPlainTextEdit>("receivefile", name);
        return p ? p->toPlainText() : QString("<none>");
    }
    receivefile* screen() { return qobject_cast<receivefile*>(registry->loaded("receivefile")); }
    // Reads the named file of the receive folder as the operator does.
    void readMessage(const QString& name)
    {
        registry->Show("received");
        auto* list = registry->loaded("received")->findChild<QListWidget*>("File1");
        const auto items = list->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        list->setCurrentItem(items.first());
        click("received", "Command2");
    }
    bool prompts()
    {
        return text("Text3") == "To: " && text("Text2") == "Subject: " && text("Text1") == "Your Message: " &&
               text("Text4") == "From: " && text("Text5").isEmpty();
    }
};

} // namespace

TEST_F(ReceiveFileScreen, SavingAPmbaAttachmentRemovesTheIncomingMail)
{
    const QString pmb = rx() + "/PMBA - 1.pmb";
    write(pmb, pmbaMail("photo.jpg", "JPEGDATA"));
    writeStore("save.dat", (tmp.path() + "\r\n").toUtf8());
    writeStore("autosave.dat", "1\r\n");
    readMessage("PMBA - 1.pmb");
    // Auto-save keeps the mail's text, which leaves with the incoming file.
    EXPECT_EQ(readFile(tmp.path() + "/mail_26-12-05_1435.dat"), "TO: X,SUBJ,Line 1\r\nLine 2,FROM: Y\r\n");

    ASSERT_NE(screen(), nullptr);
    EXPECT_TRUE(screen()->isVisible());
    EXPECT_FALSE(registry->loaded("received")->isVisible());
    EXPECT_TRUE(dialogs.boxes.isEmpty()) << dialogs.texts().join(" | ").toStdString();
    const QString attachment = programFolder() + "/PMBA-Binary-Received/photo.jpg";
    EXPECT_EQ(text("Text3"), "TO: X");
    EXPECT_EQ(text("Text4"), "FROM: Y");
    EXPECT_EQ(text("Text2"), "SUBJ");
    EXPECT_EQ(text("Text1"), "Line 1\nLine 2");
    EXPECT_EQ(text("Text5"), attachment);
    EXPECT_TRUE(screen()->PMBAReceiveMode);
    EXPECT_EQ(screen()->PMBAOriginalMailPath, pmb);
    EXPECT_TRUE(QFile::exists(pmb)) << "kept until the attachment is saved";

    // Cancelling the dialog saves nothing; without a folder for attached files the dialog picks its own.
    screen()->Text5_Click();
    EXPECT_EQ(dialogs.texts(), QStringList{"No destination selected."});
    EXPECT_TRUE(QFile::exists(pmb));
    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_TRUE(dialogs.fileRequests[0].initialFolder.isEmpty());

    dialogs.clear();
    const QString attachedFolder = tmp.path() + "/attached";
    QDir().mkpath(attachedFolder);
    writeStore("received.dat", (attachedFolder + "\r\n").toUtf8());
    const QString dest = tmp.path() + "/saved.jpg";
    dialogs.fileAnswers.enqueue(dest);
    screen()->Text5_Click();
    ASSERT_EQ(dialogs.fileRequests.size(), 1);
    EXPECT_EQ(dialogs.fileRequests[0].title, "Save Attachment As");
    EXPECT_EQ(dialogs.fileRequests[0].proposedName, "photo.jpg");
    EXPECT_EQ(dialogs.fileRequests[0].initialFolder, attachedFolder);
    EXPECT_EQ(readFile(dest), "JPEGDATA");
    EXPECT_FALSE(QFile::exists(pmb));
    EXPECT_EQ(readFile(attachment), "JPEGDATA") << "the decoded copy stays";
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].text, "File successfully saved to: " + dest);
    EXPECT_EQ(dialogs.boxes[0].title, "Attachment Saved");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Information);
    EXPECT_TRUE(prompts());
    for (const char* caption : {"To", "Subject", "From", "Message"}) {
        auto* label = registry->loaded("receivefile")->findChild<QLabel*>(QString("lbl") + caption);
        ASSERT_NE(label, nullptr) << caption;
        EXPECT_EQ(label->text(), caption);
        EXPECT_TRUE(label->isVisible() && label->buddy() != nullptr) << caption;
    }
    EXPECT_FALSE(screen()->PMBAReceiveMode);
    EXPECT_TRUE(screen()->PMBAOriginalMailPath.isEmpty());
    EXPECT_EQ(registry->loaded("received")->findChild<QListWidget*>("File1")->count(), 0);

    // The path box is empty now.
    dialogs.clear();
    dialogs.fileAnswers.enqueue(dest);
    screen()->Text5_Click();
    EXPECT_EQ(dialogs.texts(), QStringList{"Error: Received file not found!"});
}

TEST_F(ReceiveFileScreen, UnwritableDestinationKeepsTheIncomingMail)
{
    const QString pmb = rx() + "/in.pmb";
    write(pmb, pmbaMail("a.bin", "x"));
    readMessage("in.pmb");
    dialogs.clear();
    dialogs.fileAnswers.enqueue(tmp.path() + "/no/such/folder/a.bin");
    screen()->Text5_Click();
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("Error: The attachment could not be saved: "));
    EXPECT_TRUE(QFile::exists(pmb));
    EXPECT_TRUE(screen()->PMBAReceiveMode);
    EXPECT_EQ(text("Text5"), programFolder() + "/PMBA-Binary-Received/a.bin");
}

TEST_F(ReceiveFileScreen, AttachmentWhoseNameStartsWithADotIsSaved)
{
    const QString pmb = rx() + "/in.pmb";
    write(pmb, pmbaMail("a.bin", "payload"));
    readMessage("in.pmb");
    // The attachment as the decoder would have written it under a dot name.
    const QString hidden = programFolder() + "/PMBA-Binary-Received/.a.bin";
    ASSERT_TRUE(QFile::rename(programFolder() + "/PMBA-Binary-Received/a.bin", hidden));
    screen()->PMBAAttachmentPath = hidden;
    screen()->DisplayPMBAMail();
    dialogs.clear();
    const QString dest = tmp.path() + "/saved.bin";
    dialogs.fileAnswers.enqueue(dest);
    screen()->Text5_Click();

    EXPECT_EQ(dialogs.texts(), QStringList{"File successfully saved to: " + dest});
    EXPECT_EQ(dialogs.fileRequests.value(0).proposedName, ".a.bin");
    EXPECT_EQ(readFile(dest), "payload");
    EXPECT_FALSE(QFile::exists(pmb)) << "the incoming mail goes once its attachment is safe";
}

TEST_F(ReceiveFileScreen, SavingOverTheIncomingMailItselfKeepsWhatWasSaved)
{
    const QString pmb = rx() + "/in.pmb";
    write(pmb, pmbaMail("a.bin", "payload"));
    readMessage("in.pmb");
    dialogs.fileAnswers.enqueue(pmb);
    screen()->Text5_Click();
    EXPECT_EQ(readFile(pmb), "payload");
}

TEST_F(ReceiveFileScreen, ExistingFileIsReplacedOnlyWhenTheOperatorSaysSo)
{
    // The carried file goes to the attachment folder, never beside the program.
    const QString doc = programFolder() + "/PMBA-Binary-Received/doc.txt";
    QDir().mkpath(programFolder() + "/PMBA-Binary-Received");
    write(doc, "mine");
    write(handOver(), FileMail::Build({"m", "s", "t", "f", "doc.txt", "theirs"}));
    dialogs.answers.enqueue(MsgAnswer::No);
    registry->Show("receivefile");
    EXPECT_EQ(readFile(doc), "mine");
    ASSERT_EQ(dialogs.boxes.size(), 2);
    EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(dialogs.boxes[0].defaultButton, MsgAnswer::No);
    EXPECT_TRUE(dialogs.boxes[1].text.contains("existing file was kept"));
    EXPECT_TRUE(text("Text5").isEmpty());

    registry->Unload("receivefile");
    flush();
    dialogs.clear();
    dialogs.answers.enqueue(MsgAnswer::Yes);
    registry->Show("receivefile");
    EXPECT_EQ(readFile(doc), "theirs");
    EXPECT_EQ(text("Text5"), doc);
}

// The incoming file mail, the only whole copy of its file until that is written
// somewhere, leaves only then, or when the operator, told so, lets it go.
TEST_F(ReceiveFileScreen, AFileMailStaysUntilItsFileIsWrittenOrLetGo)
{
    const QString doc = programFolder() + "/PMBA-Binary-Received/doc.txt", other = tmp.path() + "/other.txt";
    using A = MsgAnswer;
    const struct {
        const char* label;
        char atName; // 'f' a file, 'l' a dangling link, or nothing at the carried file's name
        QList<MsgAnswer> answers;
        bool incomingStays;
    } cases[] = {
        {"new name", 0, {}, false},
        {"kept by No", 'f', {A::No, A::No, A::No}, true},
        {"let go after the warning", 'f', {A::No, A::No, A::Yes}, false},
        {"another name", 'f', {A::No, A::Yes}, false},
        {"link in the way", 'l', {A::No, A::No}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        QDir(programFolder() + "/PMBA-Binary-Received").removeRecursively();
        QDir().mkpath(programFolder() + "/PMBA-Binary-Received");
        if (c.atName == 'f') {
            write(doc, "mine");
        } else if (c.atName == 'l') {
            ASSERT_TRUE(QFile::link(tmp.path() + "/victim", doc));
        }
        write(rx() + "/File - 1.txt", FileMail::Build({"m", "s", "t", "f", "doc.txt", "theirs"}));
        if (filemonitors* watch = fileoperation::ReceiveMonitor()) {
            watch->TimerScan_Timer(); // complete at once: the quiet period is 0
        }
        dialogs.clear();
        dialogs.answers.append(c.answers);
        dialogs.fileAnswers.enqueue(other);
        readMessage("File - 1.txt");
        EXPECT_EQ(QFile::exists(rx() + "/File - 1.txt"), c.incomingStays) << dialogs.texts().join(" | ").toStdString();
        EXPECT_TRUE(dialogs.answers.isEmpty());
        EXPECT_EQ(readFile(doc), c.atName == 'f' ? "mine" : c.atName ? "" : "theirs");
        EXPECT_EQ(QFile::exists(other), c.answers.size() == 2 && c.atName == 'f');
        EXPECT_FALSE(QFile::exists(tmp.path() + "/victim"));
        QFile::remove(other);
        registry->Unload("receivefile");
        flush();
    }
}

struct BadFileMail {
    const char* name;
    QByteArray content;
    const char* message; // the start of the one box shown
};

void PrintTo(const BadFileMail& c, std::ostream* os)
{
    *os << c.name;
}

class BadRegularFileMail : public ReceiveFileScreen, public ::testing::WithParamInterface<BadFileMail> {};

TEST_P(BadRegularFileMail, IsRefusedWithAMessageAndNothingWritten)
{
    const QStringList before = QDir(programFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    write(handOver(), GetParam().content);
    registry->Show("receivefile");
    ASSERT_EQ(dialogs.boxes.size(), 1) << dialogs.texts().join(" | ").toStdString();
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(GetParam().message)) << dialogs.boxes[0].text.toStdString();
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(prompts());
    EXPECT_TRUE(registry->loaded("receivefile")->isVisible()) << "the screen stays open";
    QStringList after = QDir(programFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    after.removeAll(QFileInfo(handOver()).fileName());
    EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, BadRegularFileMail,
    ::testing::Values(BadFileMail{"FivePieces", QByteArray("a,b,c,d,e").toBase64() + "\r\n",
                                  "Error: Decoded data format is incorrect!"},
                      BadFileMail{"NotBase64", "this is not base64 !!\r\n",
                                  "Error: The file mail is not valid Base64 text!"},
                      BadFileMail{"CarriedNotBase64", QByteArray("m,s,t,f,x.bin,@@@").toBase64() + "\r\n",
                                  "Error: The attached file is not valid Base64 data!"},
                      BadFileMail{"NameLeavesTheFolder", QByteArray("m,s,t,f,../evil.txt,QUJD").toBase64() + "\r\n",
                                  "Error: The file name in this mail is not valid"},
                      BadFileMail{"NameIsDotDot", QByteArray("m,s,t,f,..,QUJD").toBase64() + "\r\n",
                                  "Error: The file name in this mail is not valid"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReceiveFileScreen, MissingHandOverFileLeavesAnEmptyScreen)
{
    registry->Show("receivefile");
    EXPECT_EQ(dialogs.texts(), QStringList{"Error: temp file not found!"});
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(prompts());
}
