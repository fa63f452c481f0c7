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

// A platform service the context always holds: made from a reference, so it
// is never null and its users need no check. Used like a pointer; a test may
// put another service in its place by assigning one.
template <class T>
class Service {
public:
    // Implicit, so a context is filled as AppContext{store, dialogs, speaker, ...}.
    Service(T& service)
        : m_service(&service)
    {
    }
    T* operator->() const { return m_service; }
    T& operator*() const { return *m_service; }

private:
    T* m_service;
};

// Everything a screen reaches outside itself: the configuration store and the
// platform services. main() fills it with the real services, tests with fakes;
// every service must be given.
struct AppContext {
    ConfigStore store;
    Service<Dialogs> dialogs;
    Service<Speaker> speaker;
    Service<DesktopService> desktop;
    Service<ProcessService> processes;
    Service<Clock> clock;
    LocaleText locale;
    // The watch on the receive folder: it outlives every screen.
    ReceiveWatch receiveWatch{store};
};

} // namespace tolvan
