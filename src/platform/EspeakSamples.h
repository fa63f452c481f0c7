#pragma once

#include <QString>

#include <vector>

namespace tolvan {

struct SynthesizedSpeech {
    bool ok = false;
    int sampleRate = 0;
    std::vector<short> samples; // 16-bit mono
};

// Synthesises text to samples without any sound device, to prove that the
// engine speaks. espeak-ng serves one output mode per process: a process that
// has spoken aloud gets ok=false here, and one that used this cannot speak
// aloud, so a test of this runs in a process of its own.
SynthesizedSpeech synthesizeSpeech(const QString& text);

} // namespace tolvan
