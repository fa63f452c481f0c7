#pragma once

#include "pmba/FileMail.h"
#include "pmba/ModPMBA.h"
#include "shell/Screen.h"

#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTextEdit;

namespace tolvan {

// Shows a received file mail, PMBA or regular, with the path of the file that
// came with it; clicking the path saves that file wherever the operator likes.
class receivefile : public Screen {
    Q_OBJECT
public:
    explicit receivefile(ScreenRegistry& registry);
    void Form_Load() override;

    // What the received screen hands over before the screen loads, so that the
    // load step already knows whether to read the attachment hand-over file.
    struct HandOver {
        bool PMBAReceiveMode = false;
        QString PMBAOriginalMailPath;
        ModPMBA::DecodedPmbaMail mail;
        // A regular file mail's incoming file in the receive folder: deleted
        // once its carried file is safely written, kept otherwise.
        QString fileMailIncomingPath;
    };
    // Taken by the next load of the screen, then forgotten.
    static void SetNextHandOver(const HandOver& handOver);

    // The fields other screens fill before showing this one.
    bool PMBAReceiveMode = false;
    QString PMBATo;
    QString PMBAFrom;
    QString PMBASubject;
    QString PMBAMessage;
    QString PMBAAttachmentPath;
    QString PMBAOriginalMailPath;

    void DisplayPMBAMail();
    void ClearReceiveFields();
    void LoadRegularFileMail(const QString& path);
    static bool FileExists(const QString& FilePath);

public slots:
    void Text5_Click();

private slots:
    void Command2_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* Label1;          // heading
    QLineEdit* Text3;        // To
    QLineEdit* Text2;        // Subject
    QLineEdit* Text4;        // From
    QPlainTextEdit* Text1;   // Message
    QLabel* Label2;          // "Click On File To Save"
    QLineEdit* Text5;        // path of the received file; a click saves it
    QPushButton* Command2;   // EXIT
    QTextEdit* RichTextBox1; // hidden, not used

    // With auto-save on, the mail's text goes to the save folder as the
    // inbox's does: the incoming file that holds it is removed once its file
    // is saved.
    void autoSaveShownMail();
    // After the carried file is safe, or the operator chose to let it go.
    void removeIncomingFileMail();
    // When the carried file could not be written under its own name: another
    // name, or the file mail stays in the receive folder.
    void offerAnotherName(const FileMail::Mail& mail, const QString& why);

    QString m_fileMailIncomingPath;
    static std::optional<HandOver> s_nextHandOver;
};

} // namespace tolvan
