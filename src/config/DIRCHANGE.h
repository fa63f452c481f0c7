#pragma once

#include "shell/Screen.h"

#include <map>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace tolvan {

class DirListBox;
class DriveListBox;
class FileListBox;

namespace DirSetup {
struct Section;
}

// The directory screen: where the operator picks the mail folders and the
// packet programs. Each of its twelve sections has a drive, a folder and a
// file list, a box with the value last stored and an ENTER button that
// stores it; four sections can also create a folder.
class DIRCHANGE : public Screen {
    Q_OBJECT
public:
    explicit DIRCHANGE(ScreenRegistry& registry);
    void Form_Load() override;

    // The lists of a section, by the section's number.
    DriveListBox* driveList(int number) const;
    DirListBox* dirList(int number) const;
    FileListBox* fileList(int number) const;

private slots:
    // A drive was chosen: the folder list moves to it.
    void Drive1_Change();
    void Drive2_Change();
    void Drive3_Change();
    void Drive4_Change();
    void Drive5_Change();
    void Drive6_Change();
    void Drive7_Change();
    void Drive8_Change();
    void Drive9_Change();
    void Drive11_Change();
    void Drive12_Change();
    void Drive13_Change();

    // Enter in a drive list does what choosing the drive does.
    void Drive1_KeyDown(int KeyCode);
    void Drive2_KeyDown(int KeyCode);
    void Drive3_KeyDown(int KeyCode);
    void Drive4_KeyDown(int KeyCode);
    void Drive5_KeyDown(int KeyCode);
    void Drive6_KeyDown(int KeyCode);
    void Drive7_KeyDown(int KeyCode);
    void Drive8_KeyDown(int KeyCode);
    void Drive9_KeyDown(int KeyCode);
    void Drive11_KeyDown(int KeyCode);
    void Drive12_KeyDown(int KeyCode);

    // A folder was opened: the file list follows; the sections marked to
    // store while browsing also write the bare folder.
    void Dir1_Change();
    void Dir2_Change();
    void Dir3_Change();
    void Dir4_Change();
    void Dir5_Change();
    void Dir6_Change();
    void Dir7_Change();
    void Dir8_Change();
    void Dir9_Change();
    void Dir11_Change();
    void Dir12_Change();
    void Dir13_Change();

    // Enter in a folder list opens the highlighted folder.
    void Dir1_KeyDown(int KeyCode);
    void Dir2_KeyDown(int KeyCode);
    void Dir3_KeyDown(int KeyCode);
    void Dir4_KeyDown(int KeyCode);
    void Dir5_KeyDown(int KeyCode);
    void Dir6_KeyDown(int KeyCode);
    void Dir7_KeyDown(int KeyCode);
    void Dir8_KeyDown(int KeyCode);
    void Dir9_KeyDown(int KeyCode);
    void Dir11_KeyDown(int KeyCode);
    void Dir12_KeyDown(int KeyCode);
    void Dir13_KeyDown(int KeyCode);

    // ENTER of a program section.
    void Command3_Click();
    void Command4_Click();
    void Command6_Click();
    void Command14_Click();
    void Command15_Click();
    void Command16_Click();
    void Command17_Click();
    void Command18_Click();

    // ENTER of a folder section.
    void Command9_Click();
    void Command10_Click();
    void Command11_Click();
    void Command13_Click();

    // Create a folder by the typed name.
    void CmdCreatDir_Click();
    void Cmdcreatrecieve_Click();
    void Command2_Click();
    void Command7_Click();

    void Command1_Click();
    void Command5_Click();
    void Command8_Click();
    // Creates and stores the standard mail folders in the home folder.
    void cmdStandardFolders_Click();

private:
    struct Controls {
        const DirSetup::Section* section = nullptr;
        QLabel* label = nullptr;
        DriveListBox* drive = nullptr;
        DirListBox* dir = nullptr;
        FileListBox* file = nullptr;
        QLineEdit* display = nullptr;
        QPushButton* enter = nullptr;
        QLineEdit* nameBox = nullptr;
        QPushButton* create = nullptr;
    };

    QWidget* buildSection(const DirSetup::Section& section);
    void connectSection(int number);

    void driveChosen(int number);
    void driveKey(int number, int key);
    void folderChosen(int number);
    void folderKey(int number, int key);
    void programEnter(int number);
    void folderEnter(int number);
    void createFolder(int number);

    std::map<int, Controls> m_sections;
    QTabWidget* pages;     // the sections, four to a page
    QLabel* Label10;       // "STORAGE FILES"
    QLabel* Label11;       // "COMMUNICATION"
    QPushButton* Command1; // Enter Program: on to the restricted main menu
    QPushButton* Command5; // EXIT: back to the entry screen
    QPushButton* Command8; // reloads the screen, so new folders are listed
    QPushButton* cmdStandardFolders;
};

} // namespace tolvan
