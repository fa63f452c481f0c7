#include "mail/MailScreens.h"

#include "mail/mailform.h"
#include "mail/readform.h"
#include "mail/saveform.h"
#include "shell/ScreenRegistry.h"

namespace tolvan {

void registerMailScreens(ScreenRegistry& registry)
{
    registry.add(QStringLiteral("mailform"), [](ScreenRegistry& r) { return new mailform(r); });
    registry.add(QStringLiteral("saveform"), [](ScreenRegistry& r) { return new saveform(r); });
    registry.add(QStringLiteral("readform"), [](ScreenRegistry& r) { return new readform(r); });
}

} // namespace tolvan
