#include "monitor/MonitorScreens.h"

#include "mail/inboxform.h"
#include "monitor/received.h"
#include "pmba/receivefile.h"
#include "shell/AppContext.h"
#include "shell/ScreenRegistry.h"

namespace tolvan {

// The receive path's screens: the received screen, the inbox it hands mails
// to, and the screen that shows and saves a received attachment.
void registerMonitorScreens(ScreenRegistry& registry)
{
    registry.add(QStringLiteral("received"), [](ScreenRegistry& r) { return new received(r); });
    registry.add(QStringLiteral("inboxform"), [](ScreenRegistry& r) { return new inboxform(r); });
    registry.add(QStringLiteral("receivefile"), [](ScreenRegistry& r) { return new receivefile(r); });
    // Arrivals are announced whichever screen is open.
    QObject::connect(&registry.context().receiveWatch, &ReceiveWatch::Arrived, &registry,
                     [&registry](const QString& folder, const QStringList& names) {
                         received::AnnounceArrival(registry, folder, names);
                     });
}

} // namespace tolvan
