#pragma once

#include "shell/Screen.h"

class QLabel;
class QPushButton;

namespace tolvan {

// The entry screen: the only screen at start and the one the operator comes
// back to after a reset.
class ENTER : public Screen {
    Q_OBJECT
public:
    explicit ENTER(ScreenRegistry& registry);
    void Form_Load() override;

private slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void reenter_Click();

private:
    QLabel* Label1;        // heading
    QLabel* Image1;        // the station picture
    QPushButton* Command1; // SETUP
    QPushButton* Command2; // QUIT
    QPushButton* Command3; // ENTER
    QPushButton* reenter;  // RE-ENTER, shown after a reset
    QLabel* lblStation;    // which station folder this copy works in
    QLabel* lblFirstRun;   // shown until the mail folders are set up
};

} // namespace tolvan
