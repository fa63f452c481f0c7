#include "ScreenFixture.h"

#include "config/DIRCHANGE.h"
#include "config/DIRCHANGESections.h"
#include "config/FolderListBoxes.h"
#include "platform/PlatformTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tolvan;
using tolvan::test::ScreenFixture;

namespace {

class DirScreen : public ScreenFixture {
protected:
    QString radio() const { return tmp.path() + QStringLiteral("/Radio"); }

    void SetUp() override
    {
        ScreenFixture::SetUp();
        ASSERT_TRUE(QDir().mkpath(radio() + QStringLiteral("/Tools")));
        ASSERT_TRUE(QDir().mkpath(radio() + QStringLiteral("/Logs")));
        QFile exe(radio() + QStringLiteral("/wintnc.exe"));
        ASSERT_TRUE(exe.open(QIODevice::WriteOnly));
        // Stands in for the packet-programs screen, which must reload after a store.
        registry->add("PACKETWINLINK", [](ScreenRegistry& r) { return new Screen(r, "PACKETWINLINK"); });
        screen = qobject_cast<DIRCHANGE*>(registry->Show("DIRCHANGE"));
        ASSERT_NE(screen, nullptr);
    }

    QString stored(const QString& name) { return QString::fromLatin1(readFile(context->store.StorePath(name))); }
    bool exists(const QString& name) { return context->store.StoreFileExists(name); }
    QString boxText(const QString& name) { return control<QLineEdit>("DIRCHANGE", name)->text(); }

    DIRCHANGE* screen = nullptr;
};

} // namespace

TEST_F(DirScreen, ControlsCarryTheirNamesAndCaptions)
{
    for (const DirSetup::Section& s : DirSetup::sections()) {
        const QString n = QString::number(s.number);
        ASSERT_NE(control<QLabel>("DIRCHANGE", s.label), nullptr) << s.number;
        EXPECT_EQ(control<QLabel>("DIRCHANGE", s.label)->text(), s.caption);
        EXPECT_NE(control<DriveListBox>("DIRCHANGE", "Drive" + n), nullptr);
        EXPECT_NE(control<DirListBox>("DIRCHANGE", "Dir" + n), nullptr);
        EXPECT_NE(control<FileListBox>("DIRCHANGE", "File" + n), nullptr);
        EXPECT_EQ(boxText(s.display), "");
        EXPECT_EQ(control<QPushButton>("DIRCHANGE", s.enterButton)->text(), "ENTER");
        if (!s.createButton.isEmpty()) {
            EXPECT_EQ(control<QPushButton>("DIRCHANGE", s.createButton)->text(), s.createCaption);
            EXPECT_EQ(boxText(s.nameBox), s.nameText);
        }
    }
    EXPECT_EQ(control<QLabel>("DIRCHANGE", "Label10")->text(), "STORAGE FILES");
    EXPECT_EQ(control<QLabel>("DIRCHANGE", "Label11")->text(), "COMMUNICATION");
    EXPECT_EQ(control<QPushButton>("DIRCHANGE", "Command8")->text(),
              "Click here to save all  Newly Created Directories");
    // Loading reads no store file and writes none.
    EXPECT_TRUE(QDir(tmp.path()).entryList({"*.dat"}, QDir::Files).isEmpty());
}

TEST_F(DirScreen, FitsASmallLaptopScreen)
{
    const QSize need = screen->minimumSizeHint();
    EXPECT_LE(need.width(), 1366);
    EXPECT_LE(need.height(), 768);
    EXPECT_LE(screen->width(), 1366);
    EXPECT_LE(screen->height(), 768);
}

// Every section, driven the same way: open the folder, pick the file or not,
// press ENTER.
class EverySection : public DirScreen, public ::testing::WithParamInterface<int> {
protected:
    const DirSetup::Section& section() const { return *DirSetup::sectionByNumber(GetParam()); }
};

