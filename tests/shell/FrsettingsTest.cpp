#include "ScreenFixture.h"

#include "pmba/SendEstimate.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

using namespace tolvan;
using tolvan::test::ScreenFixture;

namespace {

struct Field {
    const char* box;
    const char* file;
};

// In the order the screen reads them.
const Field kFields[] = {
    {"Text3", "receive.dat"},        {"Text2", "send.dat"},
    {"Text1", "save.dat"},           {"Text4", "packet.dat"},
    {"Text5", "winlink.dat"},        {"Text6", "splitter.dat"},
    {"Text7", "received.dat"},       {"Text8", "soundmodempacket.dat"},
    {"Text9", "direwolfpacket.dat"}, {"Text11", "VARA.dat"},
    {"Text13", "TLVTerminal.dat"},
};

class Settings : public ScreenFixture {
protected:
    void storeAll()
    {
        for (const Field& f : kFields) {
            writeStore(f.file, QByteArray("/radio/") + f.file + "\r\n");
        }
    }
    // The file as a writer with another spelling of its name leaves it.
    void respell(const QString& canonical, const QString& other, const QByteArray& bytes)
    {
        QFile::remove(context->store.StorePath(canonical));
        writeStore(other, bytes);
    }
    QString field(const char* box) { return control<QLineEdit>("frsettings", box)->text(); }
    int filled()
    {
        int n = 0;
        for (const Field& f : kFields) {
            n += field(f.box).isEmpty() ? 0 : 1;
        }
        return n;
    }
    bool noFilePickedShown() const
    {
        return dialogs.boxes.size() == 1 && dialogs.boxes[0].text == " no file picked" &&
               dialogs.boxes[0].icon == MsgIcon::None && dialogs.boxes[0].title.isEmpty();
    }
    // The way the main menu opens it: always a fresh load.
    void openFromMainMenu()
    {
        registry->Show("mainmenu");
        click("mainmenu", "SETTINGS");
        ASSERT_TRUE(registry->IsFormLoaded("frsettings"));
    }
};

} // namespace

TEST_F(Settings, EveryStoredLocationIsShown)
{
    storeAll();
    respell("VARA.dat", "VARA.DAT", "blank\r\n");
    openFromMainMenu();
    EXPECT_FALSE(registry->IsFormLoaded("mainmenu"));
    for (const Field& f : kFields) {
        const QString expected = QString::fromLatin1(f.file) == "VARA.dat" ? "(not set)" : "/radio/" + QString(f.file);
        EXPECT_EQ(field(f.box), expected) << f.box;
    }
    EXPECT_TRUE(dialogs.boxes.isEmpty());
    EXPECT_EQ(control<QLabel>("frsettings", "Label7")->text(), "Serial  Port Splitter");
}

// A file that cannot be read marks only its own item; every other item is still filled.
class UnreadableFile : public Settings, public ::testing::WithParamInterface<int> {};

