#pragma once

#include "engine/midi_port.h"

#include <memory>
#include <string>
#include <vector>

namespace fw {

// The built-in synthesizer: FluidSynth with the General MIDI SoundFont, played through
// FluidSynth's audio drivers with a short buffer so that picks are heard at once.
class FluidSynthPort final : public MidiPort {
public:
    explicit FluidSynthPort(std::string soundFont = FW_DEFAULT_SOUNDFONT);
    ~FluidSynthPort() override;

    std::string name() const override;
    bool open() override;
    bool usable() const override;
    bool send(std::uint32_t packed) override;
    void reset() override;

    // The audio driver that opened ("pulseaudio", "alsa", ...), empty while closed.
    std::string driverName() const;
    // Audio latency of the driver's buffers in milliseconds.
    double bufferMillis() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Renders MIDI through the same synthesizer without any audio device: messages go in, 16-bit
// stereo samples come out. Used for offline rendering and to check what the synthesizer plays.
class OfflineSynth {
public:
    explicit OfflineSynth(int sampleRate = 44100, std::string soundFont = FW_DEFAULT_SOUNDFONT);
    ~OfflineSynth();
    OfflineSynth(const OfflineSynth&) = delete;
    OfflineSynth& operator=(const OfflineSynth&) = delete;

    bool loaded() const;
    int sampleRate() const;
    void send(std::uint32_t packed);
    void reset();
    // Appends frames*2 interleaved samples (left, right) to out.
    void render(int frames, std::vector<std::int16_t>& out);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Applies one packed short message to a FluidSynth synthesizer. Returns false for messages the
// synthesizer does not take (a status below 0x80 or a system message).
bool applyToFluidSynth(void* synth, std::uint32_t packed);

// Keeps FluidSynth quiet on the terminal: errors are reported by the callers instead.
void silenceFluidSynthLog();

} // namespace fw
