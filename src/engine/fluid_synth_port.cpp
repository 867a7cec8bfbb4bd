#include "engine/fluid_synth_port.h"

#include "engine/alsa_quiet.h"
#include "engine/audio_stream.h"
#include "engine/clock.h"
#include "engine/stream_clock.h"
#include "engine/synth_grid.h"

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <mutex>
#include <vector>

namespace fw {

namespace {

void quietLog(int, const char*, void*) {}

constexpr int kSampleRate = 44100;
// Sound queued at the server: long enough that a busy machine does not make it run dry, short
// enough that a pick is heard at once. The server asks for a small piece of it at a time, so
// that the device itself keeps a few milliseconds (a device asked for almost none keeps the
// sound server busy at three times the cost); the program wakes for sound 200 times a second.
constexpr double kBufferMillis = 24;
constexpr double kRequestMillis = 5;
// Room for the sound server's callback to run late before a message misses its frame.
constexpr std::int64_t kMarginMicros = 4000;
// Periods for FluidSynth's own drivers, when no PulseAudio server answers.
constexpr int kFallbackPeriod = 512;
constexpr int kFallbackPeriods = 2;

} // namespace

void silenceFluidSynthLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, quietLog, nullptr);
    });
}

bool applyToFluidSynth(void* synthPtr, std::uint32_t packed) {
    auto* synth = static_cast<fluid_synth_t*>(synthPtr);
    const int status = static_cast<int>(packed & 0xFF);
    const int d1 = static_cast<int>((packed >> 8) & 0x7F);
    const int d2 = static_cast<int>((packed >> 16) & 0x7F);
    if (status < 0x80 || status >= 0xF0)
        return false;
    const int channel = status & 0x0F;
    switch (status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, channel, d1);
        break;
    case 0x90:
        if (d2 == 0)
            fluid_synth_noteoff(synth, channel, d1);
        else
            fluid_synth_noteon(synth, channel, d1, d2);
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, d1, d2);
        break;
    case 0xB0:
        fluid_synth_cc(synth, channel, d1, d2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, channel, d1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, d1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, channel, d1 | (d2 << 7));
        break;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

struct FluidSynthPort::Impl {
    std::string soundFont;
    // The SoundFont takes a noticeable time to load, so it loads in the background from
    // construction on, and the first open (the first beat) rarely has to wait for it.
    std::future<bool> loading;
    std::unique_ptr<SynthGrid> grid;
    bool soundFontFailed = false;
    StreamClock streamClock{kSampleRate, kMarginMicros};
    std::unique_ptr<AudioStream> stream;

    // Messages from the window thread, taken by the audio thread at its next callback.
    std::mutex inboxMutex;
    std::vector<std::pair<std::int64_t, std::uint32_t>> inbox;
    std::vector<std::pair<std::int64_t, std::uint32_t>> taken;
    std::atomic<std::int64_t> late{0};
    std::atomic<int> voices{0};

    bool makeGrid() {
        if (grid)
            return true;
        if (soundFontFailed)
            return false;
        auto made = std::make_unique<SynthGrid>(kSampleRate, soundFont);
        if (!made->loaded()) {
            soundFontFailed = true;
            return false;
        }
        grid = std::move(made);
        return true;
    }

    // On the audio thread.
    void render(std::int64_t now, int frames, float* left, float* right) {
        streamClock.update(now, grid->position() + frames);
        {
            std::lock_guard<std::mutex> lock(inboxMutex);
            taken.swap(inbox);
        }
        for (const auto& [stamp, packed] : taken)
            grid->post(streamClock.frameFor(stamp), packed);
        taken.clear();
        grid->render(frames, left, right);
        late.store(grid->lateMessages(), std::memory_order_relaxed);
        voices.store(grid->activeVoices(), std::memory_order_relaxed);
    }

    void post(std::int64_t stamp, std::uint32_t packed) {
        std::lock_guard<std::mutex> lock(inboxMutex);
        inbox.emplace_back(stamp, packed);
    }
};

FluidSynthPort::FluidSynthPort(std::string soundFont) : impl_(std::make_unique<Impl>()) {
    impl_->soundFont = std::move(soundFont);
    silenceFluidSynthLog();
    silenceAlsaErrors();
    impl_->loading =
        std::async(std::launch::async, [impl = impl_.get()] { return impl->makeGrid(); });
}

