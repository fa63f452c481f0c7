#pragma once

#include "shell/Screen.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

namespace tolvan {

// The send file screen: a short mail with one attached file, posted into the
// send folder as a PMBA mail or as a regular file mail.
class sendfile : public Screen {
    Q_OBJECT
public:
    explicit sendfile(ScreenRegistry& registry);
    void Form_Load() override;

    void ClearSendFields();
    static QString Base64Encode(const QByteArray& Data);

    // True while the file in Text5 was chosen with "PMBA Attachment".
    bool PMBASendMode = false;

private slots:
    void Addfile_Click();
    void cmdPMBA_Click();
    void Command1_Click();
    void cmdPMBASend_Click();
    void Command2_Click();

private:
    void placeCarets();
    void setPmbaMode(bool on);
    void leaveAfterPost();
    // Asks before the four text boxes are posted with characters the code
    // page cannot hold; false when the operator cancels.
    bool confirmTextLoss(const QString& what);

    QLabel* Label1;           // heading
    QLineEdit* Text3;         // To
    QLineEdit* Text4;         // From
    QLineEdit* Text2;         // Subject
    QLineEdit* Text1;         // Message
    QLabel* Label2;           // "Attached File"
    QLineEdit* Text5;         // path of the attached file
    QPushButton* Addfile;     // pick a file for a regular post
    QPushButton* cmdPMBA;     // pick a file for a PMBA post
    QPushButton* Command1;    // post as a regular file mail
    QPushButton* cmdPMBASend; // post as a PMBA mail
    QPushButton* Command2;    // EXIT
    QTextEdit* RichTextBox1;  // hidden, not used
    // Sizes and air time of the chosen file in each way it can be sent.
    QLabel* lblEstimate;
    void showEstimate();
};

} // namespace tolvan
