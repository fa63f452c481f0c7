#include "shell/mainmenu.h"

#include "shell/AppContext.h"
#include "shell/AutoSaveDisplay.h"
#include "shell/Notify.h"
#include "shell/PacketTerminal.h"
#include "shell/Palette.h"
#include "shell/ScreenRegistry.h"
#include "shell/TextBoxes.h"
#include "shell/frmdecide.h"
#include "terminal/TerminalStatus.h"

#include <QAccessible>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tolvan {

mainmenu::mainmenu(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("mainmenu"))
{
    setWindowTitle(QStringLiteral("Main Menu"));
    lbmainmenu = make<QLabel>(QStringLiteral("lbmainmenu"), QStringLiteral("Main Menu"));
    makeHeading(lbmainmenu, 8);
    Label3 = make<QLabel>(QStringLiteral("Label3"), QStringLiteral("Time Is"));
    Txtclock = make<QLineEdit>(QStringLiteral("Txtclock"), QStringLiteral("Time"));
    Txtdate = make<QLineEdit>(QStringLiteral("Txtdate"), QStringLiteral("Date"));
    for (QLineEdit* e : {Txtclock, Txtdate}) {
        e->setReadOnly(true);
        e->setAlignment(Qt::AlignCenter);
        // Displays only: keyboard focus starts on the first button.
        e->setFocusPolicy(Qt::NoFocus);
    }
    Label1 = make<QLabel>(QStringLiteral("Label1"), QString(""));
    Label2 = make<QLabel>(QStringLiteral("Label2"), QString(""));
    makeHeading(Label1, 6);
    makeHeading(Label2, 6);
    // The notices blink and come and go: their room stays reserved, so that
    // nothing else on the menu moves.
    for (QLabel* notice : {Label1, Label2}) {
        QSizePolicy policy = notice->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        notice->setSizePolicy(policy);
        notice->setMinimumHeight(notice->fontMetrics().height());
    }
    // The long warning wraps instead of widening the window when it appears.
    Label2->setWordWrap(true);
    lblWatchState = make<QLabel>(QStringLiteral("lblWatchState"));
    lblWatchState->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblTerminalState = make<QLabel>(QStringLiteral("lblTerminalState"));
    lblTerminalState->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The line names files and stations from outside: never read as markup.
    lblTerminalState->setTextFormat(Qt::PlainText);
    lblTerminalState->setAccessibleName(QStringLiteral("Terminal state"));
    Timerclock = new QTimer(this);
    Timerclock->setObjectName(QStringLiteral("Timerclock"));
    Timerclock->setInterval(1000);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);

    PACKETMAIL = make<QPushButton>(QStringLiteral("PACKETMAIL"), QStringLiteral("&Packet Mail Form"));
    RECEIVE = make<QPushButton>(QStringLiteral("RECEIVE"), QStringLiteral("&Read Inbox"));
    RETRIEVE = make<QPushButton>(QStringLiteral("RETRIEVE"), QStringLiteral("Retrieve Saved &Message"));
    SEND = make<QPushButton>(QStringLiteral("SEND"), QStringLiteral("Communication Center"));
    SETTINGS = make<QPushButton>(QStringLiteral("SETTINGS"), QStringLiteral("&SETTINGS"));
    testprogram =
        make<QPushButton>(QStringLiteral("testprogram"), QStringLiteral("Mandatory &Test Prior to Running Program"));
    exit = make<QPushButton>(QStringLiteral("exit"), QStringLiteral("E&XIT"));
    checktnc = make<QPushButton>(QStringLiteral("checktnc"), QStringLiteral("Check Running Packet Program"));
    cmdopenstartmenu = make<QPushButton>(QStringLiteral("cmdopenstartmenu"), QStringLiteral("Start Menu"));
    Explorer = make<QPushButton>(QStringLiteral("Explorer"), QStringLiteral("File Manager"));
    chksoundtoggle = make<QCheckBox>(QStringLiteral("chksoundtoggle"), QStringLiteral("sound toggle"));
    cmdsoundtoggle =
        make<QPushButton>(QStringLiteral("cmdsoundtoggle"), QStringLiteral("        Sound On        Sound Off"));
    chkAutoSave = make<QCheckBox>(QStringLiteral("chkAutoSave"), QStringLiteral("autosave"));
    cmdAutoSaveToggle = make<QPushButton>(
        QStringLiteral("cmdAutoSaveToggle"),
        QStringLiteral("        Autosave for            Received File        On or Off"));
    CmdNPRSYSTEM = make<QPushButton>(QStringLiteral("CmdNPRSYSTEM"), QStringLiteral("       Open NPR         System"));
    Text1 = make<QPlainTextEdit>(QStringLiteral("Text1"));
    setBoxText(Text1, QStringLiteral(
                          "This is a test. If you can read this then the test is a pass. Please press Exit .\r\n"));
    Text2 = make<QLineEdit>(QStringLiteral("Text2"), QStringLiteral("SUBJECT:TEST"));
    Text3 = make<QLineEdit>(QStringLiteral("Text3"), QStringLiteral("TO: TEST"));
    Text4 = make<QLineEdit>(QStringLiteral("Text4"), QStringLiteral("From Test"));

    // Layout: title and clock on top, the navigation column on the left, the
    // tools and switches on the right, arrival notices underneath.
    auto* top = new QHBoxLayout;
    top->addWidget(lbmainmenu, 1);
    top->addWidget(Label3);
    top->addWidget(Txtclock);
    top->addWidget(Txtdate, 1);
    auto* grid = new QGridLayout;
    int row = 0;
    for (QPushButton* b : {PACKETMAIL, RECEIVE, RETRIEVE, SEND, SETTINGS, testprogram, exit}) {
        b->setMinimumHeight(38);
        grid->addWidget(b, row++, 0);
    }
    row = 0;
    for (QWidget* w : std::initializer_list<QWidget*>{checktnc, cmdopenstartmenu, Explorer, cmdsoundtoggle,
                                                      chksoundtoggle, cmdAutoSaveToggle, chkAutoSave, CmdNPRSYSTEM}) {
        w->setMinimumHeight(38);
        grid->addWidget(w, row++, 1);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(grid);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    auto* states = new QHBoxLayout;
    states->setSpacing(32);
    states->addWidget(lblWatchState, 1);
    states->addWidget(lblTerminalState, 1);
    layout->addLayout(states);
    layout->addWidget(Text1);
    layout->addWidget(Text2);
    layout->addWidget(Text3);
    layout->addWidget(Text4);
    layout->setContentsMargins(20, 20, 20, 20);
    resize(900, 560);

    connect(Timerclock, &QTimer::timeout, this, &mainmenu::Timerclock_Timer);
    connect(PACKETMAIL, &QPushButton::clicked, this, &mainmenu::PACKETMAIL_Click);
    connect(RECEIVE, &QPushButton::clicked, this, &mainmenu::RECEIVE_Click);
    connect(RETRIEVE, &QPushButton::clicked, this, &mainmenu::RETRIEVE_Click);
    connect(SEND, &QPushButton::clicked, this, &mainmenu::SEND_Click);
    connect(SETTINGS, &QPushButton::clicked, this, &mainmenu::SETTINGS_Click);
    connect(exit, &QPushButton::clicked, this, &mainmenu::exit_Click);
    connect(checktnc, &QPushButton::clicked, this, &mainmenu::checktnc_Click);
    connect(cmdopenstartmenu, &QPushButton::clicked, this, &mainmenu::cmdopenstartmenu_Click);
    connect(Explorer, &QPushButton::clicked, this, &mainmenu::Explorer_Click);
    // A check box's click handler also runs when code changes its value.
    connect(chksoundtoggle, &QCheckBox::toggled, this, &mainmenu::chksoundtoggle_Click);
    connect(cmdsoundtoggle, &QPushButton::clicked, this, &mainmenu::cmdsoundtoggle_Click);
    connect(cmdAutoSaveToggle, &QPushButton::clicked, this, &mainmenu::cmdAutoSaveToggle_Click);
    connect(testprogram, &QPushButton::clicked, this, &mainmenu::testprogram_Click);
    connect(&ctx().receiveWatch, &ReceiveWatch::StateChanged, this, &mainmenu::showWatchState);
}

