#include "shell/PacketTerminal.h"

namespace tolvan {

const QStringList& PacketTerminalTitles()
{
    static const QStringList titles = {QStringLiteral("WinTNC V 2.12"), QStringLiteral("Term"),
                                       QStringLiteral("TOLVAN Terminal")};
    return titles;
}

DesktopResult RaisePacketTerminal(DesktopService& desktop)
{
    bool searched = false;
    for (const QString& title : PacketTerminalTitles()) {
        const DesktopResult r = desktop.raiseWindow(title, WindowShow::Maximized);
        if (r == DesktopResult::Done) {
            return r;
        }
        searched = searched || r != DesktopResult::NotAvailable;
    }
    return searched ? DesktopResult::NotFound : DesktopResult::NotAvailable;
}

} // namespace tolvan
