#pragma once

#include "shell/Screen.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tolvan {

// The reader: one saved received mail, shown from the reader's hand-over file
// in the four mail boxes. The boxes can be edited; nothing is saved from them.
class readform : public Screen {
    Q_OBJECT
public:
    explicit readform(ScreenRegistry& registry);
    void Form_Load() override;

private slots:
    void Command2_Click();

private:
    void placeCarets();

    QLabel* Label1;        // heading
    QLineEdit* Text3;      // To
    QLineEdit* Text4;      // From
    QLineEdit* Text2;      // Subject
    QPlainTextEdit* Text1; // Message
    QPushButton* Command2; // EXIT
};

} // namespace tolvan
