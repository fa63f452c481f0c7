#include "mail/mailform.h"

#include "mail/AddressCompleter.h"
#include "mail/MailCodec.h"
#include "mail/MailPost.h"
#include "monitor/fileoperation.h"
#include "programs/PACKETWINLINK.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"
#include "shell/TextBoxes.h"
#include "shell/frmdecide.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvan {

mailform::mailform(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("mailform"))
{
    setWindowTitle(QStringLiteral("Packet Mail Form"));
    // The message box starts empty, under its own caption.
    MakeMailBoxes(this, {QStringLiteral("TO-"), QStringLiteral("From-"), QStringLiteral("Subject-"), QString()},
                  {Label1, Text3, Text4, Text2, Text1});
    AttachAddressCompleter(ctx().store, Text3, Text4);
    Label2 = make<QLabel>(QStringLiteral("Label2"), QStringLiteral("Your Message"));
    Command1 = make<QPushButton>(QStringLiteral("Command1"), QStringLiteral("&Post to Outbox"));
    Command3 = make<QPushButton>(QStringLiteral("Command3"), QStringLiteral("&Reset form"));
    Command2 = make<QPushButton>(QStringLiteral("Command2"), QStringLiteral("E&XIT"));

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Command1, Command3, Command2}) {
        b->setMinimumHeight(38);
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(MailBoxGrid(Text3, Text4, Text2));
    layout->addWidget(Label2);
    layout->addWidget(Text1, 1);
    layout->addLayout(buttons);
    layout->setContentsMargins(20, 20, 20, 20);
    resize(720, 520);

    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command3);
    setTabOrder(Command3, Command2);

    connect(Command1, &QPushButton::clicked, this, &mailform::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &mailform::Command3_Click);
    connect(Command2, &QPushButton::clicked, this, &mailform::Command2_Click);
}

QString mailform::ConvertToASCII(const QString& text)
{
    return MailCodec::ConvertToASCII(text);
}

QString mailform::DecodeFromASCII(const QString& asciiString)
{
    return MailCodec::DecodeFromASCII(asciiString).value();
}

void mailform::Form_Load()
{
    offerToClearOutbox();
    placeCarets();
}

void mailform::offerToClearOutbox()
{
    // The communication center's outgoing list shows what the send folder holds.
    auto* center = registry().form<PACKETWINLINK>(QStringLiteral("PACKETWINLINK"));
    if (!center) {
        return;
    }
    const QStringList waiting = center->listedFiles();
    if (waiting.isEmpty()) {
        return;
    }
    // Unsent mail is the operator's work: it goes only when the operator says so.
    if (ctx().dialogs->messageBox(MailPost::OutboxQuestion(center->listFolder(), waiting)) != MsgAnswer::Yes) {
        return;
    }
    const fileoperation::DeleteResult r =
        fileoperation::DeleteListedFiles(*ctx().dialogs, center->listFolder(), waiting);
    if (r.refresh) {
        center->refreshList();
    }
}

void mailform::placeCarets()
{
    for (QLineEdit* box : {Text3, Text2}) {
        box->end(false);
    }
    Text1->moveCursor(QTextCursor::End);
    Text4->end(false);
}

void mailform::resetBoxes()
{
    Text3->setText(QStringLiteral("To: "));
    Text2->setText(QStringLiteral("Subject: "));
    setBoxText(Text1, QStringLiteral("Your Message: "));
    Text4->setText(QStringLiteral("From- "));
    placeCarets();
}

void mailform::Command1_Click()
{
    const MailCodec::MailFields mail{Text3->text(), Text2->text(), boxText(Text1), Text4->text()};
    if (MailPost::IsUnwrittenMail(mail) &&
        !ctx().dialogs->askYesNo(QStringLiteral("Nothing has been written in To, Subject, Message or From.\n\n"
                                                "Post this empty mail anyway?"),
                                 QStringLiteral("Post to Outbox"), MsgAnswer::No)) {
        return; // nothing posted; the boxes stay as they are
    }
    if (!ctx().dialogs->confirmCodePageLoss({mail.to, mail.subject, mail.message, mail.from},
                                            QStringLiteral("mail"))) {
        return; // the boxes stay as they are, to be mended
    }
    const Result<MailPost::Posted> posted =
        MailPost::PostComposedMail(ctx().store, ctx().clock->now(), ctx().locale, mail);
    if (!posted.ok()) {
        // The boxes stay as they are, so the operator can mend the cause and post again.
        ctx().dialogs->critical(QStringLiteral("The mail was not posted.\n\n") + posted.error()
                                    + QStringLiteral("\n\nYour mail is still in the boxes."),
                                QStringLiteral("Post to Outbox"));
        return;
    }
    resetBoxes();
    // Best effort: a hand-over left full only shows its mail again in the inbox.
    (void)MailPost::EmptyHandOver(MailPost::kMailHandOver);

    ScreenRegistry& reg = registry();
    reg.setControlVisible(QStringLiteral("mainmenu"), QStringLiteral("testprogram"), false);
    reg.Unload(QStringLiteral("mailform"));
    // Fresh loads, so the outgoing list shows the new file.
    const QString center = QStringLiteral("PACKETWINLINK");
    reg.Unload(center);
    reg.Load(center);
    reg.Unload(center);
    reg.Show(center);
}

void mailform::Command3_Click()
{
    resetBoxes();
    (void)MailPost::EmptyHandOver(MailPost::kMailHandOver);
}

void mailform::Command2_Click()
{
    resetBoxes();
    (void)MailPost::EmptyHandOver(MailPost::kMailHandOver);
    registry().Unload(QStringLiteral("mailform"));
    ReturnToMainMenu(registry());
}

} // namespace tolvan
