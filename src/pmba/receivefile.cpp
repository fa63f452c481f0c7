#include "pmba/receivefile.h"

#include "monitor/ReceiveRouting.h"
#include "monitor/received.h"
#include "platform/SafeFile.h"
#include "pmba/FileMail.h"
#include "shell/AppContext.h"
#include "shell/Notify.h"
#include "shell/ScreenRegistry.h"
#include "shell/TextBoxes.h"
#include "shell/frmdecide.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace tolvan {

std::optional<receivefile::HandOver> receivefile::s_nextHandOver;

namespace {

void caretToEnd(QLineEdit* box)
{
    box->setCursorPosition(static_cast<int>(box->text().size()));
}

void caretToEnd(QPlainTextEdit* box)
{
    box->moveCursor(QTextCursor::End);
}

bool samePath(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

} // namespace

receivefile::receivefile(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("receivefile"))
{
    setWindowTitle(QStringLiteral("Receive a sent attachment"));
    Label1 = make<QLabel>(QStringLiteral("Label1"), QStringLiteral("Packet Mail Form"));
    makeHeading(Label1, 8);
    Label1->setAlignment(Qt::AlignCenter);
    Text3 = make<QLineEdit>(QStringLiteral("Text3"));
    Text2 = make<QLineEdit>(QStringLiteral("Text2"));
    Text4 = make<QLineEdit>(QStringLiteral("Text4"));
    Text1 = make<QPlainTextEdit>(QStringLiteral("Text1"));
    Label2 = make<QLabel>(QStringLiteral("Label2"), QStringLiteral("Click On File To Save"));
    Text5 = make<QLineEdit>(QStringLiteral("Text5"));
    // The path is a target to click, not a field to edit.
    Text5->setReadOnly(true);
    Text5->setCursor(Qt::PointingHandCursor);
    Text5->installEventFilter(this);
    Command2 = make<QPushButton>(QStringLiteral("Command2"), QStringLiteral("EXIT"));
    RichTextBox1 = make<QTextEdit>(QStringLiteral("RichTextBox1"));
    RichTextBox1->setVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    // Each box is labelled: once a mail fills them, their prompts are gone.
    auto* fields = new QGridLayout;
    const QList<QPair<const char*, QWidget*>> rows = {
        {"To", Text3}, {"Subject", Text2}, {"From", Text4}, {"Message", Text1}, {nullptr, Text5}};
    int row = 0;
    for (const auto& [caption, box] : rows) {
        QLabel* label =
            caption ? make<QLabel>(QStringLiteral("lbl") + QLatin1String(caption), QLatin1String(caption)) : Label2;
        label->setBuddy(box);
        fields->addWidget(label, row, 0, box == Text1 ? Qt::AlignTop : Qt::Alignment());
        fields->addWidget(box, row, 1);
        ++row;
    }
    fields->setColumnStretch(1, 1);
    fields->setRowStretch(3, 1);
    layout->addLayout(fields, 1);
    Command2->setMinimumHeight(38);
    layout->addWidget(Command2);
    layout->setContentsMargins(20, 20, 20, 20);
    resize(720, 520);

    connect(Command2, &QPushButton::clicked, this, &receivefile::Command2_Click);
}

void receivefile::SetNextHandOver(const HandOver& handOver)
{
    s_nextHandOver = handOver;
}

void receivefile::Form_Load()
{
    if (s_nextHandOver) {
        PMBAReceiveMode = s_nextHandOver->PMBAReceiveMode;
        PMBAOriginalMailPath = s_nextHandOver->PMBAOriginalMailPath;
        PMBATo = s_nextHandOver->mail.to;
        PMBAFrom = s_nextHandOver->mail.from;
        PMBASubject = s_nextHandOver->mail.subject;
        PMBAMessage = s_nextHandOver->mail.message;
        PMBAAttachmentPath = s_nextHandOver->mail.attachmentPath;
        m_fileMailIncomingPath = s_nextHandOver->fileMailIncomingPath;
        s_nextHandOver.reset();
    }
    ClearReceiveFields();
    if (!PMBAReceiveMode) {
        const QString handOver = ReceiveRouting::DefaultPaths(ctx().store).attachmentHandOver;
        if (FileExists(handOver)) {
            LoadRegularFileMail(handOver);
        } else {
            ctx().dialogs->exclamation(QStringLiteral("Error: temp file not found!"));
        }
    }
    registry().Hide(QStringLiteral("received"));
    removeTitleBar();
}

void receivefile::DisplayPMBAMail()
{
    PMBAReceiveMode = true;
    setBoxText(Text1, PMBAMessage);
    Text2->setText(PMBASubject);
    Text3->setText(PMBATo);
    Text4->setText(PMBAFrom);
    Text5->setText(PMBAAttachmentPath);
    autoSaveShownMail();
}

void receivefile::autoSaveShownMail()
{
    if (!Notify::ReadAutoSaveSetting(ctx().store)) {
        return;
    }
    const MailCodec::MailFields mail{Text3->text(), Text2->text(), boxText(Text1), Text4->text()};
    const Result<QString> saved = Notify::SaveMailToSaveFolder(ctx().store, ctx().clock->now(), ctx().locale, mail);
    if (!saved.ok()) {
        ctx().dialogs->exclamation(QStringLiteral("The mail's text could not be saved: ") + saved.error());
    }
}

void receivefile::ClearReceiveFields()
{
    Text3->setText(QStringLiteral("To: "));
    Text2->setText(QStringLiteral("Subject: "));
    setBoxText(Text1, QStringLiteral("Your Message: "));
    Text4->setText(QStringLiteral("From: "));
    Text5->clear();
    caretToEnd(Text3);
    caretToEnd(Text2);
    caretToEnd(Text1);
    caretToEnd(Text4);
}

bool receivefile::FileExists(const QString& FilePath)
{
    // A leading dot only hides a name from listings here; a file the decoder
    // wrote under such a name is still the operator's to save.
    return QFileInfo(FilePath).isFile();
}

void receivefile::LoadRegularFileMail(const QString& path)
{
    Dialogs& dialogs = *ctx().dialogs;
    const Result<FileMail::Mail> read = FileMail::Read(path);
    if (!ShowFailure(dialogs, read)) {
        // Nothing is written; the boxes keep their prompts.
        return;
    }
    setBoxText(Text1, read->message);
    Text2->setText(read->subject);
    Text3->setText(read->to);
    Text4->setText(read->from);
    autoSaveShownMail();

    // The carried file lands in the attachment folder under the sender's name,
    // like a PMBA attachment: never beside the program's own files. An
    // existing file there is replaced only when the operator says so.
    const QString folder = ReceiveRouting::DefaultPaths(ctx().store).attachmentFolder;
    if (!QFileInfo::exists(folder) && !QDir().mkpath(folder)) {
        dialogs.critical(QStringLiteral("Error: The attachment folder could not be created: ") + folder);
        return;
    }
    const Result<FileMail::SavedFile> saved = FileMail::SaveCarriedFile(dialogs, read.value(), folder);
    if (!saved.ok()) {
        // The failure was shown; the file mail is still the only whole copy.
        offerAnotherName(read.value(), QStringLiteral("It could not be written to the attachment folder."));
        return;
    }
    if (saved->status == FileMail::SavedFile::Status::Exists) {
        offerAnotherName(read.value(), QStringLiteral("The existing file was kept:\n") + saved->path);
        return;
    }
    Text5->setText(saved->path);
    removeIncomingFileMail();
}

void receivefile::offerAnotherName(const FileMail::Mail& mail, const QString& why)
{
    Dialogs& dialogs = *ctx().dialogs;
    const QString incoming = m_fileMailIncomingPath;
    const MessageBoxRequest question{
        QStringLiteral("The received file \"%1\" was not written. %2\n\nSave it under another name?")
            .arg(mail.fileName, why),
        QStringLiteral("Confirmation"), MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::Yes};
    while (dialogs.messageBox(question) == MsgAnswer::Yes) {
        FileDialogRequest request;
        request.title = QStringLiteral("Save Attachment As");
        request.filters = {{QStringLiteral("All Files"), QStringLiteral("*.*")}};
        request.proposedName = mail.fileName;
        const std::optional<QString> destination = dialogs.saveFileName(request);
        if (!destination || destination->isEmpty()) {
            break;
        }
        const Result<> written = SafeFile::replace(*destination, mail.data);
        if (written.ok()) {
            Text5->setText(*destination);
            removeIncomingFileMail();
            return;
        }
        dialogs.critical(QStringLiteral("Error: The received file could not be written: ") + written.error());
    }
    if (incoming.isEmpty()) {
        return;
    }
    // Nothing else holds the carried file: the hand-over file is replaced by
    // the next file mail read. So the incoming file stays unless the operator,
    // told so, lets it go.
    const MessageBoxRequest discard{
        QStringLiteral("The file mail stays in the receive folder, so that it can be read again:\n%1\n\nIt is the "
                       "last copy of \"%2\". Delete it anyway and lose the file?")
            .arg(incoming, mail.fileName),
        QStringLiteral("Confirmation"), MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No};
    if (dialogs.messageBox(discard) == MsgAnswer::Yes) {
        removeIncomingFileMail();
    }
}

void receivefile::removeIncomingFileMail()
{
    const QString incoming = m_fileMailIncomingPath;
    m_fileMailIncomingPath.clear();
    if (incoming.isEmpty()) {
        return;
    }
    ReceiveRouting::KillFile(*ctx().dialogs, incoming);
    if (auto* list = qobject_cast<received*>(registry().loaded(QStringLiteral("received")))) {
        list->refreshFileList();
    }
}

bool receivefile::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text5 && event->type() == QEvent::MouseButtonRelease) {
        // Queued, so no dialog opens inside the mouse event of the box.
        QMetaObject::invokeMethod(this, &receivefile::Text5_Click, Qt::QueuedConnection);
        return true;
    }
    return Screen::eventFilter(watched, event);
}

