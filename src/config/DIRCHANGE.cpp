#include "config/DIRCHANGE.h"

#include "config/DIRCHANGESections.h"
#include "config/FolderListBoxes.h"
#include "config/FolderLists.h"
#include "config/StandardFolders.h"
#include "shell/AppContext.h"
#include "shell/MainMenuForms.h"
#include "shell/ScreenRegistry.h"
#include "terminal/DirewolfConf.h"

#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tolvan {

namespace {

using Slot = void (DIRCHANGE::*)();

const QString kPacketPrograms = QStringLiteral("PACKETWINLINK");

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

QPushButton* keyboardButton(QPushButton* b)
{
    // Outside a dialog a push button ignores Enter unless it is auto-default.
    b->setAutoDefault(true);
    return b;
}

} // namespace

DIRCHANGE::DIRCHANGE(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("DIRCHANGE"))
{
    setWindowTitle(QStringLiteral("Directory Setup"));
    Label10 = make<QLabel>(QStringLiteral("Label10"), QStringLiteral("STORAGE FILES"));
    Label11 = make<QLabel>(QStringLiteral("Label11"), QStringLiteral("COMMUNICATION"));
    QFont heading = Label10->font();
    heading.setPointSize(heading.pointSize() + 4);
    heading.setBold(true);
    for (QLabel* l : {Label10, Label11}) {
        l->setFont(heading);
        l->setAlignment(Qt::AlignCenter);
    }
    Command1 = keyboardButton(make<QPushButton>(QStringLiteral("Command1"), QStringLiteral("&Enter Program")));
    Command5 = keyboardButton(make<QPushButton>(QStringLiteral("Command5"), QStringLiteral("E&XIT")));
    Command8 = keyboardButton(make<QPushButton>(QStringLiteral("Command8"),
                                                QStringLiteral("Click here to save all  Newly Created Directories")));
    cmdStandardFolders =
        keyboardButton(make<QPushButton>(QStringLiteral("cmdStandardFolders"), QStringLiteral("&Use standard folders")));
    cmdStandardFolders->setToolTip(QStringLiteral("Receive, Send, Save and Attachments in a TOLVAN folder in your home"));

    // Twelve sections do not fit a 1366x768 screen side by side, so they sit
    // on three pages of four: the folders, then the programs in two halves.
    pages = make<QTabWidget>(QStringLiteral("pages"));
    const QList<DirSetup::Section>& all = DirSetup::sections();
    const QList<QList<int>> pageSections = {{1, 2, 4, 7}, {3, 5, 6, 8}, {9, 11, 12, 13}};
    const QStringList pageTitles = {QStringLiteral("&1 Mail Folders"), QStringLiteral("&2 Packet Programs"),
                                    QStringLiteral("&3 More Packet Programs")};
    for (int p = 0; p < pageSections.size(); ++p) {
        auto* page = new QWidget;
        auto* column = new QVBoxLayout(page);
        if (p == 0) {
            column->addWidget(Label10);
        } else if (p == 1) {
            column->addWidget(Label11);
        }
        auto* row = new QHBoxLayout;
        for (int number : pageSections[p]) {
            for (const DirSetup::Section& s : all) {
                if (s.number == number) {
                    row->addWidget(buildSection(s), 1);
                }
            }
        }
        column->addLayout(row, 1);
        pages->addTab(page, pageTitles[p]);
    }

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Command1, cmdStandardFolders, Command8, Command5}) {
        b->setMinimumHeight(34);
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages, 1);
    layout->addLayout(buttons);
    layout->setContentsMargins(10, 10, 10, 10);
    resize(1340, 720);

    for (const DirSetup::Section& s : all) {
        connectSection(s.number);
    }
    connect(Command1, &QPushButton::clicked, this, &DIRCHANGE::Command1_Click);
    connect(Command5, &QPushButton::clicked, this, &DIRCHANGE::Command5_Click);
    connect(Command8, &QPushButton::clicked, this, &DIRCHANGE::Command8_Click);
    connect(cmdStandardFolders, &QPushButton::clicked, this, &DIRCHANGE::cmdStandardFolders_Click);
}