TEST_P(EverySection, BrowsingStoresOnlyWhereMarked)
{
    const DirSetup::Section& s = section();
    ASSERT_TRUE(screen->dirList(s.number)->setPath(radio() + "/Tools"));
    EXPECT_EQ(screen->fileList(s.number)->path(), radio() + "/Tools");
    if (s.storesWhileBrowsing) {
        EXPECT_EQ(stored(s.storeFile), radio() + "/Tools\r\n");
    } else {
        EXPECT_FALSE(exists(s.storeFile));
    }
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

TEST_P(EverySection, EnterWithoutAFileChosen)
{
    const DirSetup::Section& s = section();
    ASSERT_TRUE(screen->dirList(s.number)->setPath(radio()));
    registry->Load("PACKETWINLINK");
    click("DIRCHANGE", s.enterButton);
    const QString expected = s.kind == DirSetup::Kind::Program ? QStringLiteral("blank") : radio();
    EXPECT_EQ(stored(s.storeFile), expected + "\r\n");
    EXPECT_EQ(boxText(s.display), expected);
    EXPECT_FALSE(registry->IsFormLoaded("PACKETWINLINK"));
    EXPECT_TRUE(dialogs.boxes.isEmpty());
}

TEST_P(EverySection, EnterWithAFileChosenReplacesWhatBrowsingStored)
{
    const DirSetup::Section& s = section();
    ASSERT_TRUE(screen->dirList(s.number)->setPath(radio()));
    screen->fileList(s.number)->setFileName("wintnc.exe");
    ASSERT_EQ(screen->fileList(s.number)->FileName(), "wintnc.exe");
    click("DIRCHANGE", s.enterButton);
    // A folder section keeps its value a folder: its readers write into it.
    const QString expected = s.kind == DirSetup::Kind::Program ? radio() + "/wintnc.exe" : radio();
    EXPECT_EQ(stored(s.storeFile), expected + "\r\n");
    EXPECT_EQ(boxText(s.display), expected);
    EXPECT_EQ(ConfigStore(programFolder()).ReadStoreLine(s.storeFile).value, expected);
}

TEST_P(EverySection, EnterInTheFolderListOpensTheHighlightedFolder)
{
    const DirSetup::Section& s = section();
    DirListBox* dir = screen->dirList(s.number);
    ASSERT_TRUE(dir->setPath(radio()));
    dir->setCurrentRow(dir->rowOf(radio() + "/Logs"));
    QTest::keyClick(dir, Qt::Key_Down); // arrows only move the highlight
    EXPECT_EQ(dir->path(), radio());
    EXPECT_EQ(dir->highlightedPath(), radio() + "/Tools");
    QTest::keyClick(dir, Qt::Key_Return);
    EXPECT_EQ(dir->path(), radio() + "/Tools");
    EXPECT_EQ(screen->fileList(s.number)->path(), radio() + "/Tools");
    // Enter on the open folder's parent line climbs back.
    dir->setCurrentRow(dir->rowOf(radio()));
    QTest::keyClick(dir, Qt::Key_Enter);
    EXPECT_EQ(dir->path(), radio());
}

TEST_P(EverySection, UnreadableDriveLeavesTheListsUsable)
{
    const DirSetup::Section& s = section();
    DriveListBox* drive = screen->driveList(s.number);
    DirListBox* dir = screen->dirList(s.number);
    const QString gone = tmp.path() + "/unmounted";
    drive->setDrives({tmp.path(), gone});
    ASSERT_TRUE(dir->setPath(radio()));
    dialogs.clear();

    drive->setCurrentIndex(1);
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(dialogs.boxes[0].text.contains(gone));
    EXPECT_EQ(dir->path(), radio());
    EXPECT_EQ(drive->drive(), tmp.path());

    // Enter in the drive list applies the drive shown; the terminal's drive
    // list has no Enter handler and reports each choice as it is made.
    QTest::keyClick(drive, Qt::Key_Return);
    EXPECT_EQ(dir->path(), s.number == 13 ? radio() : tmp.path());
    EXPECT_EQ(dialogs.boxes.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Sections, EverySection, ::testing::Values(1, 2, 4, 7, 3, 5, 6, 8, 9, 11, 12, 13));

TEST_F(DirScreen, ProgramPathStaysUntilBrowsingAnotherFolderReplacesIt)
{
    // Soundmodem: browsing stores the bare folder, ENTER the program.
    DirListBox* dir = screen->dirList(8);
    ASSERT_TRUE(dir->setPath(radio() + "/Tools"));
    EXPECT_EQ(stored("soundmodempacket.dat"), radio() + "/Tools\r\n");
    ASSERT_TRUE(dir->setPath(radio()));
    screen->fileList(8)->setFileName("wintnc.exe");
    click("DIRCHANGE", "Command14");
    EXPECT_EQ(stored("soundmodempacket.dat"), radio() + "/wintnc.exe\r\n");
    // The same folder again is no change and stores nothing.
    dir->setPath(radio() + "/");
    EXPECT_EQ(stored("soundmodempacket.dat"), radio() + "/wintnc.exe\r\n");
}

TEST_F(DirScreen, DoubleClickOpensAFolderAndClickPicksAFile)
{
    DirListBox* dir = screen->dirList(3);
    ASSERT_TRUE(dir->setPath(radio()));
    QListWidgetItem* tools = dir->item(dir->rowOf(radio() + "/Tools"));
    ASSERT_NE(tools, nullptr);
    dir->scrollToItem(tools);
    const QPoint at = dir->visualItemRect(tools).center();
    QTest::mouseClick(dir->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(dir->path(), radio()); // one click only highlights
    QTest::mouseDClick(dir->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(dir->path(), radio() + "/Tools");

    ASSERT_TRUE(dir->setPath(radio()));
    FileListBox* files = screen->fileList(3);
    ASSERT_EQ(files->count(), 1);
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(files->item(0)).center());
    EXPECT_EQ(files->FileName(), "wintnc.exe");
    click("DIRCHANGE", "Command3");
    EXPECT_EQ(stored("packet.dat"), radio() + "/wintnc.exe\r\n");
}

TEST_F(DirScreen, FocusAndArrowsInAFileListPickNoProgram)
{
    ASSERT_TRUE(screen->dirList(3)->setPath(radio()));
    FileListBox* files = screen->fileList(3);
    QFile other(radio() + "/zz.exe");
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    files->setPath(radio() + "/Logs");
    files->setPath(radio());
    ASSERT_EQ(files->count(), 2);
    QFocusEvent tabbedIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(files, &tabbedIn);
    EXPECT_EQ(files->currentRow(), 0); // the row Qt made current
    QTest::keyClick(files, Qt::Key_Down);
    EXPECT_EQ(files->FileName(), "");
    click("DIRCHANGE", "Command3");
    EXPECT_EQ(stored("packet.dat"), "blank\r\n");

    // Space on the highlighted entry is the operator's pick. ENTER re-read
    // the list, so the operator highlights again.
    QCoreApplication::sendEvent(files, &tabbedIn);
    QTest::keyClick(files, Qt::Key_Down);
    QTest::keyClick(files, Qt::Key_Space);
    EXPECT_EQ(files->FileName(), "zz.exe");
    click("DIRCHANGE", "Command3");
    EXPECT_EQ(stored("packet.dat"), radio() + "/zz.exe\r\n");
}

TEST_F(DirScreen, FocusOnAFolderListOpensNothing)
{
    DirListBox* dir = screen->dirList(6);
    ASSERT_TRUE(dir->setPath(radio()));
    QFile::remove(context->store.StorePath("splitter.dat"));
    QFocusEvent tabbedIn(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(dir, &tabbedIn);
    QTest::keyClick(dir, Qt::Key_Down);
    EXPECT_EQ(dir->path(), radio());
    EXPECT_FALSE(exists("splitter.dat")) << "nothing is stored before the operator opens a folder";
}

TEST_F(DirScreen, FileListLosesItsChoiceOnlyWhenItsFolderChanges)
{
    FileListBox* files = screen->fileList(5);
    ASSERT_TRUE(screen->dirList(5)->setPath(radio()));
    files->setFileName("wintnc.exe");
    files->setPath(radio());
    EXPECT_EQ(files->FileName(), "wintnc.exe");
    ASSERT_TRUE(screen->dirList(5)->setPath(radio() + "/Tools"));
    EXPECT_EQ(files->FileName(), "");
    ASSERT_TRUE(screen->dirList(5)->setPath(radio()));
    click("DIRCHANGE", "Command4");
    EXPECT_EQ(stored("winlink.dat"), "blank\r\n");
}

struct WriteFailure {
    int section;
    const char* button; // empty: browsing the folder list writes
    const char* message;
    bool whole;
};

class FailedWrite : public DirScreen, public ::testing::WithParamInterface<WriteFailure> {};

TEST_P(FailedWrite, IsReportedAndTheScreenCarriesOn)
{
    const WriteFailure& w = GetParam();
    const DirSetup::Section& s = *DirSetup::sectionByNumber(w.section);
    // A folder in the store file's place cannot be replaced by a file.
    ASSERT_TRUE(QDir().mkpath(context->store.StorePath(s.storeFile)));
    registry->Load("PACKETWINLINK");
    ASSERT_TRUE(screen->dirList(w.section)->setPath(radio()));
    if (*w.button) {
        click("DIRCHANGE", w.button);
    }
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Critical);
    if (w.whole) {
        EXPECT_EQ(dialogs.boxes[0].text, w.message);
    } else {
        EXPECT_TRUE(dialogs.boxes[0].text.startsWith(w.message)) << dialogs.boxes[0].text.toStdString();
        EXPECT_GT(dialogs.boxes[0].text.size(), QString(w.message).size());
    }
    EXPECT_EQ(boxText(s.display), "");
    EXPECT_TRUE(registry->IsFormLoaded("PACKETWINLINK"));
}

INSTANTIATE_TEST_SUITE_P(
    Writers, FailedWrite,
    ::testing::Values(WriteFailure{3, "Command3", "An error has occurred: ", false},
                      WriteFailure{5, "Command4",
                                   "Something went wrong\u2014possibly an invalid path. Please try again.", true},
                      WriteFailure{4, "Command11", "An error has occurred: ", false},
                      WriteFailure{6, "", "Error saving directory path: ", false}));

struct CreateFlow {
    int section;
    const char* button;
    const char* box;
    const char* failurePrefix;
};

class CreateButtons : public DirScreen, public ::testing::WithParamInterface<CreateFlow> {};

TEST_P(CreateButtons, CreateTrimmedThenReportExistingThenRefuseBadNames)
{
    const CreateFlow& f = GetParam();
    auto* box = control<QLineEdit>("DIRCHANGE", f.box);
    ASSERT_TRUE(screen->dirList(f.section)->setPath(radio()));

    box->setText(" MAIL SEND ");
    click("DIRCHANGE", f.button);
    EXPECT_TRUE(QFileInfo(radio() + "/MAIL SEND").isDir());
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].text, "Directory created: " + radio() + "/MAIL SEND");
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Information);
    EXPECT_EQ(box->text(), "");
    // Listed and highlighted in its section at once, but neither opened nor stored.
    DirListBox* list = screen->dirList(f.section);
    EXPECT_EQ(list->path(), radio());
    EXPECT_EQ(list->highlightedPath(), radio() + "/MAIL SEND");
    EXPECT_NE(stored(DirSetup::sectionByNumber(f.section)->storeFile), radio() + "/MAIL SEND\r\n");

    box->setText("MAIL SEND");
    click("DIRCHANGE", f.button);
    EXPECT_EQ(dialogs.boxes.last().text, "Directory already exists: " + radio() + "/MAIL SEND");
    EXPECT_EQ(box->text(), "");

    click("DIRCHANGE", f.button);
    EXPECT_EQ(dialogs.boxes.last().text, "Please enter a folder name.");
    EXPECT_EQ(dialogs.boxes.last().icon, MsgIcon::Exclamation);

    for (const char* bad : {"../outside", "..", ".", "a/b"}) {
        box->setText(bad);
        click("DIRCHANGE", f.button);
        EXPECT_EQ(dialogs.boxes.last().icon, MsgIcon::Exclamation) << bad;
        EXPECT_TRUE(dialogs.boxes.last().text.contains(QString::fromLatin1(bad))) << bad;
        EXPECT_EQ(box->text(), bad); // left for the operator to correct
    }
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + "/outside"));
    EXPECT_FALSE(QFileInfo::exists(radio() + "/a"));

    box->setText("MAIL");
    ASSERT_TRUE(screen->dirList(f.section)->setPath(radio() + "/Logs"));
    QDir(radio() + "/Logs").removeRecursively();
    click("DIRCHANGE", f.button);
    EXPECT_TRUE(dialogs.boxes.last().text.startsWith(f.failurePrefix));
    EXPECT_EQ(dialogs.boxes.last().icon, MsgIcon::Critical);
}

