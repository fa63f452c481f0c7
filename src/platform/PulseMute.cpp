#include "platform/PulseMute.h"

#include <QDeadlineTimer>

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>

namespace tolvan {

namespace {

const char* const kDefaultSink = "@DEFAULT_SINK@";

struct Confirmation {
    bool done = false;
    bool success = false;
};

void onSuccess(pa_context*, int success, void* userData)
{
    auto* state = static_cast<Confirmation*>(userData);
    state->success = success != 0;
    state->done = true;
}

// One connection to the server, driven by prepare/poll/dispatch against a
// deadline: a blocking iterate can wait forever on a server that stopped answering.
class PulseConnection {
public:
    explicit PulseConnection(int timeoutMs)
        : m_deadline(timeoutMs)
        , m_loop(pa_mainloop_new())
        , m_context(m_loop ? pa_context_new(pa_mainloop_get_api(m_loop), "TOLVAN Packet Messaging") : nullptr)
    {
    }
    ~PulseConnection()
    {
        if (m_context) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        if (m_loop) {
            pa_mainloop_free(m_loop);
        }
    }
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    pa_context* context() const { return m_context; }

    bool connect()
    {
        if (!m_context || pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            return false;
        }
        runUntil([this] {
            return !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) ||
                   pa_context_get_state(m_context) == PA_CONTEXT_READY;
        });
        return pa_context_get_state(m_context) == PA_CONTEXT_READY;
    }

    // Runs the loop until the operation's callback set done, or the deadline.
    bool await(pa_operation* operation, const bool& done)
    {
        if (!operation) {
            return false;
        }
        const bool finished = runUntil([&done] { return done; });
        if (!finished) {
            pa_operation_cancel(operation);
        }
        pa_operation_unref(operation);
        return finished;
    }

private:
    template <typename Done> bool runUntil(Done done)
    {
        while (!done()) {
            const qint64 leftMs = m_deadline.remainingTime();
            if (leftMs <= 0 || pa_mainloop_prepare(m_loop, int(leftMs * 1000)) < 0 || pa_mainloop_poll(m_loop) < 0 ||
                pa_mainloop_dispatch(m_loop) < 0) {
                return false;
            }
        }
        return true;
    }

    QDeadlineTimer m_deadline;
    pa_mainloop* m_loop;
    pa_context* m_context;
};

} // namespace

DesktopResult setDefaultOutputMute(bool muted, int timeoutMs)
{
    PulseConnection pulse(timeoutMs);
    if (!pulse.connect()) {
        return DesktopResult::NotAvailable;
    }
    Confirmation set;
    if (!pulse.await(pa_context_set_sink_mute_by_name(pulse.context(), kDefaultSink, muted ? 1 : 0, &onSuccess, &set),
                     set.done) ||
        !set.success) {
        return DesktopResult::Failed;
    }
    return DesktopResult::Done;
}

} // namespace tolvan