QWidget* DIRCHANGE::buildSection(const DirSetup::Section& s)
{
    const QString n = QString::number(s.number);
    Controls c;
    c.section = &s;
    c.label = make<QLabel>(s.label, s.caption);
    c.label->setWordWrap(true);
    c.label->setAlignment(Qt::AlignCenter);
    QFont bold = c.label->font();
    bold.setBold(true);
    c.label->setFont(bold);
    c.drive = make<DriveListBox>(QStringLiteral("Drive") + n);
    c.dir = make<DirListBox>(QStringLiteral("Dir") + n);
    c.file = make<FileListBox>(QStringLiteral("File") + n);
    c.file->setPath(c.dir->path());
    c.drive->showDriveOf(c.dir->path());
    c.display = make<QLineEdit>(s.display, QString(""));
    c.display->setReadOnly(true);
    c.enter = keyboardButton(make<QPushButton>(s.enterButton, QStringLiteral("ENTER")));
    if (!s.createButton.isEmpty()) {
        c.nameBox = make<QLineEdit>(s.nameBox, s.nameText);
        c.create = keyboardButton(make<QPushButton>(s.createButton, s.createCaption));
    }

    auto* frame = new QFrame;
    frame->setFrameShape(QFrame::StyledPanel);
    auto* v = new QVBoxLayout(frame);
    v->addWidget(c.label);
    v->addWidget(c.drive);
    v->addWidget(c.dir, 3);
    v->addWidget(c.file, 2);
    v->addWidget(c.display);
    v->addWidget(c.enter);
    if (c.create) {
        v->addWidget(c.nameBox);
        v->addWidget(c.create);
    }
    m_sections[s.number] = c;
    return frame;
}

