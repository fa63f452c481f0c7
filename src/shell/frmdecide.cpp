#include "shell/frmdecide.h"

#include "shell/ScreenRegistry.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvan {

void ReturnToMainMenu(ScreenRegistry& registry)
{
    const QString menu = QStringLiteral("mainmenu");
    registry.setControlVisible(menu, QStringLiteral("testprogram"), false);
    registry.setControlVisible(menu, QStringLiteral("chksoundtoggle"), false);
    registry.Show(menu);
}

frmdecide::frmdecide(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("frmdecide"))
{
    setWindowTitle(QStringLiteral("Send Packet Mail"));
    Label1 = make<QLabel>(QStringLiteral("Label1"),
                          QStringLiteral("Send a Regular Packet Mail or a Packet Mail with an Attachment"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignCenter);
    makeHeading(Label1, 4);
    Cmdmail = make<QPushButton>(QStringLiteral("Cmdmail"), QStringLiteral("&Send Packet Mail  No Attachment"));
    Cmdfile = make<QPushButton>(QStringLiteral("Cmdfile"), QStringLiteral("Send Packet Mail with  &Attached File"));
    Cmd7Plus = make<QPushButton>(QStringLiteral("Cmd7Plus"), QStringLiteral("Send or Receive a File in &7PLUS Parts"));
    Cmdreturnmain = make<QPushButton>(QStringLiteral("Cmdreturnmain"), QStringLiteral("Return to Main Menu"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    for (QPushButton* b : {Cmdmail, Cmdfile, Cmd7Plus, Cmdreturnmain}) {
        b->setMinimumHeight(44);
        layout->addWidget(b);
    }
    layout->setContentsMargins(24, 24, 24, 24);
    resize(460, 320);

    connect(Cmdmail, &QPushButton::clicked, this, &frmdecide::Cmdmail_Click);
    connect(Cmdfile, &QPushButton::clicked, this, &frmdecide::Cmdfile_Click);
    connect(Cmd7Plus, &QPushButton::clicked, this, &frmdecide::Show7PlusScreen);
    connect(Cmdreturnmain, &QPushButton::clicked, this, &frmdecide::Cmdreturnmain_Click);
}

void frmdecide::Form_Load()
{
    removeTitleBar();
}

void frmdecide::Cmdmail_Click()
{
    if (!screenAvailable(QStringLiteral("mailform"))) {
        return;
    }
    registry().Unload(QStringLiteral("frmdecide"));
    registry().Show(QStringLiteral("mailform"));
}

void frmdecide::Cmdfile_Click()
{
    if (!screenAvailable(QStringLiteral("sendfile"))) {
        return;
    }
    registry().Unload(QStringLiteral("frmdecide"));
    registry().Show(QStringLiteral("sendfile"));
}

void frmdecide::Show7PlusScreen()
{
    if (!screenAvailable(QStringLiteral("frm7Plus"))) {
        return;
    }
    registry().Show(QStringLiteral("frm7Plus"));
}

void frmdecide::Cmdreturnmain_Click()
{
    registry().Unload(QStringLiteral("frmdecide"));
    ReturnToMainMenu(registry());
}

} // namespace tolvan
