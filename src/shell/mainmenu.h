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

    QLabel* lbmainmenu;
    QLabel* Label3;
    QLineEdit* Txtclock;
    QLineEdit* Txtdate;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* lblWatchState; // what the receive watch does, or why it cannot
    QTimer* Timerclock;
    QTimer* Timer1;
    QTimer* Timer2;
    QPushButton* PACKETMAIL;
    QPushButton* RECEIVE;
    QPushButton* RETRIEVE;
    QPushButton* SEND;
    QPushButton* SETTINGS;
    QPushButton* testprogram;
    QPushButton* exit;
    QPushButton* checktnc;
    QPushButton* cmdopenstartmenu;
    QPushButton* Explorer;
    QCheckBox* chksoundtoggle;
    QPushButton* cmdsoundtoggle;
    QCheckBox* chkAutoSave;
    QPushButton* cmdAutoSaveToggle;
    QPushButton* CmdNPRSYSTEM;
    QPlainTextEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* Text3;
    QLineEdit* Text4;

    // True while the load step restores the stored sound state: the system
    // mute is then left alone, since it already matches that state.
    bool m_restoringSoundState = false;
};

} // namespace tolvan