void DIRCHANGE::connectSection(int number)
{
    struct Handlers {
        int number;
        Slot driveChange;
        void (DIRCHANGE::*driveKey)(int);
        Slot dirChange;
        void (DIRCHANGE::*dirKey)(int);
        Slot enter;
        Slot create;
    };
    // Drive13 has no Enter handler: its drop-down already reports each choice.
    static const Handlers table[] = {
        {1, &DIRCHANGE::Drive1_Change, &DIRCHANGE::Drive1_KeyDown, &DIRCHANGE::Dir1_Change, &DIRCHANGE::Dir1_KeyDown,
         &DIRCHANGE::Command9_Click, &DIRCHANGE::CmdCreatDir_Click},
        {2, &DIRCHANGE::Drive2_Change, &DIRCHANGE::Drive2_KeyDown, &DIRCHANGE::Dir2_Change, &DIRCHANGE::Dir2_KeyDown,
         &DIRCHANGE::Command10_Click, &DIRCHANGE::Cmdcreatrecieve_Click},
        {3, &DIRCHANGE::Drive3_Change, &DIRCHANGE::Drive3_KeyDown, &DIRCHANGE::Dir3_Change, &DIRCHANGE::Dir3_KeyDown,
         &DIRCHANGE::Command3_Click, nullptr},
        {4, &DIRCHANGE::Drive4_Change, &DIRCHANGE::Drive4_KeyDown, &DIRCHANGE::Dir4_Change, &DIRCHANGE::Dir4_KeyDown,
         &DIRCHANGE::Command11_Click, &DIRCHANGE::Command2_Click},
        {5, &DIRCHANGE::Drive5_Change, &DIRCHANGE::Drive5_KeyDown, &DIRCHANGE::Dir5_Change, &DIRCHANGE::Dir5_KeyDown,
         &DIRCHANGE::Command4_Click, nullptr},
        {6, &DIRCHANGE::Drive6_Change, &DIRCHANGE::Drive6_KeyDown, &DIRCHANGE::Dir6_Change, &DIRCHANGE::Dir6_KeyDown,
         &DIRCHANGE::Command6_Click, nullptr},
        {7, &DIRCHANGE::Drive7_Change, &DIRCHANGE::Drive7_KeyDown, &DIRCHANGE::Dir7_Change, &DIRCHANGE::Dir7_KeyDown,
         &DIRCHANGE::Command13_Click, &DIRCHANGE::Command7_Click},
        {8, &DIRCHANGE::Drive8_Change, &DIRCHANGE::Drive8_KeyDown, &DIRCHANGE::Dir8_Change, &DIRCHANGE::Dir8_KeyDown,
         &DIRCHANGE::Command14_Click, nullptr},
        {9, &DIRCHANGE::Drive9_Change, &DIRCHANGE::Drive9_KeyDown, &DIRCHANGE::Dir9_Change, &DIRCHANGE::Dir9_KeyDown,
         &DIRCHANGE::Command15_Click, nullptr},
        {11, &DIRCHANGE::Drive11_Change, &DIRCHANGE::Drive11_KeyDown, &DIRCHANGE::Dir11_Change,
         &DIRCHANGE::Dir11_KeyDown, &DIRCHANGE::Command16_Click, nullptr},
        {12, &DIRCHANGE::Drive12_Change, &DIRCHANGE::Drive12_KeyDown, &DIRCHANGE::Dir12_Change,
         &DIRCHANGE::Dir12_KeyDown, &DIRCHANGE::Command17_Click, nullptr},
        {13, &DIRCHANGE::Drive13_Change, nullptr, &DIRCHANGE::Dir13_Change, &DIRCHANGE::Dir13_KeyDown,
         &DIRCHANGE::Command18_Click, nullptr},
    };
    const Controls& c = m_sections.at(number);
    for (const Handlers& h : table) {
        if (h.number != number) {
            continue;
        }
        connect(c.drive, &DriveListBox::driveChanged, this, h.driveChange);
        if (h.driveKey) {
            connect(c.drive, &DriveListBox::keyDown, this, h.driveKey);
        }
        connect(c.dir, &DirListBox::pathChanged, this, h.dirChange);
        connect(c.dir, &DirListBox::keyDown, this, h.dirKey);
        connect(c.enter, &QPushButton::clicked, this, h.enter);
        if (h.create && c.create) {
            connect(c.create, &QPushButton::clicked, this, h.create);
        }
    }
}

void DIRCHANGE::Form_Load()
{
    // The boxes that only show stored values are skipped by Tab; the name
    // boxes stay in the tab order so every section works from the keyboard.
    for (const auto& [number, c] : m_sections) {
        c.display->setFocusPolicy(Qt::ClickFocus);
    }
    removeTitleBar();
}

DriveListBox* DIRCHANGE::driveList(int number) const
{
    auto it = m_sections.find(number);
    return it == m_sections.end() ? nullptr : it->second.drive;
}

DirListBox* DIRCHANGE::dirList(int number) const
{
    auto it = m_sections.find(number);
    return it == m_sections.end() ? nullptr : it->second.dir;
}

FileListBox* DIRCHANGE::fileList(int number) const
{
    auto it = m_sections.find(number);
    return it == m_sections.end() ? nullptr : it->second.file;
}

// Families of handlers, shared by every section.

void DIRCHANGE::driveChosen(int number)
{
    const Controls& c = m_sections.at(number);
    const QString drive = c.drive->drive();
    if (!FolderLists::isReadableFolder(drive)) {
        // A vanished or unreadable mount: the lists stay where they were.
        c.drive->showDriveOf(c.dir->path());
        ctx().dialogs->exclamation(
            QStringLiteral("The drive \"%1\" cannot be read. It may not be ready or may have been removed. "
                           "Please choose another drive.")
                .arg(drive),
            QStringLiteral("Drive not ready"));
        return;
    }
    c.dir->setPath(drive);
}

void DIRCHANGE::driveKey(int number, int key)
{
    if (isEnter(key)) {
        driveChosen(number);
    }
}

