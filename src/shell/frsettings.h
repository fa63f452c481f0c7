#pragma once

#include "shell/Screen.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tolvan {

// The settings overview: shows the folders and program paths held in the
// store, and leads back to the main menu or on to the directory screen.
class frsettings : public Screen {
    Q_OBJECT
public:
    explicit frsettings(ScreenRegistry& registry);
    void Form_Load() override;

private slots:
    void Command1_Click();
    void Command2_Click();
    // Checks and stores the typed call sign, and brings the station's
    // Direwolf configuration up to date with it.
    void txtCall_Change();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* Label4;        // heading
    QLabel* Label1;        // "Save File"
    QLabel* Label2;        // "Send File"
    QLabel* Label3;        // "Receive File"
    QLabel* Label5;        // "WINTNC"
    QLabel* Label6;        // "WINLINK"
    QLabel* Label7;        // "Serial  Port Splitter"
    QLabel* Label8;        // "Attachment File"
    QLabel* Label9;        // "Soundmodem"
    QLabel* Label10;       // "Direwolf"
    QLabel* Label12;       // "VARAC"
    QLabel* Label14;       // "TOLVAN Terminal"
    QLineEdit* Text1;      // save folder
    QLineEdit* Text2;      // send folder
    QLineEdit* Text3;      // receive folder
    QLineEdit* Text4;      // WINTNC program
    QLineEdit* Text5;      // WINLINK program
    QLineEdit* Text6;      // serial port splitter program
    QLineEdit* Text7;      // attachment folder
    QLineEdit* Text8;      // Soundmodem program
    QLineEdit* Text9;      // Direwolf program
    QLineEdit* Text11;     // VARAC program
    QLineEdit* Text13;     // TOLVAN Terminal program
    QPushButton* Command1; // back to the main menu
    QPushButton* Command2; // on to the directory screen
    // The station's link speed, for the air time of files; stored on change.
    QLabel* lblBaud;
    QComboBox* cboBaud;
    // The station's call sign, which the terminal and Direwolf answer to.
    QLabel* lblCall;
    QLineEdit* txtCall;
    QString m_storedCall;

    // A failed read is reported when the screen appears, so a screen that is
    // loaded only to be reloaded fresh does not report it twice.
    bool m_readFailed = false;
};

} // namespace tolvan