INSTANTIATE_TEST_SUITE_P(Sections, CreateButtons,
                         ::testing::Values(CreateFlow{1, "CmdCreatDir", "Text1", "Error creating directory: "},
                                           CreateFlow{2, "Cmdcreatrecieve", "Text2", "Error creating directory: "},
                                           CreateFlow{4, "Command2", "Text4", "Cannot create directory: "},
                                           CreateFlow{7, "Command7", "Text7", "Cannot create directory: "}));

TEST_F(DirScreen, ReloadShowsNewFoldersAndForgetsTheDisplays)
{
    ASSERT_TRUE(screen->dirList(1)->setPath(radio()));
    click("DIRCHANGE", "Command9");
    EXPECT_EQ(boxText("Text8"), radio());
    QDir().mkpath(QDir::currentPath() + "/MAIL SAVE");

    click("DIRCHANGE", "Command8");
    auto* fresh = qobject_cast<DIRCHANGE*>(registry->loaded("DIRCHANGE"));
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, screen);
    EXPECT_TRUE(fresh->isVisible());
    EXPECT_EQ(boxText("Text8"), "");
    EXPECT_GE(fresh->dirList(1)->rowOf(QDir::currentPath() + "/MAIL SAVE"), 0);
    EXPECT_EQ(stored("save.dat"), radio() + "\r\n");
}

