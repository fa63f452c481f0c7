#include "shell/ENTER.h"

#include "config/StationFolder.h"
#include "shell/AppContext.h"
#include "shell/MainMenuForms.h"
#include "shell/Notify.h"
#include "shell/ScreenRegistry.h"
#include "terminal/DirewolfConf.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvan {

namespace {

// A small drawing of a mast and its waves; the entry screen's picture.
QPixmap stationPicture()
{
    QPixmap pix(220, 160);
    pix.fill(QColor(24, 40, 72));
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(220, 220, 220), 3));
    p.drawLine(110, 150, 110, 75);
    p.drawLine(110, 95, 85, 150);
    p.drawLine(110, 95, 135, 150);
    p.setPen(QPen(QColor(120, 200, 255), 2));
    for (int r = 18; r <= 54; r += 18) {
        p.drawArc(QRectF(110 - r, 75 - r, 2 * r, 2 * r), 30 * 16, 120 * 16);
    }
    return pix;
}

} // namespace

ENTER::ENTER(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("ENTER"))
{
    setWindowTitle(QStringLiteral("TOLVAN PACKET MESSAGING PROGRAM"));
    Label1 = make<QLabel>(QStringLiteral("Label1"), QStringLiteral("TOLVAN PACKET MESSAGING PROGRAM"));
    QFont f(QStringLiteral("MS UI Gothic"), 18, QFont::Bold);
    Label1->setFont(f);
    Label1->setAlignment(Qt::AlignCenter);
    Image1 = make<QLabel>(QStringLiteral("Image1"));
    Image1->setPixmap(stationPicture());
    Image1->setAlignment(Qt::AlignCenter);
    Command1 = make<QPushButton>(QStringLiteral("Command1"), QStringLiteral("&SETUP"));
    Command2 = make<QPushButton>(QStringLiteral("Command2"), QStringLiteral("&QUIT"));
    Command3 = make<QPushButton>(QStringLiteral("Command3"), QStringLiteral("&ENTER"));
    reenter = make<QPushButton>(QStringLiteral("reenter"), QStringLiteral("&RE-ENTER"));
    lblStation = make<QLabel>(QStringLiteral("lblStation"));
    lblStation->setAlignment(Qt::AlignCenter);
    lblFirstRun = make<QLabel>(QStringLiteral("lblFirstRun"),
                               QStringLiteral("First start: press SETUP to set up the mail folders."));
    lblFirstRun->setAlignment(Qt::AlignCenter);
    lblFirstRun->setWordWrap(true);
    QFont notice = lblFirstRun->font();
    notice.setBold(true);
    lblFirstRun->setFont(notice);

    auto* buttons = new QGridLayout;
    buttons->addWidget(Command1, 0, 0);
    buttons->addWidget(Command3, 0, 1);
    buttons->addWidget(reenter, 1, 0);
    buttons->addWidget(Command2, 1, 1);
    for (QPushButton* b : {Command1, Command2, Command3, reenter}) {
        b->setMinimumHeight(40);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Image1);
    layout->addWidget(lblStation);
    layout->addWidget(lblFirstRun);
    layout->addLayout(buttons);
    layout->setContentsMargins(24, 24, 24, 24);
    resize(520, 420);

    connect(Command1, &QPushButton::clicked, this, &ENTER::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &ENTER::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &ENTER::Command3_Click);
    connect(reenter, &QPushButton::clicked, this, &ENTER::reenter_Click);
}

void ENTER::Form_Load()
{
    removeTitleBar();
    // Two stations side by side are told apart by their folders' names.
    const QString folder = ctx().store.programFolder();
    const QString name = StationFolder::DisplayName(folder);
    lblStation->setText(QStringLiteral("Station folder: %1").arg(name));
    lblStation->setToolTip(folder);
    setWindowTitle(QStringLiteral("TOLVAN PACKET MESSAGING PROGRAM - %1").arg(name));
    // Only whether the files exist is looked at: nothing is read at start.
    const ConfigStore& store = ctx().store;
    const bool noFolders = !store.StoreFileExists(QStringLiteral("receive.dat")) &&
                           !store.StoreFileExists(QStringLiteral("send.dat")) &&
                           !store.StoreFileExists(QStringLiteral("save.dat"));
    // With the folders in place, the terminal and Direwolf still need the
    // station's call sign: the one thing the standard set-up cannot guess.
    const bool noCall = !noFolders && !DirewolfConf::CallSignStored(store);
    lblFirstRun->setText(noFolders ? QStringLiteral("First start: press SETUP to set up the mail folders.")
                                   : QStringLiteral("One thing is still missing: the station's call sign. Press "
                                                    "ENTER, then SETTINGS, and type it in \"Station call sign\"."));
    lblFirstRun->setVisible(noFolders || noCall);
    reenter->setVisible(false);
    registry().Unload(QStringLiteral("inboxform"));
    registry().Unload(QStringLiteral("mainmenu"));
}

void ENTER::Command1_Click()
{
    if (!screenAvailable(QStringLiteral("DIRCHANGE"))) {
        return;
    }
    registry().Unload(QStringLiteral("ENTER"));
    registry().Show(QStringLiteral("DIRCHANGE"));
}

void ENTER::Command2_Click()
{
    Notify::AnnounceIfEnabled(ctx().store, *ctx().speaker, QStringLiteral("Goodbye"));
    registry().End();
}

void ENTER::Command3_Click()
{
    Notify::AnnounceIfEnabled(ctx().store, *ctx().speaker, QStringLiteral("Welcome"));
    ScreenRegistry& reg = registry();
    reg.Unload(QStringLiteral("ENTER"));
    reg.Unload(QStringLiteral("inboxform"));
    ShowRestrictedMainMenu(reg);
}

void ENTER::reenter_Click()
{
    ScreenRegistry& reg = registry();
    reg.Unload(QStringLiteral("ENTER"));
    reg.Unload(QStringLiteral("receivefile"));
    reg.Unload(QStringLiteral("sendfile"));
    const QString menu = QStringLiteral("mainmenu");
    for (const char* hidden : {"chksoundtoggle", "testprogram", "chkAutoSave"}) {
        reg.setControlVisible(menu, QString::fromLatin1(hidden), false);
    }
    reg.Show(menu);
    // Loading the received screen starts the watch on the receive folder.
    reg.Load(QStringLiteral("received"));
}

} // namespace tolvan
