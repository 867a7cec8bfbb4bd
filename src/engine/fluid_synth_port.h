#pragma once

#include "engine/midi_port.h"

#include <memory>
#include <string>
#include <vector>

namespace fw {

// The built-in synthesizer: FluidSynth with the General MIDI SoundFont, played to the sound
// server. Every message sounds a constant latency after its time stamp, at its own frame of the
// audio stream, so notes keep the spacing they were sent with whatever the audio period; the
// period can then be long enough for an idle program to cost next to nothing.
class FluidSynthPort final : public MidiPort {
public:
    explicit FluidSynthPort(std::string soundFont = FW_DEFAULT_SOUNDFONT);
    ~FluidSynthPort() override;

    std::string name() const override;
    bool open() override;
    bool usable() const override;
    bool send(std::uint32_t packed) override;
    bool sendAt(std::uint32_t packed, std::int64_t monoMicros) override;
    void reset() override;

    // The audio driver that opened ("pulseaudio", "alsa", ...), empty while closed.
    std::string driverName() const;
    // From a message's time stamp to its sound, in milliseconds; 0 while closed.
    double latencyMillis() const;
    // Messages that came too late for their frame, and times the sound system ran dry.
    std::int64_t lateMessages() const;
    std::int64_t underruns() const;
    // Voices sounding as of the last piece of sound rendered; 0 while closed.
    int soundingVoices() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Renders MIDI through the same synthesizer without any audio device: messages go in, 16-bit
// stereo samples come out, each message applied at the frame reached when it was sent. Used for
// offline rendering and to check what the synthesizer plays.
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