void mainmenu::showEvent(QShowEvent* event)
{
    Screen::showEvent(event);
    // From the first full menu on, the receive folder is watched whichever
    // screens are opened and closed, until EXIT.
    if (!RECEIVE->isHidden()) {
        ctx().receiveWatch.Begin();
    }
    showWatchState();
}

void mainmenu::showWatchState()
{
    lblWatchState->setText(ctx().receiveWatch.state().text());
}

void mainmenu::Form_Load()
{
    chkAutoSave->setVisible(false);
    Palette::InitColorPalette();
    CmdNPRSYSTEM->setVisible(false);

    removeTitleBar();
    registry().Unload(QStringLiteral("ENTER"));
    registry().Unload(QStringLiteral("inboxform"));
    for (QWidget* t : std::initializer_list<QWidget*>{Text1, Text2, Text3, Text4}) {
        t->setVisible(false);
    }

    ConfigStore& store = ctx().store;
    if (store.StoreFileExists(Notify::kSoundStateFile)) {
        // An empty or unreadable file counts as off. Shown on, the switch's
        // handler makes the desktop's output match: a muted output under
        // "Sound ON" would leave every arrival silent.
        const StoreValue<QString> line = store.ReadStoreLine(Notify::kSoundStateFile);
        showSoundState(line.ok() && Notify::SoundStateLineIsOn(line.value));
    }
    // Shown from the start, so the button says what the switch is.
    UpdateAutoSaveDisplay(registry(), Notify::ReadAutoSaveSetting(store));

    Timerclock->setInterval(1000);
    Timerclock->start();
    Timerclock_Timer();
    showWatchState();
    // An arrival announced while the menu was closed is shown now.
    ShowArrivalNotice();
}

