// A process of its own: the first use fixes espeak-ng's output mode, and here
// it is the one that plays through the sound device. The engine also picks its
// sound output once, at that first use, so each case runs in a process of its
// own too (ctest runs each case on its own).

#include "platform/EspeakSpeaker.h"

#include "platform/PlatformTestSupport.h"
#include "platform/PrivateSoundServer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

using namespace tolvan;
using namespace tolvan::test;

namespace {

constexpr int kSpeakLimitMs = 30000;

// Whether this process has set the engine up already (with the sound output of that moment).
bool g_engineUsed = false;

// Speaks on a helper thread so that a hang fails the test instead of stalling
// it; a speaker stuck past the limit cannot be stopped, so the process ends.
bool speakWithin(EspeakSpeaker& speaker, const QString& text)
{
    g_engineUsed = true;
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    bool spoken = false;
    std::thread worker([&] {
        const bool result = speaker.speak(text);
        const std::lock_guard guard(lock);
        spoken = result;
        done = true;
        finished.notify_one();
    });
    std::unique_lock wait(lock);
    if (!finished.wait_for(wait, std::chrono::milliseconds(kSpeakLimitMs), [&] { return done; })) {
        std::fprintf(stderr, "speak(\"%s\") did not return within %d ms\n", qPrintable(text), kSpeakLimitMs);
        std::_Exit(EXIT_FAILURE);
    }
    wait.unlock();
    worker.join();
    return spoken;
}

TEST(SpeakerWithoutDevice, FailsAtOnceAndKeepsWorking)
{
    // Neither a sound server nor an ALSA device can answer: the server address
    // leads nowhere and ALSA reads an empty configuration.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid() && writeFile(dir.filePath("alsa.conf"), "", false));
    const ScopedEnv server("PULSE_SERVER", QByteArray("unix:") + dir.filePath("no-server").toUtf8());
    const ScopedEnv alsa("ALSA_CONFIG_PATH", dir.filePath("alsa.conf").toUtf8());

    EspeakSpeaker speaker;
    EXPECT_FALSE(speaker.available());
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(speakWithin(speaker, QStringLiteral("Sound on")));
    // Again: the engine is set up once and kept, and a second call must not hang.
    EXPECT_FALSE(speakWithin(speaker, QStringLiteral("Sound off")));
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST(SpeakerWithSoundServer, QueuesAtOnceAndSpeaksOneAfterTheOther)
{
    if (g_engineUsed) {
        GTEST_SKIP() << "needs a process of its own: --gtest_filter=SpeakerWithSoundServer.*";
    }
    PrivateSoundServer sound;
    const QString problem = sound.start();
    if (problem.contains("not installed")) {
        GTEST_SKIP() << problem.toStdString();
    }
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
    const ScopedEnv server("PULSE_SERVER", sound.address());
    const ScopedEnv home("HOME", sound.home().toUtf8());

    EspeakSpeaker speaker;
    EXPECT_TRUE(speaker.available());
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(speakWithin(speaker, QStringLiteral("Welcome")));
    EXPECT_TRUE(speakWithin(speaker, QStringLiteral("A Message Has Arrived")));
    // The caller (the event loop) is never held up by the speaking.
    EXPECT_LT(clock.elapsed(), 250);
    ASSERT_TRUE(speaker.waitUntilQuiet(kSpeakLimitMs));
    // "Welcome" lasts about half a second, the arrival notice over a second:
    // spoken together they would end together.
    EXPECT_GE(clock.elapsed(), 1100);
}

} // namespace
