#include "monitor/received.h"

#include "mail/inboxform.h"
#include "monitor/ReceiveRouting.h"
#include "monitor/ReceiveWatch.h"
#include "monitor/filemonitorevent.h"
#include "monitor/filemonitors.h"
#include "monitor/fileoperation.h"
#include "pmba/receivefile.h"
#include "sevenplus/frm7Plus.h"
#include "shell/AppContext.h"
#include "shell/Notify.h"
#include "shell/PickList.h"
#include "shell/ScreenRegistry.h"
#include "shell/frmdecide.h"
#include "shell/mainmenu.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>

namespace tolvan {

namespace {

// A box with no icon and no title of its own.
MessageBoxRequest plainBox(const QString& text)
{
    return {text, {}, MsgIcon::None, MsgButtons::Ok, MsgAnswer::Ok};
}

QLabel* menuLabel(ScreenRegistry& registry, const QString& name)
{
    // Only a loaded main menu is written to: loading it here would run its load
    // step, which closes the inbox the operator may be reading.
    Screen* menu = registry.loaded(QStringLiteral("mainmenu"));
    return menu ? menu->control<QLabel>(name) : nullptr;
}

} // namespace

received::received(ScreenRegistry& registry)
    : Screen(registry, QStringLiteral("received"))
{
    setWindowTitle(QStringLiteral("Received"));
    Label1 = make<QLabel>(QStringLiteral("Label1"), QStringLiteral("Click on file to Retrieve"));
    makeHeading(Label1, 6);
    // The selection is the operator's pick only, never a row the focus made current.
    File1 = make<PickList>(QStringLiteral("File1"));
    // One line of text per file: with all rows alike the list lays out a
    // folder of thousands of files at once.
    File1->setUniformItemSizes(true);
    Command2 = make<QPushButton>(QStringLiteral("Command2"), QStringLiteral("Read Message"));
    Command1 = make<QPushButton>(QStringLiteral("Command1"), QStringLiteral("Delete messages"));
    Cmdexit = make<QPushButton>(QStringLiteral("Cmdexit"), QStringLiteral("Exit"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(250);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(500);
    Text1 = make<QLineEdit>(QStringLiteral("Text1"));
    // Beside the files: what the 7PLUS parts among them add up to.
    lbl7PlusSets = make<QLabel>(QStringLiteral("lbl7PlusSets"), QStringLiteral("7PLUS files"));
    lst7PlusSets = make<QListWidget>(QStringLiteral("lst7PlusSets"));
    cmdAskMissing = make<QPushButton>(QStringLiteral("cmdAskMissing"), QStringLiteral("Ask for missing parts"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    auto* lists = new QHBoxLayout;
    lists->addWidget(File1, 3);
    auto* sets = new QVBoxLayout;
    sets->addWidget(lbl7PlusSets);
    sets->addWidget(lst7PlusSets, 1);
    sets->addWidget(cmdAskMissing);
    lists->addLayout(sets, 2);
    layout->addLayout(lists, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Command2, Command1, Cmdexit}) {
        b->setMinimumHeight(38);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    layout->addWidget(Text1);
    layout->setContentsMargins(20, 20, 20, 20);
    resize(860, 480);

    connect(Command2, &QPushButton::clicked, this, &received::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &received::Command1_Click);
    connect(Cmdexit, &QPushButton::clicked, this, &received::Cmdexit_Click);
    connect(Timer1, &QTimer::timeout, this, &received::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &received::Timer2_Timer);
    connect(cmdAskMissing, &QPushButton::clicked, this, &received::cmdAskMissing_Click);
    connect(&ctx().receiveWatch, &ReceiveWatch::SetsRefreshed, this, &received::refreshSevenPlusSets);
}

void received::Form_Load()
{
    removeTitleBar();
    Text1->setVisible(false);
    Timer1->setInterval(filemonitors::kIntervalMs);
    Timer1->start();
    Timer2->start();

    // The watch belongs to the program; this screen only starts it when it
    // is not running yet and shows the folder it watches.
    ReceiveWatch& watch = ctx().receiveWatch;
    watch.Begin();
    const StoreValue<QString> folder = ctx().store.ReadStoreLine(QStringLiteral("receive.dat"));
    if (!folder.ok()) {
        ctx().dialogs->messageBox({QStringLiteral("Error initializing monitoring: ") + folder.message,
                                   {},
                                   MsgIcon::Critical,
                                   MsgButtons::Ok,
                                   MsgAnswer::Ok});
    } else if (filemonitors* monitor = fileoperation::ReceiveMonitor(); monitor && !monitor->FolderPath.isEmpty()) {
        setFileListFolder(monitor->FolderPath);
    }
}

void received::showEvent(QShowEvent* event)
{
    Screen::showEvent(event);
    Form_Activate();
}

void received::Form_Activate()
{
    filemonitors* monitor = fileoperation::ReceiveMonitor();
    if (!monitor) {
        ctx().dialogs->messageBox(plainBox(QStringLiteral("Monitor is not initialized!")));
        return;
    }
    setFileListFolder(monitor->FolderPath);
    refreshSevenPlusSets();
}

void received::refreshSevenPlusSets()
{
    const SevenPlusSets::Collector& sets = ctx().receiveWatch.sevenPlusSets();
    const QString picked =
        lst7PlusSets->currentItem() ? lst7PlusSets->currentItem()->data(Qt::UserRole).toString() : QString();
    const QStringList lines = sets.Lines();
    QStringList shown;
    for (int i = 0; i < lst7PlusSets->count(); ++i) {
        shown << lst7PlusSets->item(i)->text();
    }
    if (shown == lines) {
        return; // nothing changed: the selection stays as the operator left it
    }
    lst7PlusSets->clear();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        auto* item = new QListWidgetItem(lines[i], lst7PlusSets);
        // A set's row carries its key; a damaged file's row its file name.
        item->setData(Qt::UserRole,
                      i < sets.sets().size() ? sets.sets()[i].key() : sets.damaged()[i - sets.sets().size()]);
        if (!picked.isEmpty() && item->data(Qt::UserRole).toString() == picked) {
            lst7PlusSets->setCurrentItem(item);
        }
    }
}

void received::setFileListFolder(const QString& folder)
{
    m_folder = folder;
    refreshFileList();
}

void received::refreshFileList()
{
    const QStringList names = fileoperation::ListedFiles(m_folder);
    if (names == m_listed) {
        return; // nothing came or went: the list and its selection stay
    }
    m_listed = names;
    const QString selected = selectedName();
    File1->clear();
    File1->addItems(names);
    if (!selected.isEmpty()) {
        const QList<QListWidgetItem*> same = File1->findItems(selected, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (!same.isEmpty()) {
            File1->setCurrentItem(same.first());
        }
    }
}

QString received::selectedName() const
{
    return File1->pickedText();
}

void received::AnnounceArrival(ScreenRegistry& registry, const QString& folderPath, const QStringList& arrivals)
{
    AppContext& ctx = registry.context();
    // A 7PLUS set whose last part came is announced as the file it carries;
    // its parts need no warning, they were checked before they counted.
    const QList<SevenPlusSets::Set>& complete = ctx.receiveWatch.CompletedSets();
    bool otherArrivals = complete.isEmpty();
    for (const QString& name : arrivals) {
        otherArrivals = otherArrivals || !ctx.receiveWatch.sevenPlusSets().SetOf(name);
    }
    QStringList names;
    for (const SevenPlusSets::Set& set : complete) {
        names << set.name;
    }
    if (!complete.isEmpty()) {
        Notify::AnnounceIfEnabled(
            ctx.store, *ctx.speaker,
            QStringLiteral("7PLUS file %1 has arrived complete").arg(names.join(QStringLiteral(" and "))));
    }
    if (otherArrivals) {
        Notify::AnnounceIfEnabled(ctx.store, *ctx.speaker, kArrivalWarning);
    }
    // Kept until the operator opens the received screen: a main menu closed
    // now (compose is open) shows it when it is loaded again.
    ReceiveWatch::Notice& pending = ctx.receiveWatch.pendingNotice;
    pending.text = complete.isEmpty() ? kArrivalNotice : kSevenPlusNotice + names.join(QStringLiteral(", ")) + u' ';
    pending.check = otherArrivals ? kArrivalCheck : kSevenPlusCheck;
    if (auto* menu = qobject_cast<mainmenu*>(registry.loaded(QStringLiteral("mainmenu")))) {
        menu->ShowArrivalNotice();
    }
    auto* screen = qobject_cast<received*>(registry.loaded(QStringLiteral("received")));
    if (screen && screen->isVisible()) {
        screen->setFileListFolder(folderPath);
    }
}

void received::Timer1_Timer()
{
    // The watch's own timer drives the scan, so it goes on when this screen closes.
}

void received::Timer2_Timer()
{
    if (QLabel* notice = menuLabel(registry(), QStringLiteral("Label1"))) {
        notice->setVisible(notice->isHidden());
    }
}

bool received::KillFile(const QString& FilePath)
{
    // Between attempts the screens repaint, and the packet program may let go of the file.
    return ReceiveRouting::KillFile(*ctx().dialogs, FilePath, [] { QCoreApplication::processEvents(); });
}

void received::Command2_Click()
{
    ScreenRegistry& reg = registry();
    reg.Unload(QStringLiteral("sendfile"));
    if (Screen* menu = reg.loaded(QStringLiteral("mainmenu"))) {
        if (QWidget* test = menu->control(QStringLiteral("testprogram"))) {
            test->setVisible(false);
        }
    }

    if (!readableNow()) {
        return;
    }

    const ReceiveRouting::Route r =
        ReceiveRouting::RouteIncoming(ctx().store, selectedName(), ReceiveRouting::DefaultPaths(ctx().store));
    for (const MessageBoxRequest& m : r.messages) {
        ctx().dialogs->messageBox(m);
    }
    if (r.deleteIncoming) {
        KillFile(r.incomingPath);
        refreshFileList();
    }

    switch (r.outcome) {
    case ReceiveRouting::Route::Outcome::Pmba:
        // A fresh screen for each received mail.
        reg.Unload(QStringLiteral("receivefile"));
        receivefile::SetNextHandOver({true, r.incomingPath, r.pmba});
        if (auto* screen = reg.form<receivefile>(QStringLiteral("receivefile"))) {
            screen->DisplayPMBAMail();
            reg.Hide(QStringLiteral("received"));
            reg.Show(QStringLiteral("receivefile"));
        }
        break;
    case ReceiveRouting::Route::Outcome::Mail: {
        // An inbox already loaded (hidden by the self-test) has read "mail.dat"
        // before this mail was handed over, so it reads it again.
        const bool wasLoaded = reg.IsFormLoaded(QStringLiteral("inboxform"));
        auto* inbox = reg.form<inboxform>(QStringLiteral("inboxform"));
        if (inbox && wasLoaded) {
            inbox->ReadMailHandOver();
        }
        reg.Show(QStringLiteral("inboxform"));
        break;
    }
    case ReceiveRouting::Route::Outcome::FileMail:
        reg.Hide(QStringLiteral("received"));
        reg.Unload(QStringLiteral("receivefile"));
        receivefile::SetNextHandOver({});
        reg.Show(QStringLiteral("receivefile"));
        break;
    case ReceiveRouting::Route::Outcome::SevenPlusSet:
        decodeSevenPlus(r.sevenPlusPart1, r.sevenPlusSet);
        break;
    default:
        break;
    }
}

void received::decodeSevenPlus(const QString& part1Path, const SevenPlusSets::Set& set)
{
    ScreenRegistry& reg = registry();
    auto* screen = reg.form<frm7Plus>(QStringLiteral("frm7Plus"));
    if (!screen) {
        return;
    }
    reg.Show(QStringLiteral("frm7Plus"));
    QString report;
    const bool decoded = screen->DecodeReceivedSet(part1Path, &report);
    m_damagedLines.remove(set.key());
    if (!decoded) {
        // A damaged line names its part; that part is the one to ask for again.
        static const QRegularExpression damagedPart(QStringLiteral("7PLUS CRC FAILED\\s+Part: (\\d+)"));
        if (const QRegularExpressionMatch m = damagedPart.match(report); m.hasMatch()) {
            m_damagedLines[set.key()] << m.captured(1).toInt();
        }
        return;
    }
    QStringList parts;
    for (const QString& name : set.parts) {
        parts << name;
    }
    const QString question = QStringLiteral("%1 was decoded into 7PLUS_RECEIVED in the receive folder.\n\n"
                                            "Remove its %2 parts from the receive folder?\n\n%3")
                                 .arg(set.name)
                                 .arg(parts.size())
                                 .arg(parts.join(QStringLiteral(", ")));
    if (!ctx().dialogs->askYesNo(question, QStringLiteral("7PLUS"), MsgAnswer::No)) {
        return;
    }
    const QString folder = QFileInfo(part1Path).absolutePath();
    QStringList kept;
    for (const QString& name : std::as_const(parts)) {
        QFile file(folder + u'/' + name);
        if (!file.remove()) {
            kept << name + QStringLiteral(": ") + file.errorString();
        }
    }
    if (!kept.isEmpty()) {
        ctx().dialogs->messageBox({QStringLiteral("These parts could not be removed:\n") + kept.join(u'\n'),
                                   QStringLiteral("7PLUS"), MsgIcon::Exclamation, MsgButtons::Ok, MsgAnswer::Ok});
    }
    refreshFileList();
}

void received::cmdAskMissing_Click()
{
    const SevenPlusSets::Collector& sets = ctx().receiveWatch.sevenPlusSets();
    QString key = lst7PlusSets->currentItem() ? lst7PlusSets->currentItem()->data(Qt::UserRole).toString() : QString();
    if (key.isEmpty()) {
        if (const SevenPlusSets::Set* set = sets.SetOf(selectedName())) {
            key = set->key();
        }
    }
    const SevenPlusSets::Set* set = sets.SetByKey(key);
    if (!set) {
        ctx().dialogs->messageBox({QStringLiteral("Select a 7PLUS file in the list of 7PLUS files first."),
                                   QStringLiteral("7PLUS"), MsgIcon::Exclamation, MsgButtons::Ok, MsgAnswer::Ok});
        return;
    }
    const QList<int> wanted = set->missing() + m_damagedLines.value(set->key());
    if (wanted.isEmpty()) {
        ctx().dialogs->messageBox(
            {QStringLiteral("Every part of %1 has arrived; there is nothing to ask for.").arg(set->name),
             QStringLiteral("7PLUS"), MsgIcon::Information, MsgButtons::Ok, MsgAnswer::Ok});
        return;
    }
    const SevenPlusSets::Request request = SevenPlusSets::AskForParts(*set, wanted, sets.DamagedOf(*set));
    ScreenRegistry& reg = registry();
    Screen* compose = reg.form<Screen>(QStringLiteral("mailform"));
    if (!compose) {
        return;
    }
    if (auto* subject = compose->control<QLineEdit>(QStringLiteral("Text2"))) {
        subject->setText(request.subject);
    }
    if (auto* message = compose->control<QPlainTextEdit>(QStringLiteral("Text1"))) {
        message->setPlainText(request.message);
    }
    reg.Show(QStringLiteral("mailform"));
}

bool received::readableNow()
{
    // A file the packet program is still writing is neither read nor deleted.
    const QString name = selectedName();
    if (!ctx().receiveWatch.IsStillArriving(name)) {
        return true;
    }
    ctx().dialogs->messageBox(
        {QStringLiteral("The file \"%1\" is still arriving.\n\nIt was left as it is. Read it again once the packet "
                        "program has received it completely.")
             .arg(name),
         QStringLiteral("Read Message"), MsgIcon::Exclamation, MsgButtons::Ok, MsgAnswer::Ok});
    return false;
}

void received::Command1_Click()
{
    const QString name = selectedName();
    if (name.isEmpty()) {
        return;
    }
    if (m_folder.isEmpty()) {
        ctx().dialogs->messageBox(plainBox(QStringLiteral(" no file picked to delete")));
        return;
    }
    // Deleting cannot be undone and the file may be a mail nobody has read yet.
    const QString question = QStringLiteral("Delete 1 file from the receive folder %1?\n\n%2\n\n"
                                            "It cannot be brought back.")
                                 .arg(m_folder, name);
    if (!ctx().dialogs->askYesNo(question, QStringLiteral("Confirmation"), MsgAnswer::No)) {
        return;
    }
    const QString path = m_folder.endsWith(u'/') ? m_folder + name : m_folder + u'/' + name;
    QFile file(path);
    if (file.remove()) {
        ctx().dialogs->messageBox(plainBox(QStringLiteral("file deleted successfully")));
    } else {
        ctx().dialogs->messageBox(plainBox(QStringLiteral("error deleting file: ") + file.errorString()));
    }
    refreshFileList();
}

void received::Cmdexit_Click()
{
    ScreenRegistry& reg = registry();
    reg.Unload(QStringLiteral("received"));
    ReturnToMainMenu(reg);
}

} // namespace tolvan
