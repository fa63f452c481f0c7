#pragma once

#include "shell/Screen.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tolvan {

// The compose screen: a new packet mail written into the four boxes and posted
// to the send folder, from which the packet program transmits it.
class mailform : public Screen {
    Q_OBJECT
public:
    explicit mailform(ScreenRegistry& registry);
    void Form_Load() override;

    static QString ConvertToASCII(const QString& text);
    static QString DecodeFromASCII(const QString& asciiString);

private slots:
    void Command1_Click();
    void Command3_Click();
    void Command2_Click();

private:
    void resetBoxes();
    void placeCarets();
    // Asks before mail still waiting in the send folder is deleted.
    void offerToClearOutbox();

    QLabel* Label1;        // heading
    QLineEdit* Text3;      // To
    QLineEdit* Text4;      // From
    QLineEdit* Text2;      // Subject
    QLabel* Label2;        // "Your Message"
    QPlainTextEdit* Text1; // Message
    QPushButton* Command1; // post to the outbox
    QPushButton* Command3; // reset the form
    QPushButton* Command2; // EXIT
};

} // namespace tolvan
