#pragma once

#include "shell/Screen.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tolvan {

class PickList;

// The saved-mail browser: the received mails kept in the save folder and the
// sent copies in SentMail, each to be opened or deleted.
class saveform : public Screen {
    Q_OBJECT
public:
    explicit saveform(ScreenRegistry& registry);
    void Form_Load() override;

private slots:
    void File1_Click();
    void File2_Click();
    void readmail_Click();
    void cmddelete_Click();
    void Command1_Click();
    void Command2_Click();
    void exit_Click();

private:
    void fillList(PickList* list, const QString& folder, bool datOnly);
    void deleteSelected(PickList* list, const QString& folder, QLineEdit* pathBox, bool datOnly);

    QLabel* Label1;         // "Received Files"
    PickList* File1;        // the save folder's mails
    QPushButton* readmail;  // read the received mail
    QPushButton* cmddelete; // delete the received mail
    QLabel* Label2;         // "Sent Files"
    PickList* File2;        // the sent copies
    QPushButton* Command1;  // read the sent copy
    QPushButton* Command2;  // delete the sent copy
    QPushButton* exit;      // back to the main menu
    QLineEdit* Text1;       // path of the picked received mail, hidden
    QLineEdit* Text2;       // path of the picked sent copy, hidden

    QString m_receivedFolder; // the folder File1 shows; empty when none
    QString m_sentFolder;     // the folder File2 shows; empty when none
};

} // namespace tolvan
