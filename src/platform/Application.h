#pragma once

#include <QApplication>

namespace tolvan {

class Dialogs;

// The program's QApplication. An exception that a handler lets escape would
// otherwise unwind through Qt's event loop and end the program; here it is
// caught where the event was delivered, shown to the operator in a critical
// box, and the program goes on with the next event.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    ~Application() override;

    // The running Application, or null when the program made a plain QApplication.
    static Application* instance();

    // Where the box is shown; without one the error goes to the log.
    void setDialogs(Dialogs* dialogs) { m_dialogs = dialogs; }
    Dialogs* dialogs() const { return m_dialogs; }

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows an escaped error: "Unexpected error: " and its description.
    void reportEscapedError(const QString& description);

private:
    Dialogs* m_dialogs = nullptr;
};

} // namespace tolvan
