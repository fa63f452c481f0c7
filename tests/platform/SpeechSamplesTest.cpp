// A process of its own: espeak-ng serves one output mode per process, and this
// test needs the one that hands samples back instead of playing them.

#include "platform/EspeakSamples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace tolvan;

namespace {

TEST(EspeakSamples, WelcomeBecomesAudibleSamplesWithoutASoundDevice)
{
    const SynthesizedSpeech speech = synthesizeSpeech(QStringLiteral("Welcome"));
    ASSERT_TRUE(speech.ok);
    EXPECT_EQ(speech.sampleRate, 22050);
    ASSERT_GT(speech.samples.size(), 0u);
    // About half a second of speech, and not silence.
    EXPECT_GT(speech.samples.size(), size_t(speech.sampleRate / 10));
    EXPECT_LT(speech.samples.size(), size_t(speech.sampleRate * 3));
    const auto loudest = std::max_element(speech.samples.begin(), speech.samples.end(),
                                          [](short a, short b) { return std::abs(a) < std::abs(b); });
    EXPECT_GT(std::abs(*loudest), 1000);
}

TEST(EspeakSamples, TheEngineServesEveryLaterTextToo)
{
    const SynthesizedSpeech first = synthesizeSpeech(QStringLiteral("A Message Has Arrived"));
    const SynthesizedSpeech second = synthesizeSpeech(QStringLiteral("Goodbye"));
    ASSERT_TRUE(first.ok);
    ASSERT_TRUE(second.ok);
    // The longer announcement gives more samples: each call collects its own.
    EXPECT_GT(first.samples.size(), second.samples.size());
    EXPECT_GT(second.samples.size(), 0u);
}

} // namespace
