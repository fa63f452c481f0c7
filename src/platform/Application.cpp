#include "platform/Application.h"

#include "platform/Dialogs.h"

#include <QDebug>

#include <exception>
#include <new>

namespace tolvan {

namespace {

Application* g_instance = nullptr;

} // namespace

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv)
{
    g_instance = this;
}

Application::~Application()
{
    g_instance = nullptr;
}

Application* Application::instance()
{
    return g_instance;
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        reportEscapedError(QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        reportEscapedError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reportEscapedError(QStringLiteral("An unknown error was raised."));
    }
    return false;
}

void Application::reportEscapedError(const QString& description)
{
    const QString text = QStringLiteral("Unexpected error: ") + description;
    if (!m_dialogs) {
        qWarning().noquote() << text;
        return;
    }
    // Calls the interface directly, so this class needs nothing but its header.
    m_dialogs->messageBox({text, {}, MsgIcon::Critical, MsgButtons::Ok, MsgAnswer::Ok});
}

} // namespace tolvan