TEST_F(DirScreen, EnterProgramLeadsToTheRestrictedMenuAndExitToTheEntryScreen)
{
    click("DIRCHANGE", "Command1");
    EXPECT_FALSE(registry->IsFormLoaded("DIRCHANGE"));
    ASSERT_TRUE(registry->IsFormLoaded("mainmenu"));
    EXPECT_TRUE(registry->loaded("mainmenu")->isVisible());
    for (const char* visible : {"SETTINGS", "testprogram", "exit"}) {
        EXPECT_TRUE(shown("mainmenu", visible)) << visible;
    }
    for (const char* hidden : {"PACKETMAIL", "SEND", "RECEIVE", "RETRIEVE", "cmdsoundtoggle", "chksoundtoggle",
                               "cmdAutoSaveToggle", "chkAutoSave", "checktnc", "Explorer", "cmdopenstartmenu"}) {
        EXPECT_FALSE(shown("mainmenu", hidden)) << hidden;
    }

    registry->Unload("mainmenu");
    registry->Show("DIRCHANGE");
    click("DIRCHANGE", "Command5");
    EXPECT_EQ(registry->loadedNames(), QStringList{"ENTER"});
    EXPECT_TRUE(registry->loaded("ENTER")->isVisible());
}

TEST_F(DirScreen, EntryScreenSetupOpensIt)
{
    registry->Unload("DIRCHANGE");
    registry->Show("ENTER");
    click("ENTER", "Command1");
    EXPECT_EQ(registry->loadedNames(), QStringList{"DIRCHANGE"});
}