FluidSynthPort::~FluidSynthPort() {
    if (impl_->loading.valid())
        impl_->loading.wait();
    // The stream's thread renders from the grid: it stops first.
    impl_->stream.reset();
    impl_->grid.reset();
}

std::string FluidSynthPort::name() const {
    return "Built-in synthesizer (General MIDI)";
}

bool FluidSynthPort::open() {
    if (impl_->stream)
        return true;
    if (impl_->loading.valid())
        impl_->loading.get();
    if (!impl_->makeGrid())
        return false;
    auto render = [impl = impl_.get()](std::int64_t now, int frames, float* left, float* right) {
        impl->render(now, frames, left, right);
    };
    impl_->stream = openPulseAudioStream(kSampleRate, kBufferMillis, kRequestMillis, render);
    // JACK is left out: a client that finds no JACK server may try to start one.
    for (const char* driver : {"pipewire", "alsa"}) {
        if (impl_->stream)
            break;
        impl_->stream =
            openFluidAudioStream(driver, kSampleRate, kFallbackPeriod, kFallbackPeriods, render);
    }
    return impl_->stream != nullptr;
}

bool FluidSynthPort::usable() const {
    return impl_->stream != nullptr;
}

bool FluidSynthPort::send(std::uint32_t packed) {
    return sendAt(packed, monotonicMicros());
}

bool FluidSynthPort::sendAt(std::uint32_t packed, std::int64_t monoMicros) {
    if (!impl_->stream)
        return false;
    // Clock, start and stop are for other programs; the synthesizer has no use for them.
    if (isSystemRealtime(static_cast<int>(packed & 0xFF)))
        return true;
    impl_->post(monoMicros, packed);
    return true;
}

void FluidSynthPort::reset() {
    // Only an open port has sounding notes; before that the synthesizer may still be loading.
    if (impl_->stream)
        impl_->post(monotonicMicros(), SynthGrid::kAllSoundsOff);
}

std::string FluidSynthPort::driverName() const {
    return impl_->stream ? impl_->stream->driverName() : "";
}

double FluidSynthPort::latencyMillis() const {
    if (!impl_->stream)
        return 0;
    return impl_->stream->bufferMillis() + static_cast<double>(kMarginMicros) / 1000.0;
}

std::int64_t FluidSynthPort::lateMessages() const {
    return impl_->late.load(std::memory_order_relaxed);
}

std::int64_t FluidSynthPort::underruns() const {
    return impl_->stream ? impl_->stream->underruns() : 0;
}

int FluidSynthPort::soundingVoices() const {
    return impl_->stream ? impl_->voices.load(std::memory_order_relaxed) : 0;
}

// ---------------------------------------------------------------------------------------------

struct OfflineSynth::Impl {
    Impl(int sampleRate, const std::string& soundFont) : grid(sampleRate, soundFont) {}
    SynthGrid grid;
    std::vector<float> left;
    std::vector<float> right;
};

OfflineSynth::OfflineSynth(int sampleRate, std::string soundFont)
    : impl_(std::make_unique<Impl>(sampleRate, soundFont)) {}

OfflineSynth::~OfflineSynth() = default;

bool OfflineSynth::loaded() const {
    return impl_->grid.loaded();
}

int OfflineSynth::sampleRate() const {
    return impl_->grid.sampleRate();
}

void OfflineSynth::send(std::uint32_t packed) {
    impl_->grid.post(impl_->grid.position(), packed);
}

void OfflineSynth::reset() {
    impl_->grid.post(impl_->grid.position(), SynthGrid::kAllSoundsOff);
}

void OfflineSynth::render(int frames, std::vector<std::int16_t>& out) {
    if (frames <= 0)
        return;
    const auto n = static_cast<std::size_t>(frames);
    impl_->left.resize(n);
    impl_->right.resize(n);
    impl_->grid.render(frames, impl_->left.data(), impl_->right.data());
    const std::size_t start = out.size();
    out.resize(start + 2 * n);
    const auto sample = [](float v) {
        return static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
    };
    for (std::size_t k = 0; k < n; ++k) {
        out[start + 2 * k] = sample(impl_->left[k]);
        out[start + 2 * k + 1] = sample(impl_->right[k]);
    }
}

} // namespace fw
