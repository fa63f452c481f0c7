#pragma once

#include <QString>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace tolvan {

// A multi-line box holds its line breaks as CR LF, as the mail files do.
QString boxText(const QPlainTextEdit* box);
void setBoxText(QPlainTextEdit* box, const QString& text);

// The texts a mail screen's boxes start with; a null text leaves the box empty.
struct MailPrompts {
    QString to;
    QString from;
    QString subject;
    QString message;
};

// Where a mail screen keeps its heading and its four mail boxes: the members
// named as below, which are also the controls' names.
template <class MessageBox>
struct MailBoxes {
    QLabel*& heading;     // Label1: "Packet Mail Form"
    QLineEdit*& to;       // Text3
    QLineEdit*& from;     // Text4
    QLineEdit*& subject;  // Text2
    MessageBox*& message; // Text1
};

// Makes them on the screen in the order To, From, Subject, Message, which is
// also their tab order. A multi-line message box passes Tab on to the next
// control, like the one-line boxes.
void MakeMailBoxes(QWidget* screen, const MailPrompts& prompts, const MailBoxes<QPlainTextEdit>& into);
void MakeMailBoxes(QWidget* screen, const MailPrompts& prompts, const MailBoxes<QLineEdit>& into);

// To and From side by side, Subject under them across both columns.
QGridLayout* MailBoxGrid(QLineEdit* to, QLineEdit* from, QLineEdit* subject);

} // namespace tolvan
