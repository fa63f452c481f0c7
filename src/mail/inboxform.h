#pragma once

#include "shell/Screen.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tolvan {

// Shows one packet mail, handed over through "mail.dat", in four editable boxes;
// the boxes can be posted back as a reply, and with auto-save on the mail is
// saved on leaving.
class inboxform : public Screen {
    Q_OBJECT
public:
    explicit inboxform(ScreenRegistry& registry);
    void Form_Load() override;

    // Reads "mail.dat" into the boxes, as the opening does.
    void ReadMailHandOver();
    // Puts the prompts back and reads "mail.dat" afresh. The received screen
    // calls it when the inbox was already loaded hidden (by the self-test), so
    // a mail handed over later is still shown; a shown inbox is never re-read.
    void ReloadMailHandOver();

    static QString ConvertToASCII(const QString& text);
    static QString DecodeFromASCII(const QString& asciiString);

private slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void cmdAutoSaveToggle_Click();
    void chkAutoSave_Click();

private:
    void resetBoxes();
    void showPlainMail(const QString& text);
    void emptyMailHandOver();
    // Asks before the mails still waiting in the send folder are deleted.
    void clearOutgoingFolder();

    // Shown over the message box while it holds a mail that came as plain text.
    static inline const QString kNotCodedNotice = QStringLiteral(
        "This mail was not coded: it came as plain text from another station's software and is shown as it arrived.");

    QLabel* Label1; // heading
    QLabel* lblNotCoded;
    QLineEdit* Text3;               // To
    QLineEdit* Text4;               // From
    QLineEdit* Text2;               // Subject
    QPlainTextEdit* Text1;          // Message
    QPushButton* Command1;          // send the reply
    QPushButton* cmdAutoSaveToggle; // flips the auto-save switch
    QPushButton* Command2;          // EXIT
    QPushButton* Command3;          // reset the form
    QCheckBox* chkAutoSave;         // the auto-save switch, hidden
};

} // namespace tolvan
