#include "mail/inboxform.h"

#include "mail/AddressCompleter.h"
#include "mail/MailCodec.h"
#include "mail/MailPost.h"
#include "mail/MailFiles.h"
#include "monitor/fileoperation.h"
#include "programs/PACKETWINLINK.h"
#include "programs/SendFolder.h"
#include "shell/AppContext.h"
#include "shell/AutoSaveDisplay.h"
#include "shell/Notify.h"
#include "shell/ScreenRegistry.h"
#include "shell/TextBoxes.h"
#include "shell/frmdecide.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>


namespace tolvan {

namespace {

// A box with no icon and no title of its own.
MessageBoxRequest plainBox(const QString& text)
{
    return {text, {}, MsgIcon::None, MsgButtons::Ok, MsgAnswer::Ok};
}

void caretToEnd(QLineEdit* box)
{
    box->setCursorPosition(static_cast<int>(box->text().size()));
}

void caretToEnd(QPlainTextEdit* box)
{
    box->moveCursor(QTextCursor::End);
}

} // namespace

inboxform::inboxform(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("inboxform"))
{
    setWindowTitle(QStringLiteral("Packet Mail Form"));
    MakeMailBoxes(this,
                  {QStringLiteral("TO:"), QStringLiteral("From:"), QStringLiteral("Subject:"),
                   QStringLiteral("Your Message:")},
                  {Label1, Text3, Text4, Text2, Text1});
    AttachAddressCompleter(ctx().store, Text3, Text4);
    lblNotCoded = make<QLabel>(QStringLiteral("lblNotCoded"), kNotCodedNotice);
    lblNotCoded->setWordWrap(true);
    lblNotCoded->setVisible(false);
    Command1 = make<QPushButton>(QStringLiteral("Command1"), QStringLiteral("&Send your reply after Editing"));
    cmdAutoSaveToggle =
        make<QPushButton>(QStringLiteral("cmdAutoSaveToggle"), QStringLiteral("Save &Incoming Message"));
    Command2 = make<QPushButton>(QStringLiteral("Command2"), QStringLiteral("E&XIT"));
    Command3 = make<QPushButton>(QStringLiteral("Command3"), QStringLiteral("&Reset form"));
    chkAutoSave = make<QCheckBox>(QStringLiteral("chkAutoSave"), QStringLiteral("Check1"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Text3);
    layout->addWidget(Text4);
    layout->addWidget(Text2);
    layout->addWidget(lblNotCoded);
    layout->addWidget(Text1, 1);
    auto* buttons = new QGridLayout;
    int column = 0;
    for (QPushButton* b : {Command1, cmdAutoSaveToggle, Command2, Command3}) {
        b->setMinimumHeight(38);
        buttons->addWidget(b, 0, column++);
    }
    buttons->addWidget(chkAutoSave, 1, 0);
    layout->addLayout(buttons);
    layout->setContentsMargins(20, 20, 20, 20);
    resize(760, 540);

    setTabOrder(Text1, Command1);
    setTabOrder(Command1, cmdAutoSaveToggle);
    setTabOrder(cmdAutoSaveToggle, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, chkAutoSave);

    connect(Command1, &QPushButton::clicked, this, &inboxform::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &inboxform::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &inboxform::Command3_Click);
    connect(cmdAutoSaveToggle, &QPushButton::clicked, this, &inboxform::cmdAutoSaveToggle_Click);
    // A check box's click handler also runs when code changes its value.
    connect(chkAutoSave, &QCheckBox::toggled, this, &inboxform::chkAutoSave_Click);
}

QString inboxform::ConvertToASCII(const QString& text)
{
    return MailCodec::ConvertToASCII(text);
}

QString inboxform::DecodeFromASCII(const QString& asciiString)
{
    return MailCodec::DecodeFromASCII(asciiString).value();
}

void inboxform::Form_Load()
{
    chkAutoSave->setVisible(false);
    ConfigStore& store = ctx().store;
    // Shown from the start, so the button says what the switch is.
    UpdateAutoSaveDisplay(registry(), Notify::ReadAutoSaveSetting(store));
    removeTitleBar();

    clearOutgoingFolder();
    caretToEnd(Text3);
    caretToEnd(Text2);
    caretToEnd(Text1);
    caretToEnd(Text4);
    ReadMailHandOver();
}

void inboxform::clearOutgoingFolder()
{
    const QString folder = SendFolder::ListedFolder(ctx().store);
    const QStringList names = fileoperation::ListedFiles(folder);
    // These mails have not been transmitted yet; they go only when the operator says so.
    if (names.isEmpty() || ctx().dialogs->messageBox(MailPost::OutboxQuestion(folder, names)) != MsgAnswer::Yes) {
        return;
    }
    fileoperation::DeleteListedFiles(*ctx().dialogs, folder, names);
    if (auto* center = qobject_cast<PACKETWINLINK*>(registry().loaded(QStringLiteral("PACKETWINLINK")))) {
        center->refreshList();
    }
}

void inboxform::ReadMailHandOver()
{
    const QString path = MailPost::HandOverPath(MailPost::kMailHandOver);
    if (!QFileInfo::exists(path)) {
        return;
    }
    const Result<QString> read = MailFiles::ReadCodedMailFile(path);
    if (!read.ok()) {
        ctx().dialogs->messageBox(plainBox(QStringLiteral("Error opening file: ") + read.error()));
        return;
    }
    if (MailCodec::IsPlainMailText(read.value())) {
        showPlainMail(MailCodec::PlainMailBody(read.value()));
        return;
    }
    lblNotCoded->setVisible(false);
    const MailCodec::ParsedMail mail = MailCodec::ParseCodedMail(read.value());
    if (mail.status == MailCodec::ParsedMail::Status::Empty) {
        return; // no mail: the boxes keep their texts
    }
    if (mail.status == MailCodec::ParsedMail::Status::BadFormat || mail.status == MailCodec::ParsedMail::Status::Cut) {
        ctx().dialogs->messageBox(plainBox(mail.error));
        return;
    }
    // A field that fails to decode leaves the ones before it readable; the
    // boxes after it are emptied, so that no text of another mail stands
    // beside this one.
    const int shown = mail.decodedFields;
    Text3->setText(shown > 0 ? mail.fields.to : QString());
    Text2->setText(shown > 1 ? mail.fields.subject : QString());
    setBoxText(Text1, shown > 2 ? mail.fields.message : QString());
    Text4->setText(shown > 3 ? mail.fields.from : QString());
    if (mail.status == MailCodec::ParsedMail::Status::BadCode) {
        ctx().dialogs->exclamation(mail.error);
    }
}

void inboxform::ReloadMailHandOver()
{
    resetBoxes();
    ReadMailHandOver();
}

void inboxform::showPlainMail(const QString& text)
{
    // Nothing of it is lost: the whole text is the message, which auto-save
    // keeps, and the notice says why the other boxes are empty.
    Text3->clear();
    Text2->clear();
    setBoxText(Text1, text);
    Text4->clear();
    lblNotCoded->setVisible(true);
}

void inboxform::resetBoxes()
{
    lblNotCoded->setVisible(false);
    Text3->setText(QStringLiteral("To: "));
    Text2->setText(QStringLiteral("Subject: "));
    setBoxText(Text1, QStringLiteral("Your Message: "));
    Text4->setText(QStringLiteral("From: "));
    caretToEnd(Text3);
    caretToEnd(Text2);
    caretToEnd(Text1);
    caretToEnd(Text4);
}

void inboxform::emptyMailHandOver()
{
    const Result<> r = MailPost::EmptyHandOver(MailPost::kMailHandOver);
    if (!r.ok()) {
        ctx().dialogs->exclamation(QStringLiteral("The mail hand-over file could not be emptied: ") + r.error());
    }
}

void inboxform::Command1_Click()
{
    const MailCodec::MailFields mail{Text3->text(), Text2->text(), boxText(Text1), Text4->text()};
    if (!ctx().dialogs->confirmCodePageLoss({mail.to, mail.subject, mail.message, mail.from},
                                            QStringLiteral("reply"))) {
        return; // the boxes stay as they are, to be mended
    }
    const Result<MailPost::Posted> posted = MailPost::PostReplyMail(ctx().store, ctx().clock->now(), mail);
    if (!posted.ok()) {
        // The boxes stay as they are, so the reply is not lost.
        ctx().dialogs->critical(QStringLiteral("The reply was not sent: ") + posted.error());
        return;
    }
    resetBoxes();
    emptyMailHandOver();

    ScreenRegistry& reg = registry();
    reg.Unload(QStringLiteral("inboxform"));
    const QString center = QStringLiteral("PACKETWINLINK");
    if (reg.isAvailable(center)) {
        // A fresh communication center, so its outgoing list shows the reply.
        reg.Unload(center);
        reg.Show(center);
    } else {
        ReturnToMainMenu(reg);
    }
}

void inboxform::Command2_Click()
{
    if (chkAutoSave->isChecked()) {
        const MailCodec::MailFields mail{Text3->text(), Text2->text(), boxText(Text1), Text4->text()};
        const Result<QString> saved = Notify::SaveMailToSaveFolder(ctx().store, ctx().clock->now(), ctx().locale, mail);
        if (!saved.ok()) {
            const QString question = QStringLiteral("The mail could not be saved:\n%1\n\nLeave the inbox without "
                                                    "saving it?")
                                         .arg(saved.error());
            if (!ctx().dialogs->askYesNo(question, QStringLiteral("Confirmation"), MsgAnswer::No)) {
                return;
            }
        }
    }
    ScreenRegistry& reg = registry();
    reg.Unload(QStringLiteral("inboxform"));
    ReturnToMainMenu(reg);
}

void inboxform::Command3_Click()
{
    resetBoxes();
    emptyMailHandOver();
}

void inboxform::cmdAutoSaveToggle_Click()
{
    const bool on = !chkAutoSave->isChecked();
    UpdateAutoSaveDisplay(registry(), on);
    Notify::SaveAutoSaveSetting(ctx().store, on);
}

void inboxform::chkAutoSave_Click()
{
    const bool on = chkAutoSave->isChecked();
    UpdateAutoSaveDisplay(registry(), on);
    Notify::SaveAutoSaveSetting(ctx().store, on);
}

} // namespace tolvan
