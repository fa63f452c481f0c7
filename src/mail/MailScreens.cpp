#include "mail/MailScreens.h"

#include "shell/ScreenRegistry.h"

namespace tolvan {

void registerMailScreens(ScreenRegistry&)
{
}

} // namespace tolvan
