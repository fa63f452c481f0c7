#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tolvan {

class TerminalRuntime;

// Keyboard to keyboard: call a station, node or BBS by call sign (and
// digipeater path), type lines, read what comes back. Each transcript line
// carries the time and the other station. Received text is shown as the
// plain text the engine made of it, never as markup or terminal control.
class ConversationPane : public QWidget {
    Q_OBJECT
public:
    explicit ConversationPane(TerminalRuntime& runtime, QWidget* parent = nullptr);

    // The conversation events of the engine (chat-connected, chat-line,
    // chat-disconnected); others are ignored.
    void feed(const QJsonObject& event);
    // The station lines go to: the last one that came on, or the one picked.
    QByteArray peer() const { return m_peer; }
    // Puts the keyboard in the line box.
    void focusLine();

signals:
    // Another station called to talk.
    void incoming(const QString& peer);

private:
    void cmdConnect_Click();
    void cmdDisconnect_Click();
    void txtLine_Return();
    void showState();
    void tell(const QString& problem);

    TerminalRuntime& m_runtime;
    QLineEdit* txtCall = nullptr;
    QLineEdit* txtPath = nullptr;
    QPushButton* cmdConnect = nullptr;
    QPushButton* cmdDisconnect = nullptr;
    QLabel* lblTalking = nullptr;
    QPlainTextEdit* txtTranscript = nullptr;
    QLineEdit* txtLine = nullptr;
    QByteArray m_peer;
    QList<QByteArray> m_connected;
};

} // namespace tolvan
