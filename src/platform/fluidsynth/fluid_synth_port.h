#pragma once

#include "engine/midi_port.h"
#include "platform/fluidsynth/fluid_calls.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fw {

// The built-in synthesizer: FluidSynth with a SoundFont (the General MIDI one unless another is
// chosen), played to the sound server or through JACK. Every message sounds a constant latency
// after its time stamp, at its own frame of the audio stream, so notes keep the spacing they were
// sent with whatever the audio period; the period can then be long enough for an idle program to
// cost next to nothing.
//
// The sound path is watched four times a second: a sound server or JACK server that goes away
// is noticed, the sound moves from JACK to the sound server where one runs, and comes back by
// itself, every channel where it stood, once the server chosen answers again (asked every
// second).
//
// Only the samples of the instruments played are loaded, by a worker thread of the port's own:
// a program change asks for its instrument when it is sent and takes effect once it is loaded
// (at once for an instrument played before). Changing the SoundFont or the sound system also
// happens on that thread; each takes the channels' instruments, bend and controllers along.
class FluidSynthPort final : public MidiPort {
public:
    enum class AudioSystem { SoundServer, Jack };
    // Told the outcome on the worker thread: an error text, or nothing when all went well.
    using Done = std::function<void(std::optional<std::string> error)>;
    // Told on the worker thread what happened to the sound by itself (a server gone or back, a
    // SoundFont that can no longer be read); an empty text when all is well again.
    using Notice = std::function<void(const std::string& text)>;

    explicit FluidSynthPort(std::string soundFont = FW_DEFAULT_SOUNDFONT);
    ~FluidSynthPort() override;

    // Plays this SoundFont from now on. A file that is missing, unreadable or not a SoundFont is
    // refused and the SoundFont playing stays. The sound goes on: it is loaded on the worker and
    // the audio thread takes it over, every channel as it stands; sounding notes are released.
    void setSoundFont(std::string path, Done done = {});
    // The SoundFont playing (or to play once the port opens).
    std::string soundFont() const;
    // JACK when a JACK server runs, otherwise the sound server. done gets a note when JACK was
    // asked for and is not there.
    void setAudioSystem(AudioSystem system, Done done = {});
    // Loads the samples of a program of bank 0 ahead of its program change (the alternate
    // instruments), so that the first note after the change is on time. Kept across changes of
    // SoundFont.
    void preload(int program);
    // Master volume in percent (0..100), for live play only.
    void setVolume(int percent);
    // Waits until every change asked for so far is done (tests, benches).
    void waitUntilSettled();
    void setNotice(Notice notice);
    // Runs the watch of the sound path now, asking a server away at once (tests).
    void checkSoundPath();

    std::string name() const override;
    // Starts opening the sound on the port's worker and returns at once: true once it is open.
    bool open() override;
    bool opening() const override;
    // Opens and waits until it is open or has failed (tests, benches).
    bool openAndWait();
    bool usable() const override;
    bool send(MidiMessage message) override;
    bool sendAt(MidiMessage message, std::int64_t monoMicros) override;
    void reset() override;

    // The audio driver that opened ("pulseaudio", "alsa", ...), empty while closed or while the
    // server is away.
    std::string driverName() const;
    // From a message's time stamp to its sound, in milliseconds; 0 while closed.
    double latencyMillis() const;
    // Messages that came too late for their frame, and times the sound system ran dry.
    std::int64_t lateMessages() const;
    // Messages dropped on their way to the sound because a queue was full.
    std::int64_t droppedMessages() const;
    std::int64_t underruns() const;
    // Sound streams opened so far: a change of SoundFont opens none.
    std::int64_t streamsOpened() const;
    // Voices sounding as of the last piece of sound rendered; 0 while closed.
    int soundingVoices() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Why a file cannot serve as a SoundFont ("... does not exist", "... cannot be read", "... is not
// a SoundFont"), naming it; nothing when it looks like one (SF2 or SF3).
std::optional<std::string> soundFontProblem(const std::string& path);

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
    void send(MidiMessage message);
    void reset();
    // Appends frames*2 interleaved samples (left, right) to out.
    void render(int frames, std::vector<std::int16_t>& out);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace fw
