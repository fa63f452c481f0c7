#include "programs/PACKETWINLINK.h"

#include "programs/PacketProgram.h"
#include "programs/ProgramStatus.h"
#include "programs/SendFolder.h"
#include "monitor/fileoperation.h"
#include "shell/AppContext.h"
#include "shell/PacketTerminal.h"
#include "shell/Palette.h"
#include "shell/PickList.h"
#include "shell/ScreenRegistry.h"
#include "shell/frmdecide.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tolvan {

namespace {

const QColor kStartColor(0xFF, 0xFF, 0x00);
const QColor kResetColor(0xC0, 0xFF, 0xC0);
const QColor kWindowColor(0x00, 0xFF, 0x00);
const QColor kAltTabColor(0xFF, 0xC0, 0xC0);
const QColor kReturnColor(0xFF, 0x00, 0x00);
const QColor kDeleteOneColor(0xFF, 0xFF, 0x00);
const QColor kDeleteAllColor(0xFF, 0x80, 0x00);

QLabel* heading(QLabel* label, int larger)
{
    QFont f = label->font();
    f.setPointSize(f.pointSize() + larger);
    f.setBold(true);
    label->setFont(f);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

PACKETWINLINK::PACKETWINLINK(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("PACKETWINLINK"))
{
    setWindowTitle(QStringLiteral("PACKETWINLINK"));
    Label2 = heading(make<QLabel>(QStringLiteral("Label2"), QStringLiteral("Communication Center")), 10);
    Label4 = heading(make<QLabel>(QStringLiteral("Label4"), QStringLiteral("Modem Center")), 4);
    Label1 = heading(make<QLabel>(QStringLiteral("Label1"), QStringLiteral("Message to be Sent")), 2);
    Label3 = make<QLabel>(QStringLiteral("Label3"),
                          QStringLiteral("Use Alt/Tab button to look at other programs that are running Use Arrow "
                                         "keys to move to your program ."));
    Label5 = make<QLabel>(QStringLiteral("Label5"),
                          QStringLiteral("       Use the ALT Key on Keyboard to make your selection.        Do not "
                                         "use Enter Key "));
    for (QLabel* l : {Label3, Label5}) {
        l->setWordWrap(true);
    }

    // Created in the order the Tab key visits them. The start buttons of the
    // station's own setups carry its call sign.
    Command1 = make<QPushButton>(QStringLiteral("Command1"), QStringLiteral("K&G5CALL WINTNC"));
    Command3 = make<QPushButton>(QStringLiteral("Command3"), QStringLiteral("&Reset WINTNC"));
    Command4 = make<QPushButton>(QStringLiteral("Command4"), QStringLiteral("KG5CALL So&undmodem"));
    Command8 = make<QPushButton>(QStringLiteral("Command8"), QStringLiteral("Reset  &Soundmodem"));
    Command2 = make<QPushButton>(QStringLiteral("Command2"), QStringLiteral("KG&5CALL WINLINK"));
    Command9 = make<QPushButton>(QStringLiteral("Command9"), QStringLiteral("Reset WIN&LINK"));
    Command11 = make<QPushButton>(QStringLiteral("Command11"), QStringLiteral("KG5CALL Dire&wolf"));
    Command12 = make<QPushButton>(QStringLiteral("Command12"), QStringLiteral("Reset &Direwolf"));
    serialswitch = make<QPushButton>(QStringLiteral("serialswitch"), QStringLiteral("E&terlogic Serial Splitter"));
    resetsplitter = make<QPushButton>(QStringLiteral("resetsplitter"), QStringLiteral("Reset Splitter"));
    Command14 = make<QPushButton>(QStringLiteral("Command14"), QStringLiteral("KG5CALL VARAC"));
    Command15 = make<QPushButton>(QStringLiteral("Command15"), QStringLiteral("Reset &VARAC"));
    Command19 = make<QPushButton>(QStringLiteral("Command19"), QStringLiteral(" TOLVAN Terminal"));
    Command20 = make<QPushButton>(QStringLiteral("Command20"), QStringLiteral("Reset Terminal"));
    Command16 = make<QPushButton>(QStringLiteral("Command16"), QStringLiteral("NPR Modem"));
    Command17 = make<QPushButton>(QStringLiteral("Command17"), QStringLiteral("Reset NPR"));
    Command13 = make<QPushButton>(QStringLiteral("Command13"), QStringLiteral("Open Packet Program to Send Message"));
    Command18 = make<QPushButton>(QStringLiteral("Command18"),
                                  QStringLiteral("     Open NPR     Send Message via NPR System"));
    Command10 = make<QPushButton>(QStringLiteral("Command10"), QStringLiteral("&ALT/TAB"));
    // Delete acts on the operator's pick only, never on a row the focus made current.
    File1 = make<PickList>(QStringLiteral("File1"));
    Command6 = make<QPushButton>(QStringLiteral("Command6"), QStringLiteral("Delete a &File"));
    Command7 = make<QPushButton>(QStringLiteral("Command7"), QStringLiteral("&Delete All"));
    Command5 = make<QPushButton>(QStringLiteral("Command5"), QStringLiteral("Return to &Main Menu"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    TimerStatus = new QTimer(this);
    TimerStatus->setObjectName(QStringLiteral("TimerStatus"));
    TimerStatus->setInterval(2000);

    const QList<QPair<QPushButton*, QPushButton*>> programRows = {
        {Command1, Command3},       {Command4, Command8},   {Command2, Command9},   {Command11, Command12},
        {serialswitch, resetsplitter}, {Command14, Command15}, {Command19, Command20}, {Command16, Command17}};
    for (const auto& [start, reset] : programRows) {
        setBackColor(start, kStartColor);
        setBackColor(reset, kResetColor);
    }
    setBackColor(Command13, kWindowColor);
    setBackColor(Command18, kWindowColor);
    setBackColor(Command10, kAltTabColor);
    setBackColor(Command5, kReturnColor);
    setBackColor(Command6, kDeleteOneColor);
    setBackColor(Command7, kDeleteAllColor);

    // Programs on the left, one row each; the terminal, the task switcher and
    // the outgoing list on the right.
    auto* programs = new QGridLayout;
    programs->addWidget(Label4, 0, 0, 1, 3);
    int row = 1;
    for (const auto& [start, reset] : programRows) {
        start->setMinimumHeight(34);
        reset->setMinimumHeight(34);
        programs->addWidget(start, row, 0);
        programs->addWidget(reset, row, 1);
        auto* status = make<QLabel>(QStringLiteral("lblStatus") + start->objectName(), QString());
        // Dark text on the screen's light face; the mark and the word carry the state.
        status->setStyleSheet(QStringLiteral("QLabel { color: #000000; }"));
        status->setMinimumWidth(status->fontMetrics().horizontalAdvance(ProgramStatusText(false)) + 8);
        programs->addWidget(status, row, 2);
        m_statusLabels << status;
        ++row;
    }
    programs->setRowStretch(row, 1);

    auto* right = new QVBoxLayout;
    for (QPushButton* b : {Command13, Command18, Command10}) {
        b->setMinimumHeight(40);
        right->addWidget(b);
    }
    right->addWidget(Label3);
    right->addWidget(Label1);
    right->addWidget(File1, 1);
    auto* deletes = new QHBoxLayout;
    deletes->addWidget(Command6);
    deletes->addWidget(Command7);
    right->addLayout(deletes);
    Command5->setMinimumHeight(40);
    right->addWidget(Command5);

    auto* columns = new QHBoxLayout;
    columns->addLayout(programs, 3);
    columns->addLayout(right, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label2);
    layout->addLayout(columns, 1);
    layout->addWidget(Label5);
    layout->setContentsMargins(20, 16, 20, 16);
    resize(900, 600);

    const QList<QWidget*> tabOrder = {Command1,  Command3,  Command4,     Command8,      Command2,  Command9,
                                      Command11, Command12, serialswitch, resetsplitter, Command14, Command15,
                                      Command19, Command20, Command16,    Command17,     Command13, Command18,
                                      Command10, File1,     Command6,     Command7,      Command5};
    for (qsizetype i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    connect(Command1, &QPushButton::clicked, this, &PACKETWINLINK::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &PACKETWINLINK::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &PACKETWINLINK::Command4_Click);
    connect(Command8, &QPushButton::clicked, this, &PACKETWINLINK::Command8_Click);
    connect(Command2, &QPushButton::clicked, this, &PACKETWINLINK::Command2_Click);
    connect(Command9, &QPushButton::clicked, this, &PACKETWINLINK::Command9_Click);
    connect(Command11, &QPushButton::clicked, this, &PACKETWINLINK::Command11_Click);
    connect(Command12, &QPushButton::clicked, this, &PACKETWINLINK::Command12_Click);
    connect(serialswitch, &QPushButton::clicked, this, &PACKETWINLINK::serialswitch_Click);
    connect(resetsplitter, &QPushButton::clicked, this, &PACKETWINLINK::resetsplitter_Click);
    connect(Command16, &QPushButton::clicked, this, &PACKETWINLINK::Command16_Click);
    connect(Command17, &QPushButton::clicked, this, &PACKETWINLINK::Command17_Click);
    connect(Command14, &QPushButton::clicked, this, &PACKETWINLINK::Command14_Click);
    connect(Command15, &QPushButton::clicked, this, &PACKETWINLINK::Command15_Click);
    connect(Command19, &QPushButton::clicked, this, &PACKETWINLINK::Command19_Click);
    connect(Command20, &QPushButton::clicked, this, &PACKETWINLINK::Command20_Click);
    connect(Command13, &QPushButton::clicked, this, &PACKETWINLINK::Command13_Click);
    connect(Command18, &QPushButton::clicked, this, &PACKETWINLINK::Command18_Click);
    connect(Command10, &QPushButton::clicked, this, &PACKETWINLINK::Command10_Click);
    connect(Command6, &QPushButton::clicked, this, &PACKETWINLINK::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &PACKETWINLINK::Command7_Click);
    connect(Command5, &QPushButton::clicked, this, &PACKETWINLINK::Command5_Click);
    connect(TimerStatus, &QTimer::timeout, this, &PACKETWINLINK::TimerStatus_Timer);
}

void PACKETWINLINK::showEvent(QShowEvent* event)
{
    Screen::showEvent(event);
    TimerStatus_Timer();
    TimerStatus->start();
}

void PACKETWINLINK::hideEvent(QHideEvent* event)
{
    TimerStatus->stop();
    Screen::hideEvent(event);
}

void PACKETWINLINK::TimerStatus_Timer()
{
    for (const ProgramStatus& status : ScanProgramStatus(ctx().store, *ctx().processes)) {
        QLabel* label = findChild<QLabel*>(QStringLiteral("lblStatus") + status.startButton);
        if (!label) {
            continue;
        }
        label->setText(ProgramStatusText(status.running));
        label->setVisible(!control<QPushButton>(status.startButton)->isHidden());
    }
}

void PACKETWINLINK::Form_Load()
{
    Command16->setVisible(false);
    Command17->setVisible(false);
    Command18->setVisible(false);
    Command19->setVisible(true);
    Command20->setVisible(true);

    QStringList unreadable;
    for (const PacketProgram& p : PacketPrograms()) {
        const Result<bool> enabled = ReadButtonState(p, ctx().store);
        control<QPushButton>(p.startButton)->setEnabled(enabled.value());
        if (!enabled.ok()) {
            unreadable << enabled.error();
        }
    }

    m_listFolder = SendFolder::ListedFolder(ctx().store);
    refreshList();

    removeTitleBar();

    if (!unreadable.isEmpty()) {
        // The screen stays usable: those start buttons are simply left armed.
        ctx().dialogs->exclamation(QStringLiteral("Error: a start button's state could not be read; the button is "
                                                  "left enabled.\n")
                                   + unreadable.join(u'\n'));
    }
}

QStringList PACKETWINLINK::listedFiles() const
{
    QStringList names;
    for (int i = 0; i < File1->count(); ++i) {
        names << File1->item(i)->text();
    }
    return names;
}

void PACKETWINLINK::refreshList()
{
    File1->clear();
    File1->addItems(fileoperation::ListedFiles(m_listFolder));
}

void PACKETWINLINK::apply(const PacketProgram& program, const ProgramOutcome& outcome)
{
    for (const MessageBoxRequest& box : outcome.boxes) {
        ctx().dialogs->messageBox(box);
    }
    if (outcome.startEnabled) {
        control<QPushButton>(program.startButton)->setEnabled(*outcome.startEnabled);
    }
}

void PACKETWINLINK::startProgram(const QString& startButton)
{
    const PacketProgram* p = PacketProgramOfButton(startButton);
    // The outcome of a start comes a few seconds later, once it is clear the
    // program keeps running; the screen may be closed by then, the boxes are
    // shown all the same.
    AppContext& context = ctx();
    QPointer<PACKETWINLINK> self(this);
    const auto report = [&context, self](const ProgramOutcome& later) {
        for (const MessageBoxRequest& box : later.boxes) {
            context.dialogs->messageBox(box);
        }
        if (self) {
            self->TimerStatus_Timer();
        }
    };
    apply(*p, StartPacketProgram(*p, context.store, *context.processes, *context.speaker, report));
}

void PACKETWINLINK::resetProgram(const QString& resetButton)
{
    const PacketProgram* p = PacketProgramOfButton(resetButton);
    const bool confirmed = ctx().dialogs->messageBox(ResetQuestion(*p)) == MsgAnswer::Yes;
    apply(*p, ResetPacketProgram(*p, confirmed, ctx().store, *ctx().speaker));
}

void PACKETWINLINK::Command1_Click() { startProgram(QStringLiteral("Command1")); }
void PACKETWINLINK::Command3_Click() { resetProgram(QStringLiteral("Command3")); }
void PACKETWINLINK::Command4_Click() { startProgram(QStringLiteral("Command4")); }
void PACKETWINLINK::Command8_Click() { resetProgram(QStringLiteral("Command8")); }
void PACKETWINLINK::Command2_Click() { startProgram(QStringLiteral("Command2")); }
void PACKETWINLINK::Command9_Click() { resetProgram(QStringLiteral("Command9")); }
void PACKETWINLINK::Command11_Click() { startProgram(QStringLiteral("Command11")); }
void PACKETWINLINK::Command12_Click() { resetProgram(QStringLiteral("Command12")); }
void PACKETWINLINK::serialswitch_Click() { startProgram(QStringLiteral("serialswitch")); }
void PACKETWINLINK::resetsplitter_Click() { resetProgram(QStringLiteral("resetsplitter")); }
void PACKETWINLINK::Command16_Click() { startProgram(QStringLiteral("Command16")); }
void PACKETWINLINK::Command17_Click() { resetProgram(QStringLiteral("Command17")); }
void PACKETWINLINK::Command14_Click() { startProgram(QStringLiteral("Command14")); }
void PACKETWINLINK::Command15_Click() { resetProgram(QStringLiteral("Command15")); }
void PACKETWINLINK::Command19_Click() { startProgram(QStringLiteral("Command19")); }
void PACKETWINLINK::Command20_Click() { resetProgram(QStringLiteral("Command20")); }

void PACKETWINLINK::Command13_Click()
{
    const DesktopResult r = RaisePacketTerminal(*ctx().desktop);
    if (r == DesktopResult::NotAvailable) {
        ctx().dialogs->exclamation(
            QStringLiteral("Open Packet Program is not available: there is no X display to search."),
            kTerminalBoxTitle);
    } else if (r != DesktopResult::Done) {
        ctx().dialogs->exclamation(kTerminalNotFoundText, kTerminalBoxTitle);
    }
}

void PACKETWINLINK::Command18_Click()
{
    const DesktopResult r = ctx().desktop->raiseWindow(QStringLiteral("telnet server"), WindowShow::Restored);
    if (r != DesktopResult::Done) {
        ctx().dialogs->exclamation(QStringLiteral("TOLVAN Telnet Server window not found."));
    }
}

void PACKETWINLINK::Command10_Click()
{
    const DesktopResult r = ctx().desktop->pressKey(DesktopKey::AltTab);
    if (r != DesktopResult::Done) {
        ctx().dialogs->exclamation(QStringLiteral("Unable to open the task switcher: ") + describe(r));
    }
}

void PACKETWINLINK::Command6_Click()
{
    const QString name = File1->pickedText();
    const SendFolder::DeleteOutcome o = SendFolder::DeleteSelectedFile(m_listFolder, name);
    for (const MessageBoxRequest& box : o.boxes) {
        ctx().dialogs->messageBox(box);
    }
    if (o.refresh) {
        refreshList();
    }
}

void PACKETWINLINK::Command7_Click()
{
    const Result<SendFolder::DeleteAllPlan> plan = SendFolder::PlanDeleteAll(ctx().store);
    if (!ShowFailure(*ctx().dialogs, plan)) {
        return;
    }
    if (plan->question && ctx().dialogs->messageBox(*plan->question) != MsgAnswer::Yes) {
        return; // nothing deleted, the list stays as it is
    }
    for (const MessageBoxRequest& box : SendFolder::DeleteAllFiles(plan->folder, plan->names).boxes) {
        ctx().dialogs->messageBox(box);
    }
    // A fresh screen re-reads the list and the button states.
    const QString name = screenName();
    ScreenRegistry& reg = registry();
    reg.Unload(name);
    reg.Show(name);
}

void PACKETWINLINK::Command5_Click()
{
    ScreenRegistry& reg = registry();
    reg.Unload(screenName());
    ReturnToMainMenu(reg);
}

} // namespace tolvan
