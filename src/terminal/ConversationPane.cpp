#include "terminal/ConversationPane.h"

#include "terminal/TerminalJournal.h"
#include "terminal/TerminalRuntime.h"

#include <QDateTime>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvan {

namespace {

QLabel* buddyLabel(const QString& caption, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

ConversationPane::ConversationPane(TerminalRuntime& runtime, QWidget* parent)
    : QWidget(parent)
    , m_runtime(runtime)
{
    setObjectName(QStringLiteral("ConversationPane"));
    // Made in reading order, which is also the order Tab goes through them.
    txtCall = new QLineEdit(this);
    txtCall->setObjectName(QStringLiteral("txtCall"));
    txtCall->setAccessibleName(QStringLiteral("Call"));
    txtCall->setAccessibleDescription(QStringLiteral("Call sign of the station, node or BBS to talk with"));
    txtCall->setPlaceholderText(QStringLiteral("N0BBB-1"));
    txtPath = new QLineEdit(this);
    txtPath->setObjectName(QStringLiteral("txtPath"));
    txtPath->setAccessibleName(QStringLiteral("Path"));
    txtPath->setAccessibleDescription(QStringLiteral("Digipeaters to go through, comma-separated; empty for none"));
    txtPath->setPlaceholderText(QStringLiteral("none"));
    cmdConnect = new QPushButton(QStringLiteral("Co&nnect"), this);
    cmdConnect->setObjectName(QStringLiteral("cmdConnect"));
    cmdConnect->setAccessibleDescription(QStringLiteral("Calls the station for a conversation"));
    cmdDisconnect = new QPushButton(QStringLiteral("&Disconnect"), this);
    cmdDisconnect->setObjectName(QStringLiteral("cmdDisconnect"));
    cmdDisconnect->setAccessibleDescription(QStringLiteral("Ends the conversation with the station"));
    for (QPushButton* b : {cmdConnect, cmdDisconnect}) {
        b->setAutoDefault(true);
    }
    lblTalking = new QLabel(this);
    lblTalking->setObjectName(QStringLiteral("lblTalking"));
    lblTalking->setWordWrap(true);
    lblTalking->setTextFormat(Qt::PlainText); // it may quote what was typed
    lblTalking->setAccessibleName(QStringLiteral("Conversation state"));
    txtTranscript = new QPlainTextEdit(this);
    txtTranscript->setObjectName(QStringLiteral("txtTranscript"));
    txtTranscript->setReadOnly(true);
    txtTranscript->setTabChangesFocus(true);
    txtTranscript->setMaximumBlockCount(5000);
    txtTranscript->setAccessibleName(QStringLiteral("Transcript"));
    txtTranscript->setAccessibleDescription(QStringLiteral("What was said, each line with its time and station"));
    txtTranscript->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont fixed = txtTranscript->font();
    fixed.setFamily(QStringLiteral("monospace"));
    fixed.setStyleHint(QFont::Monospace);
    txtTranscript->setFont(fixed);
    txtLine = new QLineEdit(this);
    txtLine->setObjectName(QStringLiteral("txtLine"));
    txtLine->setAccessibleName(QStringLiteral("Message"));
    txtLine->setAccessibleDescription(QStringLiteral("A line to send; Enter sends it"));

    auto* top = new QGridLayout;
    top->addWidget(buddyLabel(QStringLiteral("&Call:"), txtCall, this), 0, 0);
    top->addWidget(txtCall, 0, 1);
    top->addWidget(buddyLabel(QStringLiteral("&Path:"), txtPath, this), 0, 2);
    top->addWidget(txtPath, 0, 3);
    top->addWidget(cmdConnect, 0, 4);
    top->addWidget(cmdDisconnect, 0, 5);
    top->setColumnStretch(1, 1);
    top->setColumnStretch(3, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lblTalking);
    layout->addWidget(buddyLabel(QStringLiteral("T&ranscript:"), txtTranscript, this));
    layout->addWidget(txtTranscript, 1);
    layout->addWidget(buddyLabel(QStringLiteral("&Message (Enter sends it):"), txtLine, this));
    layout->addWidget(txtLine);

    connect(cmdConnect, &QPushButton::clicked, this, &ConversationPane::cmdConnect_Click);
    connect(cmdDisconnect, &QPushButton::clicked, this, &ConversationPane::cmdDisconnect_Click);
    connect(txtCall, &QLineEdit::returnPressed, this, &ConversationPane::cmdConnect_Click);
    connect(txtLine, &QLineEdit::returnPressed, this, &ConversationPane::txtLine_Return);
    showState();
}

void ConversationPane::focusLine()
{
    txtLine->setFocus();
}

void ConversationPane::feed(const QJsonObject& e)
{
    const QString event = e.value(QLatin1String("event")).toString();
    const QByteArray peer = e.value(QLatin1String("peer")).toString().toLatin1();
    if (event == QLatin1String("chat-connected")) {
        if (!m_connected.contains(peer)) {
            m_connected << peer;
        }
        m_peer = peer;
        txtCall->setText(QString::fromLatin1(peer));
        txtTranscript->appendPlainText(
            QStringLiteral("%1  %2").arg(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")),
                                         TerminalJournal::Describe(e, QLocale::system())));
        showState();
        if (e.value(QLatin1String("direction")).toString() == QLatin1String("in")) {
            emit incoming(QString::fromLatin1(peer));
        }
    } else if (event == QLatin1String("chat-line")) {
        txtTranscript->appendPlainText(ChatTranscriptLine(e, QDateTime::currentDateTime()));
    } else if (event == QLatin1String("chat-disconnected")) {
        m_connected.removeAll(peer);
        if (m_peer == peer) {
            m_peer = m_connected.isEmpty() ? QByteArray() : m_connected.last();
        }
        txtTranscript->appendPlainText(
            QStringLiteral("%1  %2").arg(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")),
                                         TerminalJournal::Describe(e, QLocale::system())));
        showState();
    }
}

void ConversationPane::cmdConnect_Click()
{
    TerminalEngine* engine = m_runtime.engine();
    const Result<QByteArray> call = CheckCallSign(txtCall->text());
    if (!call.ok()) {
        tell(call.error());
        txtCall->setFocus();
        return;
    }
    const Result<QList<QByteArray>> path = CheckCallList(txtPath->text(), QStringLiteral("Path"));
    if (!path.ok()) {
        tell(path.error());
        txtPath->setFocus();
        return;
    }
    if (!engine) {
        tell(QStringLiteral("The terminal is not started: mend its settings first."));
        return;
    }
    const Result<> called = engine->connectChat(call.value(), path.value());
    if (!called.ok()) {
        tell(called.error());
        return;
    }
    tell(QStringLiteral("Calling %1 ...").arg(QString::fromLatin1(call.value())));
    txtLine->setFocus();
}

void ConversationPane::cmdDisconnect_Click()
{
    TerminalEngine* engine = m_runtime.engine();
    const Result<QByteArray> typed = CheckCallSign(txtCall->text());
    const QByteArray peer = typed.ok() && m_connected.contains(typed.value()) ? typed.value() : m_peer;
    if (!engine || peer.isEmpty()) {
        tell(QStringLiteral("No conversation to end."));
        return;
    }
    engine->disconnectChat(peer);
}

void ConversationPane::txtLine_Return()
{
    TerminalEngine* engine = m_runtime.engine();
    const Result<QByteArray> typed = CheckCallSign(txtCall->text());
    // The station in the call box when a conversation with it is up, else the last one.
    const QByteArray peer = typed.ok() && m_connected.contains(typed.value()) ? typed.value() : m_peer;
    if (!engine || peer.isEmpty()) {
        tell(QStringLiteral("Not connected: type a call sign and press Connect first."));
        return;
    }
    const Result<> sent = engine->sendChatLine(peer, txtLine->text());
    if (!sent.ok()) {
        tell(sent.error());
        return;
    }
    txtLine->clear();
}

void ConversationPane::showState()
{
    QStringList calls;
    for (const QByteArray& c : std::as_const(m_connected)) {
        calls << QString::fromLatin1(c);
    }
    lblTalking->setText(calls.isEmpty() ? QStringLiteral("Not connected to anyone.")
                                        : QStringLiteral("Talking with %1.").arg(calls.join(QStringLiteral(", "))));
}

void ConversationPane::tell(const QString& problem)
{
    lblTalking->setText(problem);
}

} // namespace tolvan
