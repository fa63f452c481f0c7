#pragma once

#include "platform/Speech.h"

namespace tolvan {

// Speaks with espeak-ng and returns when the text has been spoken. The engine is
// initialised once per process on first use.
class EspeakSpeaker : public Speaker {
public:
    bool speak(const QString& text) override;
    // A sound server socket or an ALSA playback device exists.
    bool available() override;
};

} // namespace tolvan
