#pragma once

#include "shell/Screen.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace tolvan {

// The hub: navigation to every working screen, the clock, the sound and
// auto-save switches, the desktop tools and the mandatory self-test.
class mainmenu : public Screen {
    Q_OBJECT
public:
    explicit mainmenu(ScreenRegistry& registry);
    void Form_Load() override;
    // Shows the arrival notice the operator has not taken up yet ("&Read
    // Inbox" clears it), also one announced while this menu was closed.
    void ShowArrivalNotice();

public slots:
    void Timerclock_Timer();

protected:
    // The full menu (navigation shown) starts the receive watch.
    void showEvent(QShowEvent* event) override;

private slots:
    void PACKETMAIL_Click();
    void RECEIVE_Click();
    void RETRIEVE_Click();
    void SEND_Click();
    void SETTINGS_Click();
    void exit_Click();
    void checktnc_Click();
    void cmdopenstartmenu_Click();
    void Explorer_Click();
    void chksoundtoggle_Click();
    void cmdsoundtoggle_Click();
    void cmdAutoSaveToggle_Click();
    void testprogram_Click();

private:
    void showSoundState(bool on);
    void leaveForFreshScreen(const QString& name);
    // Closes the working screens and goes back to the entry screen with RE-ENTER.
    void backToEntryScreen();
    void showWatchState();
    // The terminal's state, from the status file it keeps in the station folder.
    void showTerminalState();

    QLabel* lbmainmenu;
    QLabel* Label3;        // "Time Is"
    QLineEdit* Txtclock;   // the time, every second
    QLineEdit* Txtdate;    // the date
    QLabel* Label1;        // arrival notice, blinks while the received screen is loaded
    QLabel* Label2;        // what to check after an arrival
    QLabel* lblWatchState; // what the receive watch does, or why it cannot
    QLabel* lblTerminalState; // "Terminal: " and what the packet terminal does
    QTimer* Timerclock;    // ticks the clock
    QTimer* Timer1;        // not used on this screen
    QTimer* Timer2;        // not used on this screen
    QPushButton* PACKETMAIL;
    QPushButton* RECEIVE;
    QPushButton* RETRIEVE;
    QPushButton* SEND; // Communication Center
    QPushButton* SETTINGS;
    QPushButton* testprogram; // the mandatory self-test
    QPushButton* exit;        // back to the entry screen
    QPushButton* checktnc;    // raises the packet terminal
    QPushButton* cmdopenstartmenu;
    QPushButton* Explorer;
    QCheckBox* chksoundtoggle;      // the sound switch
    QPushButton* cmdsoundtoggle;    // flips the sound switch
    QCheckBox* chkAutoSave;         // the auto-save switch, hidden
    QPushButton* cmdAutoSaveToggle; // flips the auto-save switch
    QPushButton* CmdNPRSYSTEM;      // never shown
    QPlainTextEdit* Text1;          // self-test mail: message, hidden
    QLineEdit* Text2;               // self-test mail: Subject, hidden
    QLineEdit* Text3;               // self-test mail: To, hidden
    QLineEdit* Text4;               // self-test mail: From, hidden
};

} // namespace tolvan
