#include "shell/frsettings.h"

#include "pmba/SendEstimateView.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"
#include "shell/frmdecide.h"
#include "terminal/DirewolfConf.h"
#include "terminal/TerminalSettings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tolvan {

frsettings::frsettings(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("frsettings"))
{
    setWindowTitle(QStringLiteral("Settings"));
    Label4 = make<QLabel>(
        QStringLiteral("Label4"),
        QStringLiteral("Showing the saved locations for files. If any are wrong click on Setup and Change location"));
    Label4->setWordWrap(true);
    QFont bold = Label4->font();
    bold.setBold(true);
    Label4->setFont(bold);

    auto field = [this](QLabel*& label, const char* labelName, const char* caption, QLineEdit*& box,
                        const char* boxName) {
        label = make<QLabel>(QString::fromLatin1(labelName), QString::fromLatin1(caption));
        box = make<QLineEdit>(QString::fromLatin1(boxName), QString(""));
        // The screen only shows the store; changes are made on the directory screen.
        box->setReadOnly(true);
        // Tab moves between the two buttons; a click still lets a path be copied.
        box->setFocusPolicy(Qt::ClickFocus);
        label->setBuddy(box);
    };
    field(Label1, "Label1", "Save File", Text1, "Text1");
    field(Label2, "Label2", "Send File", Text2, "Text2");
    field(Label3, "Label3", "Receive File", Text3, "Text3");
    field(Label5, "Label5", "WINTNC", Text4, "Text4");
    field(Label6, "Label6", "WINLINK", Text5, "Text5");
    field(Label7, "Label7", "Serial  Port Splitter", Text6, "Text6");
    field(Label8, "Label8", "Attachment File", Text7, "Text7");
    field(Label9, "Label9", "Soundmodem", Text8, "Text8");
    field(Label10, "Label10", "Direwolf", Text9, "Text9");
    field(Label12, "Label12", "VARAC", Text11, "Text11");
    field(Label14, "Label14", "TOLVAN Terminal", Text13, "Text13");
    Command1 = make<QPushButton>(QStringLiteral("Command1"), QStringLiteral("&RETURN to MAIN MENU"));
    Command2 = make<QPushButton>(QStringLiteral("Command2"), QStringLiteral("Return to &Dir. Setup"));

    auto* grid = new QGridLayout;
    const QList<QPair<QLabel*, QLineEdit*>> rows = {
        {Label1, Text1}, {Label2, Text2}, {Label3, Text3},  {Label8, Text7},   {Label5, Text4},  {Label6, Text5},
        {Label7, Text6}, {Label9, Text8}, {Label10, Text9}, {Label12, Text11}, {Label14, Text13}};
    int row = 0;
    for (const auto& [label, box] : rows) {
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
        ++row;
    }
    lblBaud = make<QLabel>(QStringLiteral("lblBaud"), QStringLiteral("Link speed (baud)"));
    cboBaud = SendEstimateView::MakeLinkSpeedBox(this, ctx().store, QStringLiteral("cboBaud"));
    lblBaud->setBuddy(cboBaud);
    grid->addWidget(lblBaud, row, 0);
    grid->addWidget(cboBaud, row, 1, Qt::AlignLeft);
    ++row;
    lblCall = make<QLabel>(QStringLiteral("lblCall"), QStringLiteral("Station &call sign"));
    txtCall = make<QLineEdit>(QStringLiteral("txtCall"), QString());
    txtCall->setPlaceholderText(QStringLiteral("for example N0CALL-1"));
    txtCall->setMaxLength(9);
    txtCall->setToolTip(QStringLiteral("Stored when you press Enter or leave the box; the TOLVAN Terminal and "
                                       "Direwolf answer to it."));
    lblCall->setBuddy(txtCall);
    grid->addWidget(lblCall, row, 0);
    grid->addWidget(txtCall, row, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Command1, Command2}) {
        // Outside a dialog a push button ignores Enter unless it is auto-default.
        b->setAutoDefault(true);
        b->setMinimumHeight(36);
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label4);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(buttons);
    layout->setContentsMargins(20, 20, 20, 20);
    resize(820, 520);

    connect(Command1, &QPushButton::clicked, this, &frsettings::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frsettings::Command2_Click);
    connect(txtCall, &QLineEdit::editingFinished, this, &frsettings::txtCall_Change);
}