void mainmenu::showSoundState(bool on)
{
    chksoundtoggle->setChecked(on);
    chksoundtoggle->setText(on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    setBackColor(chksoundtoggle, on ? Palette::kOn : Palette::kSoundOff);
    cmdsoundtoggle->setText(on ? QStringLiteral("Sound ON") : QStringLiteral("Sound OFF"));
    setBackColor(cmdsoundtoggle, on ? Palette::kOn : Palette::entry(8));
}

void mainmenu::Timerclock_Timer()
{
    const QDateTime now = ctx().clock->now();
    const QTime t = now.time();
    const QDate d = now.date();
    const QString sep = ctx().locale.timeSeparator();
    auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QChar(u'0')); };
    Txtclock->setText(two(t.hour()) + sep + two(t.minute()) + sep + two(t.second()));
    Txtdate->setText(QStringLiteral("%1, %2 %3, %4")
                         .arg(ctx().locale.dayName(d.dayOfWeek()), ctx().locale.monthName(d.month()))
                         .arg(d.day())
                         .arg(d.year(), 4, 10, QChar(u'0')));
    showTerminalState();
}

void mainmenu::showTerminalState()
{
    // One look at a small file: cheap enough for every tick of the clock.
    lblTerminalState->setText(QStringLiteral("Terminal: ") + TerminalStatus::ReadLine(ctx().store.programFolder()));
}

void mainmenu::PACKETMAIL_Click()
{
    if (!screenAvailable(QStringLiteral("frmdecide"))) {
        return;
    }
    registry().Unload(QStringLiteral("mainmenu"));
    registry().Show(QStringLiteral("frmdecide"));
}

