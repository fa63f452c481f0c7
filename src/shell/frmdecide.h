#pragma once

#include "shell/Screen.h"

class QLabel;
class QPushButton;

namespace tolvan {

// Chooser between a plain mail, a mail with an attached file, and 7PLUS parts.
class frmdecide : public Screen {
    Q_OBJECT
public:
    explicit frmdecide(ScreenRegistry& registry);
    void Form_Load() override;

public slots:
    // Opens the 7PLUS screen beside the chooser.
    void Show7PlusScreen();

private slots:
    void Cmdmail_Click();
    void Cmdfile_Click();
    void Cmdreturnmain_Click();

private:
    QLabel* Label1;             // heading
    QPushButton* Cmdmail;       // plain mail
    QPushButton* Cmdfile;       // mail with an attached file
    QPushButton* Cmd7Plus;      // the 7PLUS screen
    QPushButton* Cmdreturnmain; // back to the main menu
};

// Returns to the full main menu the way every screen does: a fresh load with
// the self-test button and the sound check box hidden.
void ReturnToMainMenu(ScreenRegistry& registry);

} // namespace tolvan
