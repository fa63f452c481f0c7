#pragma once

#include "terminal/TerminalSettingsEdit.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tolvan {

class TerminalRuntime;

// The engine's settings: call sign, TNC host and port, radio port,
// digipeater path and allowed stations. Each box is checked as it is typed
// and what is wrong is said beside it; saving writes the store files and
// starts the engine again with them.
class TerminalSettingsPanel : public QWidget {
    Q_OBJECT
public:
    explicit TerminalSettingsPanel(TerminalRuntime& runtime, QWidget* parent = nullptr);

    // Fills the boxes from the store again, dropping unsaved changes.
    void Form_Load();
    // Puts the keyboard in the first box with a problem, else in the first box.
    void focusFirstProblem();

signals:
    // The settings were saved; started tells whether the engine runs with
    // them, why not when it does not.
    void applied(bool started, const QString& why);

private:
    void checkField(int field);
    void cmdSave_Click();

    TerminalRuntime& m_runtime;
    QLineEdit* m_edits[TerminalSettingsTexts::FieldCount] = {};
    QLabel* m_problems[TerminalSettingsTexts::FieldCount] = {};
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdUndo = nullptr;
    QLabel* lblSaved = nullptr;
};

} // namespace tolvan
