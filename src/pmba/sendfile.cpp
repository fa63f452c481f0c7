#include "pmba/sendfile.h"

#include "mail/AddressCompleter.h"
#include "pmba/FileMail.h"
#include "pmba/FilePost.h"
#include "pmba/SendEstimateView.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"
#include "shell/TextBoxes.h"
#include "shell/frmdecide.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace tolvan {

sendfile::sendfile(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("sendfile"))
{
    setWindowTitle(QStringLiteral("Send File"));
    MakeMailBoxes(this,
                  {QStringLiteral("TO:"), QStringLiteral("From:"), QStringLiteral("Subject:"),
                   QStringLiteral("Message:")},
                  {Label1, Text3, Text4, Text2, Text1});
    AttachAddressCompleter(ctx().store, Text3, Text4);
    Label2 = make<QLabel>(QStringLiteral("Label2"), QStringLiteral("Attached File"));
    Text5 = make<QLineEdit>(QStringLiteral("Text5"), QString(""));
    Addfile = make<QPushButton>(QStringLiteral("Addfile"), QStringLiteral("Regular File Attachment"));
    cmdPMBA = make<QPushButton>(QStringLiteral("cmdPMBA"), QStringLiteral("PMBA Attachment"));
    Command1 = make<QPushButton>(QStringLiteral("Command1"), QStringLiteral("Post Regular to Outbox"));
    cmdPMBASend = make<QPushButton>(QStringLiteral("cmdPMBASend"), QStringLiteral("Post PMBA to Outbox"));
    Command2 = make<QPushButton>(QStringLiteral("Command2"), QStringLiteral("EXIT"));
    RichTextBox1 = make<QTextEdit>(QStringLiteral("RichTextBox1"));
    lblEstimate = SendEstimateView::MakeLabel(this, QStringLiteral("lblEstimate"));

    QGridLayout* fields = MailBoxGrid(Text3, Text4, Text2);
    fields->addWidget(Text1, 2, 0, 1, 2);
    fields->addWidget(Label2, 3, 0, 1, 2);
    fields->addWidget(Text5, 4, 0, 1, 2);
    fields->addWidget(lblEstimate, 5, 0, 1, 2);
    auto* choose = new QHBoxLayout;
    auto* post = new QHBoxLayout;
    for (QPushButton* b : {Addfile, cmdPMBA}) {
        b->setMinimumHeight(38);
        choose->addWidget(b);
    }
    for (QPushButton* b : {Command1, cmdPMBASend, Command2}) {
        b->setMinimumHeight(38);
        post->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(fields);
    layout->addLayout(choose);
    layout->addLayout(post);
    layout->addWidget(RichTextBox1);
    layout->addStretch(1);
    layout->setContentsMargins(20, 20, 20, 20);
    resize(720, 420);

    connect(Addfile, &QPushButton::clicked, this, &sendfile::Addfile_Click);
    connect(cmdPMBA, &QPushButton::clicked, this, &sendfile::cmdPMBA_Click);
    connect(Command1, &QPushButton::clicked, this, &sendfile::Command1_Click);
    connect(cmdPMBASend, &QPushButton::clicked, this, &sendfile::cmdPMBASend_Click);
    connect(Command2, &QPushButton::clicked, this, &sendfile::Command2_Click);
    // The sizes follow the file and the texts, which are part of each form.
    for (QLineEdit* box : {Text5, Text3, Text4, Text2, Text1}) {
        connect(box, &QLineEdit::textChanged, this, &sendfile::showEstimate);
    }
}

void sendfile::showEstimate()
{
    SendEstimateView::Show(lblEstimate, ctx().store, Text5->text(),
                           {Text3->text(), Text4->text(), Text2->text(), Text1->text()});
}

QString sendfile::Base64Encode(const QByteArray& Data)
{
    return FileMail::Base64Encode(Data);
}

void sendfile::placeCarets()
{
    for (QLineEdit* box : {Text3, Text2, Text1, Text4}) {
        box->end(false);
    }
}

void sendfile::Form_Load()
{
    RichTextBox1->setVisible(false);
    placeCarets();
    Text5->clear();
}

void sendfile::setPmbaMode(bool on)
{
    PMBASendMode = on;
    Command1->setEnabled(!on);
    cmdPMBASend->setEnabled(on);
}

void sendfile::ClearSendFields()
{
    Text3->setText(QStringLiteral("To: "));
    Text2->setText(QStringLiteral("Subject: "));
    Text1->setText(QStringLiteral("Your Message: "));
    Text4->setText(QStringLiteral("From: "));
    Text5->clear();
    placeCarets();
    setPmbaMode(false);
}

void sendfile::Addfile_Click()
{
    Dialogs& dialogs = *ctx().dialogs;
    dialogs.messageBox({QStringLiteral("Opening file dialog..."), {}, MsgIcon::None, MsgButtons::Ok, MsgAnswer::Ok});
    const std::optional<QString> chosen = dialogs.openFileName(
        {QStringLiteral("Select a file"),
         {{QStringLiteral("Text Files (*.txt)"), QStringLiteral("*.txt")},
          {QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")}},
         {},
         {}});
    if (chosen && !chosen->isEmpty()) {
        Text5->setText(*chosen);
    } else {
        dialogs.critical(QStringLiteral("Error: No file selected or invalid file!"));
    }
    setPmbaMode(false);
}

void sendfile::cmdPMBA_Click()
{
    Dialogs& dialogs = *ctx().dialogs;
    const std::optional<QString> chosen = dialogs.openFileName(
        {QStringLiteral("Select PMBA Attachment"),
         {{QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")},
          {QStringLiteral("Pictures (*.jpg;*.jpeg;*.png;*.bmp;*.gif)"),
           QStringLiteral("*.jpg;*.jpeg;*.png;*.bmp;*.gif")}},
         {},
         {}});
    if (!chosen) {
        return;
    }
    const QFileInfo info(*chosen);
    if (chosen->isEmpty() || !info.isFile()) {
        dialogs.exclamation(QStringLiteral("Selected file does not exist."), FilePost::kTitle);
        return;
    }
    Text5->setText(*chosen);
    dialogs.information(
        QStringLiteral("PMBA attachment selected:\n%1\n\nFile Size: %2 bytes").arg(*chosen).arg(info.size()),
        QStringLiteral("PMBA Attachment"));
    setPmbaMode(true);
}

bool sendfile::confirmTextLoss(const QString& what)
{
    return ctx().dialogs->confirmCodePageLoss({Text3->text(), Text4->text(), Text2->text(), Text1->text()}, what);
}

void sendfile::cmdPMBASend_Click()
{
    if (!confirmTextLoss(QStringLiteral("PMBA mail"))) {
        return;
    }
    const FilePost::PostResult r =
        FilePost::PostPmbaMail(ctx().store, ctx().clock->now(), PMBASendMode, Text5->text(),
                               {Text3->text(), Text4->text(), Text2->text(), Text1->text()});
    for (const MessageBoxRequest& box : r.boxes) {
        ctx().dialogs->messageBox(box);
    }
    if (r.ok) {
        leaveAfterPost();
    }
}

void sendfile::Command1_Click()
{
    if (!confirmTextLoss(QStringLiteral("file mail"))) {
        return;
    }
    const FilePost::PostResult r = FilePost::PostRegularMail(
        ctx().store, ctx().clock->now(), Text5->text(), {Text3->text(), Text4->text(), Text2->text(), Text1->text()});
    for (const MessageBoxRequest& box : r.boxes) {
        ctx().dialogs->messageBox(box);
    }
    if (r.ok) {
        leaveAfterPost();
    }
}

void sendfile::leaveAfterPost()
{
    ClearSendFields();
    ScreenRegistry& reg = registry();
    reg.Unload(QStringLiteral("sendfile"));
    reg.setControlVisible(QStringLiteral("mainmenu"), QStringLiteral("testprogram"), false);
    reg.Unload(QStringLiteral("mailform"));
    // A fresh load, so the outgoing list shows the new file.
    const QString center = QStringLiteral("PACKETWINLINK");
    reg.Unload(center);
    reg.Show(center);
}

void sendfile::Command2_Click()
{
    registry().Unload(QStringLiteral("sendfile"));
    ReturnToMainMenu(registry());
}

} // namespace tolvan
