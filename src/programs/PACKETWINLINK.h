#pragma once

#include "shell/Screen.h"

class QLabel;
class QPushButton;
class QTimer;

namespace tolvan {

class PickList;

struct PacketProgram;
struct ProgramOutcome;

// The communication center: start and reset buttons for the station's packet
// programs, bringing the packet terminal forward, the task switcher, and the
// mail files waiting in the send folder.
class PACKETWINLINK : public Screen {
    Q_OBJECT
public:
    explicit PACKETWINLINK(ScreenRegistry& registry);
    void Form_Load() override;

    // The outgoing list, for the screens that empty it after a post: the
    // folder it shows (empty when none), its file names, and a fresh reading.
    QString listFolder() const { return m_listFolder; }
    QStringList listedFiles() const;
    void refreshList();

private slots:
    void Command1_Click();
    void Command3_Click();
    void Command4_Click();
    void Command8_Click();
    void Command2_Click();
    void Command9_Click();
    void Command11_Click();
    void Command12_Click();
    void serialswitch_Click();
    void resetsplitter_Click();
    void Command16_Click();
    void Command17_Click();
    void Command14_Click();
    void Command15_Click();
    void Command19_Click();
    void Command20_Click();
    void Command13_Click();
    void Command18_Click();
    void Command10_Click();
    void Command6_Click();
    void Command7_Click();
    void Command5_Click();
    // Marks each program running or stopped, from one scan of the process list.
    void TimerStatus_Timer();

protected:
    // The marks are kept fresh only while the screen is shown.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void startProgram(const QString& startButton);
    void resetProgram(const QString& resetButton);
    void apply(const PacketProgram& program, const ProgramOutcome& outcome);

    QLabel* Label2;                // "Communication Center"
    QLabel* Label4;                // "Modem Center"
    QLabel* Label1;                // heading of the send list
    QLabel* Label3;                // Alt/Tab instruction
    QLabel* Label5;                // Alt key instruction
    QPushButton* Command1;         // start WINTNC
    QPushButton* Command3;         // reset WINTNC
    QPushButton* Command4;         // start Soundmodem
    QPushButton* Command8;         // reset Soundmodem
    QPushButton* Command2;         // start WINLINK
    QPushButton* Command9;         // reset WINLINK
    QPushButton* Command11;        // start Direwolf
    QPushButton* Command12;        // reset Direwolf
    QPushButton* serialswitch;     // start the serial port splitter
    QPushButton* resetsplitter;    // reset the splitter
    QPushButton* Command14;        // start VARAC
    QPushButton* Command15;        // reset VARAC
    QPushButton* Command19;        // start TOLVAN Terminal
    QPushButton* Command20;        // reset TOLVAN Terminal
    QPushButton* Command16;        // start NPR Modem, hidden
    QPushButton* Command17;        // reset NPR Modem, hidden
    QPushButton* Command18;        // raise the telnet server, hidden
    QPushButton* Command13;        // raise the packet terminal
    QPushButton* Command10;        // the task switcher
    PickList* File1;               // the send folder's files
    QPushButton* Command6;         // delete the picked file
    QPushButton* Command7;         // delete every file
    QPushButton* Command5;         // back to the main menu
    QTimer* Timer1;                // no action
    QTimer* TimerStatus;           // refreshes the running marks
    QList<QLabel*> m_statusLabels; // beside the start buttons, objectName "lblStatus" + button name

    QString m_listFolder;
};

} // namespace tolvan
