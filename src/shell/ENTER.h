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
    QLabel* Label1;
    QLabel* Image1;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* reenter;
    QLabel* lblStation;  // which station folder this copy works in
    QLabel* lblFirstRun; // shown until the mail folders are set up
};

} // namespace tolvan
