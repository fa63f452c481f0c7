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

    QLabel* Label1;
    QLineEdit* Text3;
    QLineEdit* Text4;
    QLineEdit* Text2;
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text5;
    QPushButton* Addfile;
    QPushButton* cmdPMBA;
    QPushButton* Command1;
    QPushButton* cmdPMBASend;
    QPushButton* Command2;
    QTextEdit* RichTextBox1;
    // Sizes and air time of the chosen file in each way it can be sent.
    QLabel* lblEstimate;
    void showEstimate();
};

} // namespace tolvan
