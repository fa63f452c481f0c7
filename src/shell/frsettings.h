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

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* Label4;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label9;
    QLabel* Label10;
    QLabel* Label12;
    QLabel* Label14;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* Text3;
    QLineEdit* Text4;
    QLineEdit* Text5;
    QLineEdit* Text6;
    QLineEdit* Text7;
    QLineEdit* Text8;
    QLineEdit* Text9;
    QLineEdit* Text11;
    QLineEdit* Text13;
    QPushButton* Command1;
    QPushButton* Command2;
    // The station's link speed, for the air time of files; stored on change.
    QLabel* lblBaud;
    QComboBox* cboBaud;

    // A failed read is reported when the screen appears, so a screen that is
    // loaded only to be reloaded fresh does not report it twice.
    bool m_readFailed = false;
};

} // namespace tolvan
