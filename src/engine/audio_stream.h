#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace fw {

// A stream of stereo sound to the sound system, which asks for frames from a thread of its own.
class AudioStream {
public:
    // Fills frames of left and right; nowMicros is the monotonic time the stream asked. Returns
    // false while nothing sounds and nothing waits to: a stream may then pause until woken.
    // Asked for no frames, it only takes in what waits and tells.
    using Render =
        std::function<bool(std::int64_t nowMicros, int frames, float* left, float* right)>;

    virtual ~AudioStream() = default;
    // The sound system it plays through ("pulseaudio", "alsa", ...).
    virtual std::string driverName() const = 0;
    // Sound buffered ahead of what is heard, as asked of the sound system.
    virtual double bufferMillis() const = 0;
    // Times the sound system ran out of sound to play.
    virtual std::int64_t underruns() const { return 0; }
    // True once the sound system has gone (its server ended or dropped the stream): nothing
    // plays from this stream any more.
    virtual bool lost() const { return false; }
    // Something is to sound: a paused stream plays again. Any thread; never waits.
    virtual void wake() {}
    // Times the stream paused while nothing sounded.
    virtual std::int64_t pauses() const { return 0; }
};

// A PulseAudio stream (also served by PipeWire's PulseAudio service); none when no server runs.
// The server asks for sound in pieces of requestMillis and keeps bufferMillis queued; after an
// underrun the stream asks for a little more, up to 24 ms, and after half a minute without one it
// steps back towards what it first asked. While nothing sounds the stream is paused (corked), so
// an idle program does not wake for sound.
std::unique_ptr<AudioStream> openPulseAudioStream(int sampleRate, double bufferMillis,
                                                  double requestMillis, AudioStream::Render render);

// One of FluidSynth's own audio drivers ("pipewire", "alsa", ...), rendering through render.
std::unique_ptr<AudioStream> openFluidAudioStream(const std::string& driver, int sampleRate,
                                                  int periodFrames, int periods,
                                                  AudioStream::Render render);

// Our own JACK client, with two output ports connected to the system's playback ports where
// there are some; none when no JACK server runs (it never starts one). prepare is told JACK's
// sample rate and returns the render function for it, or none to give up.
std::unique_ptr<AudioStream>
openJackAudioStream(const std::function<AudioStream::Render(int)>& prepare);
// True when a JACK server answers.
bool jackServerRunning();

} // namespace fw
