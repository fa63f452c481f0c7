#include "platform/EspeakSpeaker.h"

#include "platform/EspeakSamples.h"

#include <QDir>
#include <QFileInfo>

#include <alsa/asoundlib.h>
#include <espeak-ng/speak_lib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tolvan {

namespace {

// Without a sound device ALSA writes its failures to stderr on every attempt;
// the speaker reports them through its result instead.
void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// espeak-ng is initialised once per process and never terminated: a second
// initialisation after espeak_Terminate hangs in the next terminate. Its output
// mode is fixed by the first use.
struct Engine {
    std::mutex lock; // espeak-ng is not reentrant; every call holds this
    bool initialised = false;
    espeak_AUDIO_OUTPUT mode = AUDIO_OUTPUT_SYNCH_PLAYBACK;
    int sampleRate = -1;

    // Whether the engine runs in this mode; the lock must be held.
    bool readyFor(espeak_AUDIO_OUTPUT wanted)
    {
        if (!initialised) {
            initialised = true;
            mode = wanted;
            snd_lib_error_set_handler(&ignoreAlsaError);
            // DONT_EXIT: without its data files espeak-ng would otherwise end the program.
            sampleRate = espeak_Initialize(wanted, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
            if (sampleRate > 0 && espeak_SetVoiceByName("en") != EE_OK) {
                sampleRate = -1;
            }
        }
        return mode == wanted && sampleRate > 0;
    }

    espeak_ERROR synth(const QString& text, void* userData)
    {
        const QByteArray utf8 = text.toUtf8();
        return espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                            userData);
    }
};

Engine& engine()
{
    static Engine instance;
    return instance;
}

int collectSamples(short* wav, int count, espeak_EVENT* events)
{
    if (wav && count > 0 && events) {
        auto* out = static_cast<std::vector<short>*>(events->user_data);
        out->insert(out->end(), wav, wav + count);
    }
    return 0; // go on synthesising
}

} // namespace

bool EspeakSpeaker::available()
{
    // PulseAudio (or PipeWire's pulse server) named in the environment.
    const QByteArray server = qgetenv("PULSE_SERVER");
    if (!server.isEmpty()) {
        // Only a local socket can be checked without connecting; anything else is tried.
        return !server.startsWith("unix:") || QFileInfo::exists(QString::fromLocal8Bit(server.mid(5)));
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/pulse/native"))) {
        return true;
    }
    if (QFileInfo::exists(QStringLiteral("/var/run/pulse/native"))) {
        return true;
    }
    // A sound card's playback device for plain ALSA.
    return !QDir(QStringLiteral("/dev/snd"), QStringLiteral("pcmC*p"), QDir::NoSort, QDir::System).isEmpty();
}

namespace {

// Speaks one text and returns when it has been heard.
bool speakNow(const QString& text)
{
    Engine& e = engine();
    const std::lock_guard guard(e.lock);
    if (!e.readyFor(AUDIO_OUTPUT_SYNCH_PLAYBACK)) {
        return false;
    }
    // In this mode espeak_Synth returns once the sound has played; without a
    // device it fails at once.
    return e.synth(text, nullptr) == EE_OK;
}

// How long the farewell may keep the ending program waiting.
constexpr int kLastWordsMs = 10000;

} // namespace

// The texts waiting to be spoken and the thread that speaks them. Shared with
// that thread, so a thread still speaking when the speaker goes away finds
// its queue intact.
struct EspeakSpeaker::Queue {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<QString> texts;
    bool speaking = false;
    bool stopping = false;
    std::thread worker;

    static void run(const std::shared_ptr<Queue>& q)
    {
        std::unique_lock hold(q->lock);
        for (;;) {
            q->changed.wait(hold, [&] { return q->stopping || !q->texts.empty(); });
            if (q->texts.empty()) {
                return; // stopping, with nothing left to say
            }
            const QString text = std::move(q->texts.front());
            q->texts.pop_front();
            q->speaking = true;
            hold.unlock();
            speakNow(text);
            hold.lock();
            q->speaking = false;
            q->changed.notify_all();
        }
    }
};

EspeakSpeaker::EspeakSpeaker()
    : m_queue(std::make_shared<Queue>())
{
}

EspeakSpeaker::~EspeakSpeaker()
{
    const bool quiet = waitUntilQuiet(kLastWordsMs);
    std::unique_lock hold(m_queue->lock);
    m_queue->texts.clear();
    m_queue->stopping = true;
    m_queue->changed.notify_all();
    hold.unlock();
    if (m_queue->worker.joinable()) {
        // A text that will not end is left to its thread, which holds the queue.
        if (quiet) {
            m_queue->worker.join();
        } else {
            m_queue->worker.detach();
        }
    }
}

bool EspeakSpeaker::speak(const QString& text)
{
    if (!available()) {
        return false; // no output: do not wait for the engine to find that out
    }
    const std::lock_guard hold(m_queue->lock);
    if (!m_queue->worker.joinable()) {
        m_queue->worker = std::thread(&Queue::run, m_queue);
    }
    m_queue->texts.push_back(text);
    m_queue->changed.notify_all();
    return true;
}

bool EspeakSpeaker::waitUntilQuiet(int timeoutMs)
{
    std::unique_lock hold(m_queue->lock);
    return m_queue->changed.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                     [this] { return m_queue->texts.empty() && !m_queue->speaking; });
}

SynthesizedSpeech synthesizeSpeech(const QString& text)
{
    Engine& e = engine();
    const std::lock_guard guard(e.lock);
    SynthesizedSpeech result;
    if (!e.readyFor(AUDIO_OUTPUT_SYNCHRONOUS)) {
        return result;
    }
    espeak_SetSynthCallback(&collectSamples);
    result.ok = e.synth(text, &result.samples) == EE_OK;
    result.sampleRate = e.sampleRate;
    return result;
}

} // namespace tolvan