void DIRCHANGE::folderChosen(int number)
{
    const Controls& c = m_sections.at(number);
    c.file->setPath(c.dir->path());
    c.drive->showDriveOf(c.dir->path());
    if (!c.section->storesWhileBrowsing) {
        return;
    }
    const StoreStatus written = ctx().store.WriteStoreLine(c.section->storeFile, c.dir->path());
    if (!written.ok()) {
        ctx().dialogs->critical(QStringLiteral("Error saving directory path: ") + written.message);
    }
}

void DIRCHANGE::folderKey(int number, int key)
{
    if (isEnter(key)) {
        DirListBox* dir = m_sections.at(number).dir;
        dir->setPath(dir->highlightedPath());
    }
}

void DIRCHANGE::programEnter(int number)
{
    const Controls& c = m_sections.at(number);
    c.file->setPath(c.dir->path());
    const QString folder = DirSetup::sectionFolder(c.dir->path(), ctx().store.programFolder());
    const Result<QString> r = DirSetup::storeProgramPath(ctx().store, c.section->storeFile, folder, c.file->FileName());
    if (!r.ok()) {
        ctx().dialogs->critical(c.section->enterFailureIsWhole ? c.section->enterFailure
                                                               : c.section->enterFailure + r.error());
        return;
    }
    c.display->setText(r.value());
    // The packet-programs screen reads the paths when it loads.
    registry().Unload(kPacketPrograms);
}

void DIRCHANGE::folderEnter(int number)
{
    const Controls& c = m_sections.at(number);
    // The save section re-reads its file list first, as its ENTER always has.
    if (number == 1) {
        c.file->setPath(c.dir->path());
    }
    const QString folder = DirSetup::sectionFolder(c.dir->path(), ctx().store.programFolder());
    const Result<QString> r = DirSetup::storeFolderPath(ctx().store, c.section->storeFile, folder);
    if (!r.ok()) {
        ctx().dialogs->critical(c.section->enterFailure + r.error());
        return;
    }
    c.display->setText(r.value());
    registry().Unload(kPacketPrograms);
}

void DIRCHANGE::createFolder(int number)
{
    const Controls& c = m_sections.at(number);
    const QString parent = DirSetup::sectionFolder(c.dir->path(), ctx().store.programFolder());
    const DirSetup::CreateResult r = DirSetup::createFolder(parent, c.nameBox->text());
    Dialogs& d = *ctx().dialogs;
    switch (r.outcome) {
    case DirSetup::CreateOutcome::EmptyName:
        d.exclamation(QStringLiteral("Please enter a folder name."));
        return;
    case DirSetup::CreateOutcome::BadName:
        d.exclamation(QStringLiteral("\"%1\" cannot be used as a folder name: a name must not contain \"/\" and "
                                     "must not be \".\" or \"..\". Please enter the name of one new folder.")
                          .arg(c.nameBox->text().trimmed()));
        return;
    case DirSetup::CreateOutcome::Exists:
        d.information(QStringLiteral("Directory already exists: ") + r.path);
        break;
    case DirSetup::CreateOutcome::Created:
        d.information(QStringLiteral("Directory created: ") + r.path);
        break;
    case DirSetup::CreateOutcome::Failed:
        d.critical(c.section->createFailure + r.error);
        return;
    }
    c.nameBox->clear();
    // Show the folder in this section's list at once and highlight it, so it
    // can be opened without reloading the whole screen.
    if (!c.dir->path().isEmpty()) {
        c.dir->setPath(c.dir->path());
        const int row = c.dir->rowOf(FolderLists::cleanFolder(r.path));
        if (row >= 0) {
            c.dir->setCurrentRow(row);
            c.dir->scrollToItem(c.dir->item(row));
        }
    }
}

// Family members.

