#pragma once

#include "terminal/TerminalJournal.h"

#include <QJsonObject>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace tolvan {

class ConversationPane;
class Speaker;
class TerminalRuntime;
class TerminalSettingsPanel;

// The TOLVAN Terminal's window: the TNC, the station and what it is doing at
// a glance; the files waiting and the journal; conversations; the settings.
// It only shows the engine's events and calls the engine; nothing in it
// waits for the modem.
class TerminalWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString kTitle = QStringLiteral("TOLVAN Terminal");

    TerminalWindow(TerminalRuntime& runtime, Speaker& speaker, QLocale locale = QLocale::system(),
                   QWidget* parent = nullptr);

    // One event of the engine.
    void onEvent(const QJsonObject& event);
    // The engine could not start: why, and the settings to mend it.
    void notStarted(const QString& why);

    const TerminalJournal& journal() const { return m_journal; }
    const TerminalGlance& glance() const { return m_glance; }

private:
    void started();
    void refreshGlance();
    void refreshWaiting();
    void announce(const QString& text);
    void rememberCall(const QString& call);
    void cmdSendNow_Click();
    void cmdStop_Click();

    TerminalRuntime& m_runtime;
    Speaker& m_speaker;
    QLocale m_locale;
    TerminalJournal m_journal;
    TerminalGlance m_glance;
    QStringList m_calls; // for completing the destination and call boxes

    QLabel* lblTnc = nullptr;
    QLabel* lblCall = nullptr;
    QLabel* lblListen = nullptr;
    QLabel* lblTransfer = nullptr;
    QProgressBar* prgTransfer = nullptr;
    QTabWidget* tabs = nullptr;
    QTreeWidget* lstWaiting = nullptr;
    QLineEdit* txtDestination = nullptr;
    QPushButton* cmdSendNow = nullptr;
    QPushButton* cmdStop = nullptr;
    QListWidget* lstJournal = nullptr;
    QLabel* lblNotice = nullptr;
    ConversationPane* conversation = nullptr;
    TerminalSettingsPanel* settings = nullptr;
};

} // namespace tolvan

namespace tolvan {

struct TerminalOptions;

// tolvan-terminal with its window: the station folder, the engine from its
// settings (or the settings page when they are unusable), until the window
// is closed or a SIGTERM or SIGINT arrives. The exit status of the program.
int RunTerminalWindow(int& argc, char** argv, const TerminalOptions& options);

} // namespace tolvan