void receivefile::Text5_Click()
{
    Dialogs& dialogs = *ctx().dialogs;
    const QString source = Text5->text();
    const QString name = source.mid(source.lastIndexOf(u'/') + 1);

    FileDialogRequest request;
    request.title = QStringLiteral("Save Attachment As");
    request.filters = {{QStringLiteral("All Files"), QStringLiteral("*.*")}};
    request.proposedName = name;
    // Start where the operator keeps attached files, when that folder is set.
    if (const StoreValue<QString> folder = ctx().store.ReadStoreField(QStringLiteral("received.dat"));
        folder.ok() && !folder.value.trimmed().isEmpty() && QFileInfo(folder.value).isDir()) {
        request.initialFolder = folder.value;
    }
    const std::optional<QString> destination = dialogs.saveFileName(request);
    if (!destination || destination->isEmpty()) {
        dialogs.exclamation(QStringLiteral("No destination selected."));
        return;
    }
    if (name.isEmpty()) {
        dialogs.critical(QStringLiteral("Error: Received file not found!"));
        return;
    }
    QByteArray bytes;
    if (FileExists(source)) {
        bytes = SafeFile::ReadWhole(source, ModPMBA::kMaxMailBytes).value();
    }
    if (bytes.isEmpty()) {
        dialogs.critical(QStringLiteral("Error: File is empty or unreadable!"));
        return;
    }
    // The incoming mail may go only once the attachment is safe at its destination.
    const Result<> written = SafeFile::replace(*destination, bytes);
    if (!written.ok()) {
        dialogs.critical(QStringLiteral("Error: The attachment could not be saved: ") + written.error());
        return;
    }

    if (PMBAReceiveMode) {
        const QString original = PMBAOriginalMailPath.trimmed();
        // Saving over the incoming mail itself must not delete what was just saved.
        if (!original.isEmpty() && FileExists(original) && !samePath(original, *destination)) {
            QFile mail(original);
            if (!mail.remove()) {
                dialogs.messageBox({QStringLiteral("Attachment saved successfully, but the original PMBA mail file "
                                                   "could not be removed:\n") +
                                        mail.errorString(),
                                    QStringLiteral("PMBA"), MsgIcon::Exclamation, MsgButtons::Ok, MsgAnswer::Ok});
            }
        }
        if (auto* list = qobject_cast<received*>(registry().loaded(QStringLiteral("received")))) {
            list->refreshFileList();
        }
        PMBAOriginalMailPath.clear();
        PMBAReceiveMode = false;
    }
    dialogs.information(QStringLiteral("File successfully saved to: ") + *destination,
                        QStringLiteral("Attachment Saved"));
    ClearReceiveFields();
}

void receivefile::Command2_Click()
{
    ScreenRegistry& reg = registry();
    reg.Unload(QStringLiteral("inboxform"));
    reg.Unload(QStringLiteral("receivefile"));
    ReturnToMainMenu(reg);
}

} // namespace tolvan