void DIRCHANGE::Drive1_Change()
{
    driveChosen(1);
}
void DIRCHANGE::Drive2_Change()
{
    driveChosen(2);
}
void DIRCHANGE::Drive3_Change()
{
    driveChosen(3);
}
void DIRCHANGE::Drive4_Change()
{
    driveChosen(4);
}
void DIRCHANGE::Drive5_Change()
{
    driveChosen(5);
}
void DIRCHANGE::Drive6_Change()
{
    driveChosen(6);
}
void DIRCHANGE::Drive7_Change()
{
    driveChosen(7);
}
void DIRCHANGE::Drive8_Change()
{
    driveChosen(8);
}
void DIRCHANGE::Drive9_Change()
{
    driveChosen(9);
}
void DIRCHANGE::Drive11_Change()
{
    driveChosen(11);
}
void DIRCHANGE::Drive12_Change()
{
    driveChosen(12);
}
void DIRCHANGE::Drive13_Change()
{
    driveChosen(13);
}

void DIRCHANGE::Drive1_KeyDown(int KeyCode)
{
    driveKey(1, KeyCode);
}
void DIRCHANGE::Drive2_KeyDown(int KeyCode)
{
    driveKey(2, KeyCode);
}
void DIRCHANGE::Drive3_KeyDown(int KeyCode)
{
    driveKey(3, KeyCode);
}
void DIRCHANGE::Drive4_KeyDown(int KeyCode)
{
    driveKey(4, KeyCode);
}
void DIRCHANGE::Drive5_KeyDown(int KeyCode)
{
    driveKey(5, KeyCode);
}
void DIRCHANGE::Drive6_KeyDown(int KeyCode)
{
    driveKey(6, KeyCode);
}
void DIRCHANGE::Drive7_KeyDown(int KeyCode)
{
    driveKey(7, KeyCode);
}
void DIRCHANGE::Drive8_KeyDown(int KeyCode)
{
    driveKey(8, KeyCode);
}
void DIRCHANGE::Drive9_KeyDown(int KeyCode)
{
    driveKey(9, KeyCode);
}
void DIRCHANGE::Drive11_KeyDown(int KeyCode)
{
    driveKey(11, KeyCode);
}
void DIRCHANGE::Drive12_KeyDown(int KeyCode)
{
    driveKey(12, KeyCode);
}

void DIRCHANGE::Dir1_Change()
{
    folderChosen(1);
}
void DIRCHANGE::Dir2_Change()
{
    folderChosen(2);
}
void DIRCHANGE::Dir3_Change()
{
    folderChosen(3);
}
void DIRCHANGE::Dir4_Change()
{
    folderChosen(4);
}
void DIRCHANGE::Dir5_Change()
{
    folderChosen(5);
}
void DIRCHANGE::Dir6_Change()
{
    folderChosen(6);
}
void DIRCHANGE::Dir7_Change()
{
    folderChosen(7);
}
void DIRCHANGE::Dir8_Change()
{
    folderChosen(8);
}
void DIRCHANGE::Dir9_Change()
{
    folderChosen(9);
}
void DIRCHANGE::Dir11_Change()
{
    folderChosen(11);
}
void DIRCHANGE::Dir12_Change()
{
    folderChosen(12);
}
void DIRCHANGE::Dir13_Change()
{
    folderChosen(13);
}

void DIRCHANGE::Dir1_KeyDown(int KeyCode)
{
    folderKey(1, KeyCode);
}
void DIRCHANGE::Dir2_KeyDown(int KeyCode)
{
    folderKey(2, KeyCode);
}
void DIRCHANGE::Dir3_KeyDown(int KeyCode)
{
    folderKey(3, KeyCode);
}
void DIRCHANGE::Dir4_KeyDown(int KeyCode)
{
    folderKey(4, KeyCode);
}
void DIRCHANGE::Dir5_KeyDown(int KeyCode)
{
    folderKey(5, KeyCode);
}
void DIRCHANGE::Dir6_KeyDown(int KeyCode)
{
    folderKey(6, KeyCode);
}
void DIRCHANGE::Dir7_KeyDown(int KeyCode)
{
    folderKey(7, KeyCode);
}
void DIRCHANGE::Dir8_KeyDown(int KeyCode)
{
    folderKey(8, KeyCode);
}
void DIRCHANGE::Dir9_KeyDown(int KeyCode)
{
    folderKey(9, KeyCode);
}
void DIRCHANGE::Dir11_KeyDown(int KeyCode)
{
    folderKey(11, KeyCode);
}
void DIRCHANGE::Dir12_KeyDown(int KeyCode)
{
    folderKey(12, KeyCode);
}
// Without it the terminal's folder list could not be opened from the keyboard.
void DIRCHANGE::Dir13_KeyDown(int KeyCode)
{
    folderKey(13, KeyCode);
}

