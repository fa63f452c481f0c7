#include "mail/saveform.h"

#include "mail/MailPost.h"
#include "mail/SavedMail.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"
#include "shell/PickList.h"
#include "shell/frmdecide.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tolvan {

saveform::saveform(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("saveform"))
{
    setWindowTitle(QStringLiteral("Saved Messages"));
    Label1 = make<QLabel>(QStringLiteral("Label1"), QStringLiteral("Received Files"));
    File1 = make<PickList>(QStringLiteral("File1"));
    readmail = make<QPushButton>(QStringLiteral("readmail"), QStringLiteral("Read Received Saved File"));
    cmddelete = make<QPushButton>(QStringLiteral("cmddelete"), QStringLiteral("Delete Message"));
    Label2 = make<QLabel>(QStringLiteral("Label2"), QStringLiteral("Sent Files"));
    File2 = make<PickList>(QStringLiteral("File2"));
    Command1 = make<QPushButton>(QStringLiteral("Command1"), QStringLiteral("Reads Saved Sent File"));
    Command2 = make<QPushButton>(QStringLiteral("Command2"), QStringLiteral("Delete Message"));
    exit = make<QPushButton>(QStringLiteral("exit"), QStringLiteral("Return to MainMenu"));
    Text1 = make<QLineEdit>(QStringLiteral("Text1"));
    Text2 = make<QLineEdit>(QStringLiteral("Text2"));
    for (QLabel* l : {Label1, Label2}) {
        QFont f = l->font();
        f.setPointSize(f.pointSize() + 4);
        f.setBold(true);
        l->setFont(f);
    }

    auto* layout = new QGridLayout(this);
    layout->addWidget(Label1, 0, 0, 1, 2);
    layout->addWidget(File1, 1, 0, 1, 2);
    layout->addWidget(readmail, 2, 0);
    layout->addWidget(cmddelete, 2, 1);
    layout->addWidget(Label2, 0, 2, 1, 2);
    layout->addWidget(File2, 1, 2, 1, 2);
    layout->addWidget(Command1, 2, 2);
    layout->addWidget(Command2, 2, 3);
    layout->addWidget(exit, 3, 0, 1, 4);
    layout->addWidget(Text1, 4, 0, 1, 2);
    layout->addWidget(Text2, 4, 2, 1, 2);
    layout->setContentsMargins(20, 20, 20, 20);
    resize(900, 560);

    // Only the operator's own pick runs these: the delete buttons act on the
    // list's selection, so an entry made current by the focus must not count.
    connect(File1, &PickList::picked, this, &saveform::File1_Click);
    connect(File2, &PickList::picked, this, &saveform::File2_Click);
    connect(readmail, &QPushButton::clicked, this, &saveform::readmail_Click);
    connect(cmddelete, &QPushButton::clicked, this, &saveform::cmddelete_Click);
    connect(Command1, &QPushButton::clicked, this, &saveform::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &saveform::Command2_Click);
    connect(exit, &QPushButton::clicked, this, &saveform::exit_Click);
}

void saveform::fillList(PickList* list, const QString& folder, bool datOnly)
{
    const QSignalBlocker quiet(list); // a refresh is not a click
    list->clear();
    list->addItems(SavedMail::ListFiles(folder, datOnly));
}

void saveform::Form_Load()
{
    Text1->setVisible(false);
    Text2->setVisible(false);

    const Result<QString> save = SavedMail::SaveFolder(ctx().store);
    m_receivedFolder = save.value();
    fillList(File1, m_receivedFolder, false);

    const QString sent = MailPost::SentMailFolder(ctx().store);
    if (QFileInfo::exists(sent)) {
        m_sentFolder = sent;
        fillList(File2, m_sentFolder, true);
    }

    // The reader is loaded only when a mail is opened: loaded earlier it would
    // complain about a hand-over file that is not meant to exist yet.
    removeTitleBar();

    if (!save.ok()) {
        // The sent copies are still listed; only the received list stays empty.
        ctx().dialogs->exclamation(save.error() + QStringLiteral("\nThe saved received mails cannot be listed."),
                                   QStringLiteral("Saved Mail"));
    }
}

void saveform::File1_Click()
{
    QListWidgetItem* item = File1->pickedItem();
    if (!item) {
        return;
    }
    Text1->setText(SavedMail::ReceivedEntryPath(m_receivedFolder, item->text()));
}

void saveform::File2_Click()
{
    QListWidgetItem* item = File2->pickedItem();
    if (!item || item->text().trimmed().isEmpty()) {
        return;
    }
    Text2->setText(SavedMail::SentEntryPath(m_sentFolder, item->text()));
}

void saveform::readmail_Click()
{
    ScreenRegistry& reg = registry();
    if (Text1->text().isEmpty()) {
        ctx().dialogs->exclamation(QStringLiteral(" No file picked Error has been committed"));
        reg.Unload(QStringLiteral("saveform"));
        reg.setControlVisible(QStringLiteral("mainmenu"), QStringLiteral("testprogram"), false);
        reg.Show(QStringLiteral("mainmenu"));
        return;
    }
    if (!ShowFailure(*ctx().dialogs, SavedMail::HandToReader(Text1->text()))) {
        return;
    }
    const QString reader = QStringLiteral("readform");
    reg.Unload(QStringLiteral("saveform"));
    reg.Unload(reader);
    reg.Show(reader);
    reg.setControlVisible(reader, QStringLiteral("Command2"), true);
}

void saveform::Command1_Click()
{
    if (!ShowFailure(*ctx().dialogs, SavedMail::HandToInbox(Text2->text()))) {
        return;
    }
    const QString inbox = QStringLiteral("inboxform");
    if (!screenAvailable(inbox)) {
        return;
    }
    // The browser stays open behind the inbox.
    ScreenRegistry& reg = registry();
    reg.Unload(inbox);
    reg.Load(inbox);
    // A sent copy is no incoming mail, so it is not offered for auto-save.
    reg.setControlVisible(inbox, QStringLiteral("cmdAutoSaveToggle"), false);
    reg.Show(inbox);
}

void saveform::deleteSelected(PickList* list, const QString& folder, QLineEdit* pathBox, bool datOnly)
{
    QListWidgetItem* item = list->pickedItem();
    if (!item) {
        return;
    }
    const bool deleted = SavedMail::DeleteEntry(folder, item->text());
    pathBox->clear();
    if (deleted) {
        ctx().dialogs->information(QStringLiteral("file deleted successfully"));
    }
    fillList(list, folder, datOnly);
}

void saveform::cmddelete_Click()
{
    deleteSelected(File1, m_receivedFolder, Text1, false);
}

void saveform::Command2_Click()
{
    deleteSelected(File2, m_sentFolder, Text2, true);
}

void saveform::exit_Click()
{
    registry().Unload(QStringLiteral("saveform"));
    ReturnToMainMenu(registry());
}

} // namespace tolvan