void mainmenu::ShowArrivalNotice()
{
    const ReceiveWatch::Notice& pending = ctx().receiveWatch.pendingNotice;
    if (pending.text.isEmpty()) {
        return;
    }
    Label1->setText(pending.text);
    Label1->setVisible(true);
    Label2->setText(pending.check);
    Label2->setVisible(true);
    // Screen readers announce an alert whichever control has the focus.
    QAccessibleEvent alert(Label1, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void mainmenu::RECEIVE_Click()
{
    ctx().receiveWatch.pendingNotice = {};
    Label1->setText(QString());
    Label2->setText(QString());
    Label1->setVisible(false);
    Label2->setVisible(false);
    if (!screenAvailable(QStringLiteral("received"))) {
        return;
    }
    registry().Show(QStringLiteral("received"));
}

void mainmenu::leaveForFreshScreen(const QString& name)
{
    if (!screenAvailable(name)) {
        return;
    }
    registry().Unload(QStringLiteral("mainmenu"));
    // Unloaded first, so it starts fresh even if one was left loaded; its load
    // step then runs once, and a box it shows is shown once.
    registry().Unload(name);
    registry().Show(name);
}

void mainmenu::RETRIEVE_Click()
{
    leaveForFreshScreen(QStringLiteral("saveform"));
}

void mainmenu::SEND_Click()
{
    const QString name = QStringLiteral("PACKETWINLINK");
    if (!screenAvailable(name)) {
        return;
    }
    registry().Unload(name);
    registry().Show(name);
    setVisible(true);
}

void mainmenu::SETTINGS_Click()
{
    leaveForFreshScreen(QStringLiteral("frsettings"));
}

void mainmenu::backToEntryScreen()
{
    ctx().receiveWatch.End();
    ScreenRegistry& reg = registry();
    for (const char* name : {"received", "mailform", "PACKETWINLINK", "mainmenu"}) {
        reg.Unload(QString::fromLatin1(name));
    }
    reg.setControlVisible(QStringLiteral("ENTER"), QStringLiteral("reenter"), true);
    reg.Show(QStringLiteral("ENTER"));
}

void mainmenu::exit_Click()
{
    backToEntryScreen();
}

void mainmenu::checktnc_Click()
{
    const DesktopResult r = RaisePacketTerminal(*ctx().desktop);
    if (r == DesktopResult::NotAvailable) {
        ctx().dialogs->exclamation(
            QStringLiteral("Check Running Packet Program is not available: there is no X display to search."),
            kTerminalBoxTitle);
    } else if (r != DesktopResult::Done) {
        ctx().dialogs->exclamation(kTerminalNotFoundText, kTerminalBoxTitle);
    }
}

void mainmenu::cmdopenstartmenu_Click()
{
    // The desktop's application menu opens on a bare Super press.
    const DesktopResult r = ctx().desktop->pressKey(DesktopKey::Super);
    if (r == DesktopResult::NotAvailable) {
        ctx().dialogs->exclamation(QStringLiteral("Unable to open Start Menu: there is no desktop to open it on. "
                                                  "Open your desktop's application menu with the Super key."));
    } else if (r != DesktopResult::Done) {
        ctx().dialogs->exclamation(QStringLiteral("Unable to open Start Menu: ") + describe(r));
    }
}

void mainmenu::Explorer_Click()
{
    // The station folder: where this station's settings, sent copies and
    // received attachments are.
    const QString folder = ctx().store.programFolder();
    const QString problem = QStringLiteral("Unable to open the file manager on %1: ").arg(folder);
    // The opener may fail after this screen has gone; the box then still comes.
    Dialogs* dialogs = &*ctx().dialogs;
    const DesktopResult r = ctx().desktop->openFileManager(
        folder, [dialogs, problem](const QString& why) { dialogs->exclamation(problem + why); });
    if (r != DesktopResult::Done) {
        dialogs->exclamation(problem + describe(r));
    }
}

void mainmenu::chksoundtoggle_Click()
{
    // The output is set to the state shown, not flipped: a flip turns a
    // desktop that was already silent (or already sounding) the wrong way.
    const bool on = chksoundtoggle->isChecked();
    ctx().desktop->setMute(!on);
    Notify::SaveSoundSetting(ctx().store, on);
    Notify::SpeakText(*ctx().speaker, on ? QStringLiteral("Sound on") : QStringLiteral("Sound off"));
}

void mainmenu::cmdsoundtoggle_Click()
{
    if (!ctx().dialogs->askYesNo(QStringLiteral("This will cause you to have to Reset by re-entering the main menu. "
                                                "Click Re-enter on Enter form. Do you want to continue?"),
                                 QStringLiteral("Confirm Reset"))) {
        return;
    }
    const bool on = !chksoundtoggle->isChecked();
    showSoundState(on);
    const StoreStatus written =
        ctx().store.WriteStoreLine(Notify::kSoundStateFile, on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    if (!written.ok()) {
        ctx().dialogs->exclamation(QStringLiteral("Error in cmdSoundToggle_Click: ") + written.message);
        return;
    }
    backToEntryScreen();
}

void mainmenu::cmdAutoSaveToggle_Click()
{
    const bool on = !chkAutoSave->isChecked();
    UpdateAutoSaveDisplay(registry(), on);
    Notify::SaveAutoSaveSetting(ctx().store, on);
}

void mainmenu::testprogram_Click()
{
    ScreenRegistry& reg = registry();
    reg.Unload(QStringLiteral("received"));
    reg.Unload(QStringLiteral("inboxform"));
    testprogram->setVisible(false);

    const MailCodec::MailFields mail{Text3->text(), Text2->text(), boxText(Text1), Text4->text()};
    const Result<QString> written = Notify::WriteSelfTestMail(ctx().store, ctx().clock->now(), mail);
    if (!written.ok()) {
        // The operator can set the folder up and run the test again.
        testprogram->setVisible(true);
        ctx().dialogs->critical(QStringLiteral("The test mail could not be written.\n\n") + written.error(),
                                QStringLiteral("Mandatory Test"));
        return;
    }

    const QString inbox = QStringLiteral("inboxform");
    reg.Unload(inbox);
    for (const char* hidden : {"Command1", "Command3", "cmdAutoSaveToggle"}) {
        reg.setControlVisible(inbox, QString::fromLatin1(hidden), false);
    }

    if (!reg.isAvailable(QStringLiteral("received"))) {
        ctx().dialogs->information(
            QStringLiteral("The test mail was written to \"%1\".\nThe received screen is not available yet in this "
                           "version.")
                .arg(written.value()));
        reg.Unload(QStringLiteral("mainmenu"));
        ReturnToMainMenu(reg);
        return;
    }
    reg.Unload(QStringLiteral("mainmenu"));
    reg.Show(QStringLiteral("received"));
}

} // namespace tolvan