void frsettings::Form_Load()
{
    removeTitleBar();
    // Every item is filled, so one missing file does not hide locations that
    // are set; an item with no usable value says so instead of staying empty.
    struct Field {
        QLineEdit* box;
        const char* file;
        bool wholeLine;
    };
    const Field order[] = {
        {Text3, "receive.dat", false},
        {Text2, "send.dat", false},
        {Text1, "save.dat", true},
        {Text4, "packet.dat", false},
        {Text5, "winlink.dat", false},
        {Text6, "splitter.dat", false},
        {Text7, "received.dat", false},
        {Text8, "soundmodempacket.dat", false},
        {Text9, "direwolfpacket.dat", false},
        {Text11, "VARA.dat", false},
        {Text13, "TLVTerminal.dat", false},
    };
    const ConfigStore& store = ctx().store;
    for (const Field& f : order) {
        const QString name = QString::fromLatin1(f.file);
        const StoreValue<QString> v = f.wholeLine ? store.ReadStoreLine(name) : store.ReadStoreField(name);
        if (!v.ok()) {
            m_readFailed = true;
        }
        const bool unset =
            !v.ok() || v.value.trimmed().isEmpty() || v.value.compare(QLatin1String("blank"), Qt::CaseInsensitive) == 0;
        f.box->setText(unset ? QStringLiteral("(not set)") : v.value);
    }
    const StoreValue<QString> call = store.ReadStoreLine(TerminalStore::kCall);
    m_storedCall = call.ok() ? call.value.trimmed() : QString();
    txtCall->setText(m_storedCall);
}

void frsettings::txtCall_Change()
{
    const QString typed = txtCall->text().trimmed();
    if (typed.compare(m_storedCall, Qt::CaseInsensitive) == 0 && !typed.isEmpty()) {
        return; // nothing new, or the same call sign a second time
    }
    const QString title = QStringLiteral("Station call sign");
    // The box takes the focus: what it makes the line edit emit is not a new entry.
    const QSignalBlocker quiet(txtCall);
    if (typed.isEmpty()) {
        if (!m_storedCall.isEmpty()) {
            txtCall->setText(m_storedCall);
            ctx().dialogs->exclamation(QStringLiteral("A station needs its call sign; %1 is kept.").arg(m_storedCall),
                                       title);
        }
        return;
    }
    const Result<QByteArray> call = CheckCallSign(typed);
    if (!call.ok()) {
        ctx().dialogs->exclamation(QStringLiteral("\"%1\" is not a call sign: %2").arg(typed, call.error()), title);
        return;
    }
    const QString text = QString::fromLatin1(call.value());
    if (const StoreStatus s = ctx().store.WriteStoreLine(TerminalStore::kCall, text); !s.ok()) {
        ctx().dialogs->critical(QStringLiteral("%1 cannot be written: %2").arg(TerminalStore::kCall, s.message), title);
        return;
    }
    m_storedCall = text;
    txtCall->setText(text);
    // An edited configuration is the operator's and stays as it is.
    if (const Result<DirewolfConf::Outcome> conf = DirewolfConf::WriteForStation(ctx().store); !conf.ok()) {
        ctx().dialogs->exclamation(QStringLiteral("The call sign is stored, but the Direwolf configuration could "
                                                  "not be written: ")
                                       + conf.error(),
                                   title);
    }
}

void frsettings::showEvent(QShowEvent* event)
{
    Screen::showEvent(event);
    if (m_readFailed) {
        m_readFailed = false;
        ctx().dialogs->messageBox(
            {QStringLiteral(" no file picked"), QString(), MsgIcon::None, MsgButtons::Ok, MsgAnswer::Ok});
    }
}

void frsettings::Command1_Click()
{
    registry().Unload(QStringLiteral("frsettings"));
    ReturnToMainMenu(registry());
}

void frsettings::Command2_Click()
{
    const MsgAnswer answer = ctx().dialogs->messageBox(
        {QStringLiteral("This will cause you to do a total test cycle again. Yes to continue, No to cancel."),
         QStringLiteral("Confirmation"), MsgIcon::Exclamation, MsgButtons::YesNo, MsgAnswer::Yes});
    if (answer != MsgAnswer::Yes) {
        return;
    }
    ScreenRegistry& reg = registry();
    const QString dir = QStringLiteral("DIRCHANGE");
    if (!screenAvailable(dir)) {
        return;
    }
    reg.Unload(QStringLiteral("frsettings"));
    reg.Unload(QStringLiteral("mainmenu"));
    reg.Unload(dir);
    reg.setControlVisible(dir, QStringLiteral("Command1"), true);
    reg.Show(dir);
}

} // namespace tolvan