TEST_P(UnreadableFile, OnlyItsItemIsMarkedNotSet)
{
    const int failing = GetParam();
    storeAll();
    const QString path = context->store.StorePath(kFields[failing].file);
    if (failing % 2 == 0) {
        QFile::remove(path);
    } else {
        writeStore(kFields[failing].file, ""); // an empty file is no value either
    }
    openFromMainMenu();
    // Reported once, although the menu loads the screen twice to make it fresh.
    EXPECT_TRUE(noFilePickedShown()) << dialogs.boxes.size();
    for (int i = 0; i < int(std::size(kFields)); ++i) {
        const QString want = i == failing ? "(not set)" : "/radio/" + QString(kFields[i].file);
        EXPECT_EQ(field(kFields[i].box), want) << kFields[i].box;
    }
    EXPECT_TRUE(registry->loaded("frsettings")->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Files, UnreadableFile, ::testing::Values(0, 3, 1, 10));

TEST_F(Settings, CommaPathsAreWholeOnlyForTheSaveFolder)
{
    storeAll();
    writeStore("save.dat", "/radio/MAIL, SAVE\r\n");
    respell("send.dat", "SEND.DAT", "/radio/MAIL, SEND\r\n");
    openFromMainMenu();
    EXPECT_EQ(field("Text1"), "/radio/MAIL, SAVE");
    EXPECT_EQ(field("Text2"), "/radio/MAIL");
}

TEST_F(Settings, ReturnLeadsToTheFullMainMenu)
{
    storeAll();
    openFromMainMenu();
    click("frsettings", "Command1");
    EXPECT_FALSE(registry->IsFormLoaded("frsettings"));
    ASSERT_TRUE(registry->IsFormLoaded("mainmenu"));
    EXPECT_FALSE(shown("mainmenu", "testprogram"));
    EXPECT_FALSE(shown("mainmenu", "chksoundtoggle"));
    for (const char* visible : {"PACKETMAIL", "SEND", "RECEIVE", "RETRIEVE", "SETTINGS", "exit"}) {
        EXPECT_TRUE(shown("mainmenu", visible)) << visible;
    }
}

TEST_F(Settings, DirectorySetupOnlyAfterConfirmation)
{
    storeAll();
    openFromMainMenu();
    Screen* before = registry->loaded("frsettings");

    dialogs.answers.enqueue(MsgAnswer::No);
    click("frsettings", "Command2");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    const MessageBoxRequest& ask = dialogs.boxes[0];
    EXPECT_EQ(ask.title, "Confirmation");
    EXPECT_EQ(ask.text, "This will cause you to do a total test cycle again. Yes to continue, No to cancel.");
    EXPECT_EQ(ask.icon, MsgIcon::Exclamation);
    EXPECT_EQ(ask.buttons, MsgButtons::YesNo);
    EXPECT_EQ(registry->loaded("frsettings"), before);
    EXPECT_TRUE(before->isVisible());
    EXPECT_EQ(field("Text3"), "/radio/receive.dat");
    EXPECT_FALSE(registry->IsFormLoaded("DIRCHANGE"));

    registry->Load("mainmenu");
    dialogs.answers.enqueue(MsgAnswer::Yes);
    click("frsettings", "Command2");
    EXPECT_EQ(registry->loadedNames(), QStringList{"DIRCHANGE"});
    EXPECT_TRUE(registry->loaded("DIRCHANGE")->isVisible());
    EXPECT_TRUE(shown("DIRCHANGE", "Command1"));
}

// The link speed is chosen from the list or typed; a typed word that is no
// speed goes back to the stored one.
TEST_F(Settings, LinkSpeedIsStoredWhenChosenOrTyped)
{
    storeAll();
    openFromMainMenu();
    auto* baud = control<QComboBox>("frsettings", "cboBaud");
    EXPECT_EQ(baud->currentText(), "1200");
    baud->setCurrentIndex(baud->findText("9600"));
    emit baud->activated(baud->currentIndex());
    EXPECT_EQ(SendEstimate::ReadBaud(context->store), 9600);
    EXPECT_TRUE(QFileInfo::exists(context->store.programFolder() + "/baud.dat"));
    for (const auto& [typed, stored] : {std::pair{"38400", 38400}, std::pair{"fast", 38400}, std::pair{"-1", 38400}}) {
        baud->lineEdit()->setText(typed);
        emit baud->lineEdit()->editingFinished();
        EXPECT_EQ(SendEstimate::ReadBaud(context->store), stored) << typed;
        EXPECT_EQ(baud->currentText(), QString::number(stored)) << typed;
    }
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

// The call sign is checked as typed, stored in upper case, and the station's
// Direwolf configuration follows it unless the operator edited that file.
TEST_F(Settings, CallSignIsCheckedStoredAndConfiguresDirewolf)
{
    storeAll();
    openFromMainMenu();
    auto* call = control<QLineEdit>("frsettings", "txtCall");
    const QString conf = programFolder() + "/direwolf.conf";
    const auto type = [&](const char* text) {
        call->setText(text);
        emit call->editingFinished();
    };
    type("N0CALL-16");
    EXPECT_FALSE(context->store.StoreFileExists("terminalcall.dat"));
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("\"N0CALL-16\" is not a call sign: ")) << dialogs.boxes[0].text.toStdString();

    type("n0call-1");
    EXPECT_EQ(readFile(context->store.StorePath("terminalcall.dat")), "N0CALL-1\r\n");
    EXPECT_EQ(call->text(), "N0CALL-1");
    EXPECT_TRUE(readFile(conf).contains("\nMYCALL N0CALL-1\n"));

    type("");
    EXPECT_EQ(call->text(), "N0CALL-1"); // a station keeps its call sign
    QFile edited(conf);
    ASSERT_TRUE(edited.open(QIODevice::Append));
    edited.write("# my own line\n");
    edited.close();
    type("N0CALL-2");
    EXPECT_EQ(readFile(context->store.StorePath("terminalcall.dat")), "N0CALL-2\r\n");
    EXPECT_TRUE(readFile(conf).contains("MYCALL N0CALL-1\n")); // edited: left alone
    EXPECT_EQ(dialogs.boxes.size(), 2);
}
