#include "terminal/TerminalWindow.h"

#include "mail/KnownAddresses.h"
#include "platform/Speech.h"
#include "shell/Notify.h"
#include "shell/Palette.h"
#include "terminal/ConversationPane.h"
#include "terminal/TerminalRuntime.h"
#include "terminal/TerminalSettingsPanel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCompleter>
#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStringListModel>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tolvan {

namespace {

QLabel* glanceLabel(const char* name, const QString& accessibleName, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAccessibleName(accessibleName);
    label->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    // Reachable with Tab, so a screen reader user can read the state again.
    label->setFocusPolicy(Qt::StrongFocus);
    return label;
}

// The line of news: to screen readers an alert, so that what it says is
// read out when it changes, wherever the keyboard is.
class NoticeLabel : public QLabel {
public:
    using QLabel::QLabel;
};

class NoticeAccessible : public QAccessibleWidget {
public:
    explicit NoticeAccessible(QWidget* w)
        : QAccessibleWidget(w, QAccessible::AlertMessage)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        const auto* label = static_cast<const QLabel*>(widget());
        if (t == QAccessible::Name) {
            return label->text();
        }
        if (t == QAccessible::Description) {
            return label->accessibleName();
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* noticeFactory(const QString&, QObject* object)
{
    if (auto* notice = dynamic_cast<NoticeLabel*>(object)) {
        return new NoticeAccessible(notice);
    }
    return nullptr;
}

QLabel* buddyLabel(const QString& caption, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TerminalWindow::TerminalWindow(TerminalRuntime& runtime, Speaker& speaker, QLocale locale, QWidget* parent)
    : QWidget(parent)
    , m_runtime(runtime)
    , m_speaker(speaker)
    , m_locale(locale)
    , m_journal(locale)
    , m_glance(locale)
{
    setObjectName(QStringLiteral("TerminalWindow"));
    setWindowTitle(kTitle);
    // The station program's rule: disabled text stays readable.
    Palette::makeDisabledTextReadable(this);

    // At a glance.
    auto* glanceBox = new QGroupBox(QStringLiteral("At a glance"), this);
    lblTnc = glanceLabel("lblTnc", QStringLiteral("TNC"), glanceBox);
    lblCall = glanceLabel("lblCall", QStringLiteral("Station"), glanceBox);
    lblListen = glanceLabel("lblListen", QStringLiteral("Calls"), glanceBox);
    lblTransfer = glanceLabel("lblTransfer", QStringLiteral("Transfer"), glanceBox);
    prgTransfer = new QProgressBar(glanceBox);
    prgTransfer->setObjectName(QStringLiteral("prgTransfer"));
    prgTransfer->setRange(0, 100);
    prgTransfer->setAccessibleName(QStringLiteral("Transfer progress"));
    auto* glance = new QFormLayout(glanceBox);
    glance->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    glance->addRow(QStringLiteral("TNC:"), lblTnc);
    glance->addRow(QStringLiteral("Station:"), lblCall);
    glance->addRow(QStringLiteral("Calls:"), lblListen);
    glance->addRow(QStringLiteral("Transfer:"), lblTransfer);
    glance->addRow(QString(), prgTransfer);

    // The files waiting and the journal.
    auto* files = new QWidget(this);
    files->setObjectName(QStringLiteral("FilesPage"));
    lstWaiting = new QTreeWidget(files);
    lstWaiting->setObjectName(QStringLiteral("lstWaiting"));
    lstWaiting->setHeaderHidden(true);
    lstWaiting->setAccessibleName(QStringLiteral("Waiting to be sent"));
    lstWaiting->setAccessibleDescription(
        QStringLiteral("The files in the send folder, by destination; picking one chooses it for Send now"));
    txtDestination = new QLineEdit(files);
    txtDestination->setObjectName(QStringLiteral("txtDestination"));
    txtDestination->setPlaceholderText(QStringLiteral("every destination"));
    txtDestination->setAccessibleName(QStringLiteral("Destination"));
    txtDestination->setAccessibleDescription(
        QStringLiteral("Call sign Send now sends to; empty sends to every destination waiting"));
    cmdSendNow = new QPushButton(QStringLiteral("Send &now"), files);
    cmdSendNow->setObjectName(QStringLiteral("cmdSendNow"));
    cmdSendNow->setAccessibleDescription(
        QStringLiteral("Calls the destination now, or every destination waiting, also after a Stop or after no "
                       "answer"));
    cmdStop = new QPushButton(QStringLiteral("&Stop"), files);
    cmdStop->setObjectName(QStringLiteral("cmdStop"));
    cmdStop->setAccessibleDescription(
        QStringLiteral("Ends the sessions cleanly and calls no station until Send now; half-received files are kept"));
    for (QPushButton* b : {cmdSendNow, cmdStop}) {
        b->setAutoDefault(true);
        b->setMinimumHeight(32);
    }
    setBackColor(cmdSendNow, Palette::kOn);
    setBackColor(cmdStop, Palette::entry(8));
    lstJournal = new QListWidget(files);
    lstJournal->setObjectName(QStringLiteral("lstJournal"));
    lstJournal->setAccessibleName(QStringLiteral("Journal"));
    lstJournal->setAccessibleDescription(QStringLiteral("The last 200 things the terminal did, newest last"));
    lstJournal->setWordWrap(true);
    lstJournal->setUniformItemSizes(false);
    auto* sendRow = new QHBoxLayout;
    sendRow->addWidget(buddyLabel(QStringLiteral("&Destination:"), txtDestination, files));
    sendRow->addWidget(txtDestination, 1);
    sendRow->addWidget(cmdSendNow);
    sendRow->addWidget(cmdStop);
    auto* filesLayout = new QVBoxLayout(files);
    filesLayout->addWidget(buddyLabel(QStringLiteral("&Waiting to be sent:"), lstWaiting, files));
    filesLayout->addWidget(lstWaiting, 2);
    filesLayout->addLayout(sendRow);
    filesLayout->addWidget(buddyLabel(QStringLiteral("&Journal:"), lstJournal, files));
    filesLayout->addWidget(lstJournal, 3);

    conversation = new ConversationPane(runtime, this);
    settings = new TerminalSettingsPanel(runtime, this);
    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    tabs->setAccessibleName(QStringLiteral("Pages"));
    tabs->addTab(files, QStringLiteral("&Files"));
    tabs->addTab(conversation, QStringLiteral("Con&versation"));
    tabs->addTab(settings, QStringLiteral("Se&ttings"));

    static const bool factoryInstalled = [] {
        QAccessible::installFactory(noticeFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    lblNotice = new NoticeLabel(this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));
    lblNotice->setWordWrap(true);
    lblNotice->setTextFormat(Qt::PlainText);
    lblNotice->setAccessibleName(QStringLiteral("Latest news"));

    // Tab goes as the eye reads: the state, the page tabs, then the page.
    QWidget::setTabOrder(lblTnc, lblCall);
    QWidget::setTabOrder(lblCall, lblListen);
    QWidget::setTabOrder(lblListen, lblTransfer);
    QWidget::setTabOrder(lblTransfer, tabs);
    QWidget::setTabOrder(tabs, lstWaiting);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(glanceBox);
    layout->addWidget(tabs, 1);
    layout->addWidget(lblNotice);

    // Completion from the call signs the station has written to or heard
    // from, and those met since.
    for (const QString& known : KnownAddresses::Collect(runtime.store())) {
        rememberCall(known);
    }
    auto* completer = new QCompleter(new QStringListModel(m_calls, this), this);
    completer->setObjectName(QStringLiteral("callCompleter"));
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setModelSorting(QCompleter::UnsortedModel);
    txtDestination->setCompleter(completer);
    if (auto* call = conversation->findChild<QLineEdit*>(QStringLiteral("txtCall"))) {
        call->setCompleter(completer);
    }

    connect(cmdSendNow, &QPushButton::clicked, this, &TerminalWindow::cmdSendNow_Click);
    connect(cmdStop, &QPushButton::clicked, this, &TerminalWindow::cmdStop_Click);
    connect(txtDestination, &QLineEdit::returnPressed, this, &TerminalWindow::cmdSendNow_Click);
    connect(settings, &TerminalSettingsPanel::applied, this, [this](bool running, const QString& why) {
        if (!running) {
            notStarted(why);
        }
    });
    connect(lstWaiting, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        while (item && item->parent()) {
            item = item->parent();
        }
        if (item) {
            txtDestination->setText(item->data(0, Qt::UserRole).toString());
        }
    });
    connect(&runtime, &TerminalRuntime::event, this, &TerminalWindow::onEvent);
    connect(&runtime, &TerminalRuntime::started, this, &TerminalWindow::started);
    connect(conversation, &ConversationPane::incoming, this, [this] {
        tabs->setCurrentWidget(conversation);
        conversation->focusLine();
    });

    if (runtime.running()) {
        started();
    }
    // The keyboard starts in the list of what is waiting.
    lstWaiting->setFocus();
    // Fits a 1024x768 screen with room for the panel and the frame.
    resize(980, 660);
}

void TerminalWindow::started()
{
    const TerminalSettings& s = m_runtime.settings();
    m_glance.starting(s.host, s.port, QString::fromLatin1(s.call));
    refreshGlance();
    refreshWaiting();
}

void TerminalWindow::notStarted(const QString& why)
{
    m_glance.notRunning(why);
    refreshGlance();
    refreshWaiting();
    tabs->setCurrentWidget(settings);
    settings->focusFirstProblem();
}

void TerminalWindow::onEvent(const QJsonObject& event)
{
    m_glance.feed(event);
    conversation->feed(event);
    const QString line = m_journal.feed(event, QDateTime::currentDateTime());
    if (!line.isEmpty()) {
        lstJournal->addItem(line);
        while (lstJournal->count() > TerminalJournal::kKeep) {
            delete lstJournal->takeItem(0);
        }
        lstJournal->scrollToBottom();
    }
    const QString name = event.value(QLatin1String("event")).toString();
    const bool incoming = event.value(QLatin1String("direction")).toString() == QLatin1String("in");
    if (name == QLatin1String("file-received") || (name == QLatin1String("chat-connected") && incoming) ||
        (name == QLatin1String("connected") && incoming)) {
        announce(TerminalJournal::Describe(event, m_locale));
    }
    if (name == QLatin1String("queue")) {
        for (const TerminalGlance::Waiting& w : m_glance.waiting()) {
            rememberCall(w.to);
        }
        refreshWaiting();
    }
    if (name == QLatin1String("chat-connected") || name == QLatin1String("connected")) {
        rememberCall(event.value(QLatin1String("peer")).toString());
    }
    refreshGlance();
}

void TerminalWindow::refreshGlance()
{
    lblTnc->setText(m_glance.tncText());
    lblCall->setText(m_glance.callText().isEmpty() ? QStringLiteral("no call sign") : m_glance.callText());
    lblListen->setText(m_glance.listenText() + (m_glance.paused() ? QStringLiteral("; sending stopped") : QString()));
    lblTransfer->setText(m_glance.transferText());
    prgTransfer->setValue(m_glance.transferPercent());
    prgTransfer->setEnabled(m_glance.transfer().has_value());
    cmdStop->setEnabled(m_runtime.running());
    cmdSendNow->setEnabled(m_runtime.running());
}

void TerminalWindow::refreshWaiting()
{
    const QString picked = txtDestination->text();
    lstWaiting->clear();
    for (const TerminalGlance::Waiting& w : m_glance.waiting()) {
        auto* item = new QTreeWidgetItem(lstWaiting, {m_glance.waitingText(w)});
        item->setData(0, Qt::UserRole, w.to);
        for (const QString& file : w.files) {
            new QTreeWidgetItem(item, {file});
        }
    }
    if (m_glance.waiting().isEmpty()) {
        auto* none = new QTreeWidgetItem(lstWaiting, {QStringLiteral("Nothing is waiting in the send folder.")});
        none->setFlags(Qt::ItemIsEnabled);
    }
    lstWaiting->expandAll();
    txtDestination->setText(picked);
}

void TerminalWindow::announce(const QString& text)
{
    lblNotice->setText(text);
    // Screen readers are told at once, whatever has the focus: an alert
    // that (to the accessibility bus) appears anew with each text.
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent announcement(lblNotice, text);
    announcement.setPoliteness(QAccessible::AnnouncementPoliteness::Assertive);
    QAccessible::updateAccessibility(&announcement);
#else
    QAccessibleEvent shown(lblNotice, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    QAccessibleEvent alert(lblNotice, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
#endif
    Notify::AnnounceIfEnabled(m_runtime.store(), m_speaker, text);
}

void TerminalWindow::rememberCall(const QString& call)
{
    const Result<QByteArray> checked = CheckCallSign(call);
    if (!checked.ok()) {
        return;
    }
    const QString normal = QString::fromLatin1(checked.value());
    if (m_calls.contains(normal)) {
        return;
    }
    m_calls << normal;
    if (QCompleter* c = txtDestination->completer()) {
        if (auto* model = qobject_cast<QStringListModel*>(c->model())) {
            model->setStringList(m_calls);
        }
    }
}

void TerminalWindow::cmdSendNow_Click()
{
    TerminalEngine* engine = m_runtime.engine();
    if (!engine) {
        return;
    }
    const QString typed = txtDestination->text().trimmed();
    if (typed.isEmpty()) {
        engine->sendNow();
        lblNotice->setText(QStringLiteral("Sending to every destination waiting."));
        return;
    }
    const Result<QByteArray> call = CheckCallSign(typed);
    if (!call.ok()) {
        lblNotice->setText(QStringLiteral("Destination: %1").arg(call.error()));
        txtDestination->setFocus();
        return;
    }
    engine->sendNow(call.value());
    lblNotice->setText(QStringLiteral("Sending to %1.").arg(QString::fromLatin1(call.value())));
}

void TerminalWindow::cmdStop_Click()
{
    if (TerminalEngine* engine = m_runtime.engine()) {
        engine->pause();
        lblNotice->setText(QStringLiteral("Stopped: no station is called until Send now."));
    }
}

} // namespace tolvan
