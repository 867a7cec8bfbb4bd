#include "engine/fluid_synth_port.h"

#include "engine/alsa_quiet.h"

#include <fluidsynth.h>

#include <array>
#include <future>
#include <mutex>

namespace fw {

namespace {

void quietLog(int, const char*, void*) {}

fluid_settings_t* makeSettings(int sampleRate) {
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
    fluid_settings_setint(settings, "synth.reverb.active", 1);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_settings_setint(settings, "synth.polyphony", 256);
    // FluidSynth's own default (0.2) leaves a picked guitar some 30 dB below full scale, too
    // quiet beside other programs and in exported audio; seven strings at once still do not clip.
    fluid_settings_setnum(settings, "synth.gain", 0.6);
    return settings;
}

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
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_audio_driver_t* driver = nullptr;
    std::string driverName;
    bool soundFontFailed = false;

    bool makeSynth() {
        if (synth)
            return true;
        if (soundFontFailed)
            return false;
        settings = makeSettings(44100);
        // About 9 ms of buffering in three periods of 128 frames: short enough that a pick is
        // heard at once, with a spare period against dropouts on a busy machine.
        fluid_settings_setint(settings, "audio.period-size", 128);
        fluid_settings_setint(settings, "audio.periods", 3);
        synth = new_fluid_synth(settings);
        if (!synth || fluid_synth_sfload(synth, soundFont.c_str(), 1) == FLUID_FAILED) {
            soundFontFailed = true;
            if (synth)
                delete_fluid_synth(synth);
            delete_fluid_settings(settings);
            synth = nullptr;
            settings = nullptr;
            return false;
        }
        return true;
    }

    bool tryDriver(const char* name) {
        if (name && fluid_settings_setstr(settings, "audio.driver", name) != FLUID_OK)
            return false;
        driver = new_fluid_audio_driver(settings, synth);
        if (!driver)
            return false;
        char* chosen = nullptr;
        if (fluid_settings_dupstr(settings, "audio.driver", &chosen) == FLUID_OK && chosen) {
            driverName = chosen;
            fluid_free(chosen);
        }
        return true;
    }
};

FluidSynthPort::FluidSynthPort(std::string soundFont) : impl_(std::make_unique<Impl>()) {
    impl_->soundFont = std::move(soundFont);
    silenceFluidSynthLog();
    silenceAlsaErrors();
    impl_->loading =
        std::async(std::launch::async, [impl = impl_.get()] { return impl->makeSynth(); });
}

FluidSynthPort::~FluidSynthPort() {
    if (impl_->loading.valid())
        impl_->loading.wait();
    if (impl_->driver)
        delete_fluid_audio_driver(impl_->driver);
    if (impl_->synth)
        delete_fluid_synth(impl_->synth);
    if (impl_->settings)
        delete_fluid_settings(impl_->settings);
}

std::string FluidSynthPort::name() const {
    return "Built-in synthesizer (General MIDI)";
}

bool FluidSynthPort::open() {
    if (impl_->driver)
        return true;
    if (impl_->loading.valid())
        impl_->loading.get();
    if (!impl_->makeSynth())
        return false;
    // FluidSynth's own default first; JACK is left out of the fallbacks because a client that
    // finds no JACK server may try to start one.
    static const std::array<const char*, 3> fallbacks = {"pulseaudio", "pipewire", "alsa"};
    char* dflt = nullptr;
    std::string defaultDriver;
    if (fluid_settings_getstr_default(impl_->settings, "audio.driver", &dflt) == FLUID_OK && dflt)
        defaultDriver = dflt;
    if (!defaultDriver.empty() && defaultDriver != "jack" &&
        impl_->tryDriver(defaultDriver.c_str()))
        return true;
    for (const char* name : fallbacks) {
        if (name != defaultDriver && impl_->tryDriver(name))
            return true;
    }
    return false;
}

bool FluidSynthPort::usable() const {
    return impl_->driver != nullptr;
}

bool FluidSynthPort::send(std::uint32_t packed) {
    if (!impl_->driver)
        return false;
    applyToFluidSynth(impl_->synth, packed);
    return true;
}

void FluidSynthPort::reset() {
    // Only an open port has sounding notes; before that the synthesizer may still be loading.
    if (impl_->driver)
        fluid_synth_all_sounds_off(impl_->synth, -1);
}

std::string FluidSynthPort::driverName() const {
    return impl_->driver ? impl_->driverName : "";
}

double FluidSynthPort::bufferMillis() const {
    if (!impl_->driver)
        return 0;
    int period = 0;
    int periods = 0;
    double rate = 44100;
    fluid_settings_getint(impl_->settings, "audio.period-size", &period);
    fluid_settings_getint(impl_->settings, "audio.periods", &periods);
    fluid_settings_getnum(impl_->settings, "synth.sample-rate", &rate);
    return 1000.0 * period * periods / rate;
}

// ---------------------------------------------------------------------------------------------

struct OfflineSynth::Impl {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    int sampleRate = 44100;
    bool loaded = false;
};

OfflineSynth::OfflineSynth(int sampleRate, std::string soundFont)
    : impl_(std::make_unique<Impl>()) {
    silenceFluidSynthLog();
    impl_->sampleRate = sampleRate;
    impl_->settings = makeSettings(sampleRate);
    impl_->synth = new_fluid_synth(impl_->settings);
    impl_->loaded =
        impl_->synth && fluid_synth_sfload(impl_->synth, soundFont.c_str(), 1) != FLUID_FAILED;
}

OfflineSynth::~OfflineSynth() {
    if (impl_->synth)
        delete_fluid_synth(impl_->synth);
    delete_fluid_settings(impl_->settings);
}

bool OfflineSynth::loaded() const {
    return impl_->loaded;
}
int OfflineSynth::sampleRate() const {
    return impl_->sampleRate;
}

void OfflineSynth::send(std::uint32_t packed) {
    if (impl_->synth)
        applyToFluidSynth(impl_->synth, packed);
}

void OfflineSynth::reset() {
    if (impl_->synth)
        fluid_synth_all_sounds_off(impl_->synth, -1);
}

void OfflineSynth::render(int frames, std::vector<std::int16_t>& out) {
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(frames) * 2);
    if (!impl_->synth || frames <= 0)
        return;
    fluid_synth_write_s16(impl_->synth, frames, out.data() + start, 0, 2, out.data() + start, 1, 2);
}

} // namespace fw
