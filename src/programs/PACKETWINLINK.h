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

    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label1;
    QLabel* Label3;
    QLabel* Label5;
    QPushButton* Command1;
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command8;
    QPushButton* Command2;
    QPushButton* Command9;
    QPushButton* Command11;
    QPushButton* Command12;
    QPushButton* serialswitch;
    QPushButton* resetsplitter;
    QPushButton* Command14;
    QPushButton* Command15;
    QPushButton* Command19;
    QPushButton* Command20;
    QPushButton* Command16;
    QPushButton* Command17;
    QPushButton* Command18;
    QPushButton* Command13;
    QPushButton* Command10;
    PickList* File1;
    QPushButton* Command6;
    QPushButton* Command7;
    QPushButton* Command5;
    QTimer* Timer1;
    QTimer* TimerStatus;
    QList<QLabel*> m_statusLabels; // beside the start buttons, objectName "lblStatus" + button name

    QString m_listFolder;
};

} // namespace tolvan
