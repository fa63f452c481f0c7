#pragma once

#include "config/ConfigStore.h"
#include "monitor/ReceiveWatch.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/LocaleText.h"
#include "platform/Processes.h"
#include "platform/Speech.h"

namespace tolvan {

// Everything a screen reaches outside itself: the configuration store and the
// platform services. main() fills it with the real services, tests with fakes.
struct AppContext {
    ConfigStore store;
    Dialogs* dialogs = nullptr;
    Speaker* speaker = nullptr;
    DesktopService* desktop = nullptr;
    ProcessService* processes = nullptr;
    Clock* clock = nullptr;
    LocaleText locale;
    // The watch on the receive folder: it outlives every screen.
    ReceiveWatch receiveWatch{store};
};

} // namespace tolvan