TEST_F(DirScreen, StandardFoldersAreShownFirstThenMadeAndStored)
{
    const QByteArray oldHome = qgetenv("HOME");
    const QString home = tmp.path() + "/home";
    ASSERT_TRUE(QDir().mkpath(home + "/TOLVAN/Save"));
    QFile kept(home + "/TOLVAN/Save/mail_old.dat");
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly) && kept.write("x") == 1);
    kept.close();
    qputenv("HOME", home.toUtf8());

    // No: nothing is made or stored.
    dialogs.answers.enqueue(MsgAnswer::No);
    click("DIRCHANGE", "cmdStandardFolders");
    ASSERT_EQ(dialogs.boxes.size(), 1);
    EXPECT_EQ(dialogs.boxes[0].buttons, MsgButtons::YesNo);
    for (const char* folder : {"Receive", "Send", "Save", "Attachments"}) {
        EXPECT_TRUE(dialogs.boxes[0].text.contains(home + "/TOLVAN/" + folder)) << folder;
    }
    EXPECT_FALSE(QFileInfo::exists(home + "/TOLVAN/Receive"));
    EXPECT_FALSE(exists("receive.dat"));

    dialogs.answers.enqueue(MsgAnswer::Yes);
    click("DIRCHANGE", "cmdStandardFolders");
    const std::pair<const char*, const char*> stores[] = {
        {"receive.dat", "Receive"}, {"send.dat", "Send"}, {"save.dat", "Save"}, {"received.dat", "Attachments"}};
    for (const auto& [file, folder] : stores) {
        EXPECT_EQ(stored(file), home + "/TOLVAN/" + folder + "\r\n") << file;
        EXPECT_TRUE(QFileInfo(home + "/TOLVAN/" + folder).isDir()) << folder;
    }
    EXPECT_EQ(stored("autosave.dat"), "1\r\n");
    EXPECT_TRUE(QFile::exists(home + "/TOLVAN/Save/mail_old.dat")); // an existing folder keeps its mail
    EXPECT_EQ(dialogs.boxes.last().icon, MsgIcon::Information);
    EXPECT_TRUE(registry->loaded("DIRCHANGE")->isVisible());

    // A folder that cannot be made stops it before anything is stored.
    QFile::remove(context->store.StorePath("send.dat"));
    QDir(home + "/TOLVAN/Send").removeRecursively();
    QFile blocker(home + "/TOLVAN/Send");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    dialogs.answers.enqueue(MsgAnswer::Yes);
    click("DIRCHANGE", "cmdStandardFolders");
    EXPECT_EQ(dialogs.boxes.last().icon, MsgIcon::Exclamation);
    EXPECT_TRUE(dialogs.boxes.last().text.contains(home + "/TOLVAN/Send"));
    EXPECT_FALSE(exists("send.dat"));
    qputenv("HOME", oldHome);
}