void DIRCHANGE::Command3_Click()
{
    programEnter(3);
}
void DIRCHANGE::Command4_Click()
{
    programEnter(5);
}
void DIRCHANGE::Command6_Click()
{
    programEnter(6);
}
void DIRCHANGE::Command14_Click()
{
    programEnter(8);
}
void DIRCHANGE::Command15_Click()
{
    programEnter(9);
}
void DIRCHANGE::Command16_Click()
{
    programEnter(11);
}
void DIRCHANGE::Command17_Click()
{
    programEnter(12);
}
void DIRCHANGE::Command18_Click()
{
    programEnter(13);
}

void DIRCHANGE::Command9_Click()
{
    folderEnter(1);
}
void DIRCHANGE::Command10_Click()
{
    folderEnter(2);
}
void DIRCHANGE::Command11_Click()
{
    folderEnter(4);
}
void DIRCHANGE::Command13_Click()
{
    folderEnter(7);
}

void DIRCHANGE::CmdCreatDir_Click()
{
    createFolder(1);
}
void DIRCHANGE::Cmdcreatrecieve_Click()
{
    createFolder(2);
}
void DIRCHANGE::Command2_Click()
{
    createFolder(4);
}
void DIRCHANGE::Command7_Click()
{
    createFolder(7);
}

// Screen buttons.

void DIRCHANGE::Command1_Click()
{
    registry().Unload(QStringLiteral("DIRCHANGE"));
    ShowRestrictedMainMenu(registry());
}

void DIRCHANGE::Command5_Click()
{
    registry().Unload(QStringLiteral("DIRCHANGE"));
    registry().Show(QStringLiteral("ENTER"));
}

void DIRCHANGE::Command8_Click()
{
    // A fresh screen re-reads every list, so folders just created appear.
    ScreenRegistry& reg = registry();
    const QString self = QStringLiteral("DIRCHANGE");
    reg.Unload(self);
    reg.Load(self);
    reg.Unload(self);
    reg.Show(self);
}

void DIRCHANGE::cmdStandardFolders_Click()
{
    const QList<StandardFolders::Entry> plan = StandardFolders::Plan(QDir::homePath());
    const QList<StandardFolders::Program> programs = StandardFolders::PlanPrograms(
        ctx().store, QCoreApplication::applicationDirPath(), StandardFolders::PathFolders());
    if (!ctx().dialogs->askYesNo(StandardFolders::Describe(plan, programs), QStringLiteral("Standard folders"))) {
        return;
    }
    if (!ShowFailure(*ctx().dialogs, StandardFolders::Apply(ctx().store, plan, programs),
                     QStringLiteral("Standard folders"), MsgIcon::Exclamation)) {
        return;
    }
    QString done = QStringLiteral("The standard folders are set up. Choose the other packet programs on the other "
                                  "pages, or press Enter Program.");
    if (!DirewolfConf::CallSignStored(ctx().store)) {
        done += QStringLiteral("\n\nOne thing is still missing: the station's call sign. Press Enter Program, then "
                               "SETTINGS, and type it in \"Station call sign\".");
    }
    ctx().dialogs->information(done, QStringLiteral("Standard folders"));
    // A fresh screen lists the folders just created.
    Command8_Click();
}

} // namespace tolvan
