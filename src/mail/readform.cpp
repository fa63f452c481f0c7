#include "mail/readform.h"

#include "mail/MailFiles.h"
#include "mail/MailPost.h"
#include "mail/SavedMail.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"
#include "shell/TextBoxes.h"
#include "shell/frmdecide.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvan {

readform::readform(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("readform"))
{
    setWindowTitle(QStringLiteral("Packet Mail Form"));
    MakeMailBoxes(this,
                  {QStringLiteral("TO:"), QStringLiteral("From:"), QStringLiteral("Subject:"),
                   QStringLiteral("Your Message:")},
                  {Label1, Text3, Text4, Text2, Text1});
    Command2 = make<QPushButton>(QStringLiteral("Command2"), QStringLiteral("EXIT"));
    Command2->setMinimumHeight(38);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(MailBoxGrid(Text3, Text4, Text2));
    layout->addWidget(Text1, 1);
    layout->addWidget(Command2);
    layout->setContentsMargins(20, 20, 20, 20);
    resize(720, 520);

    setTabOrder(Text1, Command2);

    connect(Command2, &QPushButton::clicked, this, &readform::Command2_Click);
}

void readform::placeCarets()
{
    Text3->end(false);
    Text2->end(false);
    Text1->moveCursor(QTextCursor::End);
    Text4->end(false);
}

void readform::Form_Load()
{
    Command2->setVisible(true);
    placeCarets();
    removeTitleBar();

    const QString path = MailPost::HandOverPath(MailPost::kReaderHandOver);
    if (!QFileInfo::exists(path)) {
        ctx().dialogs->exclamation(QStringLiteral("File 'temp' not found"));
        return;
    }
    const Result<QString> read = MailFiles::ReadWholeFile(path);
    if (!read.ok()) {
        ctx().dialogs->critical(QStringLiteral("Error loading file: ") + read.error());
        return;
    }
    // The line ends that close the saved line would only show as blanks in a one-line box.
    auto oneLine = [](QString text) {
        while (text.endsWith(u'\r') || text.endsWith(u'\n')) {
            text.chop(1);
        }
        return text;
    };
    const SavedMail::ReaderFields f = SavedMail::SplitForReader(read.value());
    if (f.to) {
        Text3->setText(oneLine(*f.to));
    }
    if (f.subject) {
        Text2->setText(oneLine(*f.subject));
    }
    if (f.message) {
        setBoxText(Text1, *f.message);
    }
    if (f.from) {
        Text4->setText(oneLine(*f.from));
    }
}

void readform::Command2_Click()
{
    Text3->setText(QStringLiteral("To: "));
    Text2->setText(QStringLiteral("Subject: "));
    setBoxText(Text1, QStringLiteral("Your Message: "));
    Text4->setText(QStringLiteral("From"));
    placeCarets();
    // Best effort: a hand-over left full only shows its mail again in the inbox.
    (void)MailPost::EmptyHandOver(MailPost::kMailHandOver);
    ScreenRegistry& reg = registry();
    reg.Unload(QStringLiteral("inboxform"));
    reg.Unload(QStringLiteral("readform"));
    ReturnToMainMenu(reg);
}

} // namespace tolvan