namespace {

// Which programs are installed on the PATH, whether the call sign is known,
// and whether the operator already chose a Direwolf program file.
struct ProgramCase {
    const char* name;
    bool installed;
    bool callSign;
    bool direwolfChosen;
};

class StandardPrograms : public DirScreen, public ::testing::WithParamInterface<ProgramCase> {};

} // namespace

TEST_P(StandardPrograms, FillTheTerminalAndDirewolfSectionsOrLeaveThemBlank)
{
    const ProgramCase& c = GetParam();
    const QString bin = tmp.path() + "/bin";
    ASSERT_TRUE(QDir().mkpath(bin));
    if (c.installed) {
        ASSERT_TRUE(test::writeFile(bin + "/tolvan-terminal", "#!/bin/sh\n", true));
        ASSERT_TRUE(test::writeFile(bin + "/direwolf", "#!/bin/sh\n", true));
    }
    const QString chosen = radio() + "/wintnc.exe";
    if (c.direwolfChosen) {
        writeStore("direwolfpacket.dat", chosen.toUtf8() + "\r\n");
    }
    if (c.callSign) {
        writeStore("terminalcall.dat", "N0CALL-3\r\n");
    }
    const test::ScopedEnv home("HOME", (tmp.path() + "/home").toUtf8());
    const test::ScopedEnv path("PATH", bin.toUtf8());

    dialogs.answers.enqueue(MsgAnswer::Yes);
    click("DIRCHANGE", "cmdStandardFolders");
    const QString terminal = c.installed ? bin + "/tolvan-terminal" : "blank";
    const QString direwolf = c.direwolfChosen ? chosen : c.installed ? bin + "/direwolf" : "blank";
    EXPECT_EQ(stored("TLVTerminal.dat"), terminal + "\r\n");
    EXPECT_EQ(stored("direwolfpacket.dat"), direwolf + "\r\n");
    ASSERT_GE(dialogs.boxes.size(), 2);
    EXPECT_TRUE(dialogs.boxes[0].text.contains(c.installed ? "TOLVAN Terminal: " + terminal
                                                           : "TOLVAN Terminal: not installed (left blank)"));
    // The configuration needs the call sign; until then the last box asks for it.
    const QByteArray conf = readFile(programFolder() + "/direwolf.conf");
    EXPECT_EQ(conf.contains("\nMYCALL N0CALL-3\n"), c.callSign);
    EXPECT_EQ(dialogs.boxes.last().text.contains("type it in \"Station call sign\""), !c.callSign);
}

INSTANTIATE_TEST_SUITE_P(FirstStart, StandardPrograms,
                         ::testing::Values(ProgramCase{"Installed", true, true, false},
                                           ProgramCase{"NotInstalled", false, false, false},
                                           ProgramCase{"InstalledNoCallSign", true, false, false},
                                           ProgramCase{"DirewolfAlreadyChosen", true, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });
