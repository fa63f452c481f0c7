#pragma once

#include "platform/Speech.h"

#include <memory>

namespace tolvan {

// Speaks with espeak-ng on a speaking thread of its own, so the screens keep
// working while a text is spoken. Texts are spoken in the order given, one
// after the other, never two at once. The engine is initialised once per
// process on first use.
class EspeakSpeaker : public Speaker {
public:
    EspeakSpeaker();
    // Lets what is queued be heard (the farewell at QUIT), for a bounded time.
    ~EspeakSpeaker() override;
    EspeakSpeaker(const EspeakSpeaker&) = delete;
    EspeakSpeaker& operator=(const EspeakSpeaker&) = delete;

    // Queues the text and returns at once; false, with nothing queued, when
    // there is no sound output to speak on.
    bool speak(const QString& text) override;
    // A sound server socket or an ALSA playback device exists.
    bool available() override;
    // Waits until every queued text has been spoken; false when that takes
    // longer than timeoutMs.
    bool waitUntilQuiet(int timeoutMs);

    struct Queue;

private:
    std::shared_ptr<Queue> m_queue;
};

} // namespace tolvan
