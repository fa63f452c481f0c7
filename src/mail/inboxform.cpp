#include "mail/inboxform.h"

#include "mail/MailCodec.h"
#include "mail/MailFiles.h"
#include "monitor/fileoperation.h"
#include "platform/SafeFile.h"
#include "programs/PACKETWINLINK.h"
#include "programs/SendFolder.h"
#include "shell/AppContext.h"
#include "shell/AutoSaveDisplay.h"
#include "shell/Notify.h"
#include "shell/ScreenRegistry.h"
#include "shell/TextBoxes.h"
#include "shell/frmdecide.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include <functional>

namespace tolvan {

namespace {

// A box with no icon and no title of its own.
MessageBoxRequest plainBox(const QString& text)
{
    return {text, {}, MsgIcon::None, MsgButtons::Ok, MsgAnswer::Ok};
}

const QString kMailDat = QStringLiteral("mail.dat");

// The hand-over file lives in the working folder under its bare name.
QString mailDatPath()
{
    return QDir::current().filePath(kMailDat);
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
    Label1 = make<QLabel>(QStringLiteral("Label1"), QStringLiteral("Packet Mail Form"));
    QFont big = Label1->font();
    big.setPointSize(big.pointSize() + 8);
    big.setBold(true);
    Label1->setFont(big);
    Label1->setAlignment(Qt::AlignCenter);
    Text3 = make<QLineEdit>(QStringLiteral("Text3"), QStringLiteral("TO:"));
    Text4 = make<QLineEdit>(QStringLiteral("Text4"), QStringLiteral("From:"));
    Text2 = make<QLineEdit>(QStringLiteral("Text2"), QStringLiteral("Subject:"));
    Text1 = make<QPlainTextEdit>(QStringLiteral("Text1"));
    setBoxText(Text1, QStringLiteral("Your Message:"));
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

    setTabOrder(Text3, Text4);
    setTabOrder(Text4, Text2);
    setTabOrder(Text2, Text1);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, cmdAutoSaveToggle);
    setTabOrder(cmdAutoSaveToggle, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, chkAutoSave);
    // Tab moves between the boxes; the message box keeps its line breaks.
    Text1->setTabChangesFocus(true);

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
    return MailCodec::DecodeFromASCII(asciiString).text;
}

void inboxform::Form_Load()
{
    chkAutoSave->setVisible(false);
    ConfigStore& store = ctx().store;
    if (store.StoreFileExists(Notify::kAutoSaveFile)) {
        const StoreValue<QString> line = store.ReadStoreLine(Notify::kAutoSaveFile);
        UpdateAutoSaveDisplay(registry(), line.ok() && Notify::AutoSaveLineIsOn(line.value));
    }
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
    if (names.isEmpty()) {
        return;
    }
    // These mails have not been transmitted yet; they go only when the operator says so.
    const QString question =
        QStringLiteral("The send folder still holds %1 file(s) that the packet program has not sent:\n%2\n\n"
                       "Delete them now?")
            .arg(names.size())
            .arg(names.mid(0, 10).join(u'\n') + (names.size() > 10 ? QStringLiteral("\n...") : QString()));
    if (!ctx().dialogs->askYesNo(question, QStringLiteral("Confirmation"), MsgAnswer::No)) {
        return;
    }
    fileoperation::DeleteListedFiles(*ctx().dialogs, folder, names);
    if (auto* center = qobject_cast<PACKETWINLINK*>(registry().loaded(QStringLiteral("PACKETWINLINK")))) {
        center->refreshList();
    }
}

void inboxform::ReadMailHandOver()
{
    const QString path = mailDatPath();
    if (!QFileInfo::exists(path)) {
        return;
    }
    const MailFiles::ReadResult read = MailFiles::ReadWholeFile(path);
    if (!read.ok) {
        ctx().dialogs->messageBox(plainBox(QStringLiteral("Error opening file: ") + read.error));
        return;
    }
    const QStringList parts = MailCodec::SplitMailText(read.text);
    if (parts.isEmpty()) {
        return;
    }
    if (parts.size() < 4) {
        ctx().dialogs->messageBox(plainBox(QStringLiteral("File content is not in the expected format.")));
        return;
    }
    // Each box is filled as soon as its field is decoded, so a field that fails
    // leaves the ones before it readable.
    struct Target {
        const char* field;
        std::function<void(const QString&)> set;
    };
    const Target targets[] = {
        {"To", [this](const QString& t) { Text3->setText(t); }},
        {"Subject", [this](const QString& t) { Text2->setText(t); }},
        {"Message", [this](const QString& t) { setBoxText(Text1, t); }},
        {"From", [this](const QString& t) { Text4->setText(t); }},
    };
    for (int i = 0; i < 4; ++i) {
        const MailCodec::Decoded decoded = MailCodec::DecodeFromASCII(parts[i]);
        if (!decoded.ok) {
            ctx().dialogs->exclamation(QStringLiteral("The %1 field of the mail could not be decoded: %2")
                                           .arg(QString::fromLatin1(targets[i].field), decoded.error));
            return;
        }
        targets[i].set(decoded.text);
    }
}

void inboxform::resetBoxes()
{
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
    const SafeFile::Result r = SafeFile::replace(mailDatPath(), QByteArray());
    if (!r.ok) {
        ctx().dialogs->exclamation(QStringLiteral("The mail hand-over file could not be emptied: ") + r.error);
    }
}

void inboxform::Command1_Click()
{
    Dialogs& dialogs = *ctx().dialogs;
    const StoreValue<QString> folder = ctx().store.ReadStoreLine(SendFolder::kSendFile);
    if (!folder.ok() || folder.value.trimmed().isEmpty()) {
        dialogs.critical(QStringLiteral("The reply was not sent: the send folder is not set up (send.dat: %1).")
                             .arg(folder.ok() ? QStringLiteral("empty") : folder.message));
        return;
    }
    const QString path = MailCodec::ReplyMailFileName(folder.value, ctx().clock->now());
    const QString to = Text3->text();
    const QString subject = Text2->text();
    const QString message = boxText(Text1);
    const QString from = Text4->text();
    for (const QString* field : {&to, &subject, &message, &from}) {
        if (field->size() > MailCodec::kMaxFieldLength) {
            dialogs.exclamation(QStringLiteral("The reply was not sent: a field holds more than %1 characters.")
                                    .arg(MailCodec::kMaxFieldLength));
            return;
        }
    }
    const MailFiles::FileResult written =
        MailFiles::AppendLine(path, MailCodec::FormatCodedMailLine(to, subject, message, from));
    if (!written.ok) {
        // The boxes stay as they are, so the reply is not lost.
        dialogs.critical(QStringLiteral("The reply was not sent: ") + written.error);
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
        const Notify::WriteResult saved =
            Notify::SaveMailToSaveFolder(ctx().store, ctx().clock->now(), ctx().locale, mail);
        if (!saved.ok) {
            const QString question = QStringLiteral("The mail could not be saved:\n%1\n\nLeave the inbox without "
                                                    "saving it?")
                                         .arg(saved.error);
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
