#pragma once

#include <QString>

namespace tolvan {

// Synthetic speech. speak() hands the text over and returns without waiting
// for it to be heard; texts are spoken in the order given, never two at once.
// With no engine or no sound device it returns at once and reports false.
class Speaker {
public:
    virtual ~Speaker() = default;
    virtual bool speak(const QString& text) = 0;
    // Whether a sound output is there to speak on; cheap, so callers ask first
    // and skip speaking (and the engine's set-up) when it is not.
    virtual bool available() { return true; }
};

} // namespace tolvan
