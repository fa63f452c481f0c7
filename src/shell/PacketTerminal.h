#pragma once

#include "platform/Desktop.h"

#include <QStringList>

namespace tolvan {

// The packet terminal windows the operator may have open, searched in this
// order: WinTNC first, then the other terminals.
const QStringList& PacketTerminalTitles();

// Maximises and brings forward the first terminal window found. Done when one
// was raised, NotAvailable when no desktop can be searched, NotFound otherwise.
DesktopResult RaisePacketTerminal(DesktopService& desktop);

inline const QString kTerminalNotFoundText = QStringLiteral("WinTNC, EasyTerm, or TOLVAN Terminal window not found.");
inline const QString kTerminalBoxTitle = QStringLiteral("RodiraRudu");

} // namespace tolvan
