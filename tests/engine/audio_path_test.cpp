// The built-in synthesizer through a real sound server. scripts/test starts a user-space
// PulseAudio server with a null sink, whose monitor is recorded with parec.
#include "beats/beat_pattern.h"
#include "engine/engine.h"
#include "platform/fluidsynth/fluid_synth_port.h"
#include "support/fakes.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fw {
namespace {

using namespace std::chrono_literals;

bool soundServerRunning() {
    return std::system("pactl info >/dev/null 2>&1") == 0;
}

// A null sink of the test's own on the running server, made the process's default through
// PULSE_SINK: what another program plays meanwhile (a test of another build, a bench) never
// reaches what this test records.
class OwnSink {
public:
    OwnSink() : name_("fw_test_" + std::to_string(getpid())) {
        const std::string cmd =
            "pactl load-module module-null-sink sink_name=" + name_ + " 2>/dev/null";
        if (FILE* p = popen(cmd.c_str(), "r")) {
            char line[32] = {};
            if (std::fgets(line, sizeof line, p))
                module_ = std::atoi(line);
            pclose(p);
        }
        if (module_ >= 0)
            setenv("PULSE_SINK", name_.c_str(), 1);
    }
    ~OwnSink() {
        if (module_ < 0)
            return;
        unsetenv("PULSE_SINK");
        const std::string cmd = "pactl unload-module " + std::to_string(module_) + " 2>/dev/null";
        [[maybe_unused]] const int rc = std::system(cmd.c_str());
    }
    // The source to record: the own sink's monitor, or the default one if none could be made.
    std::string monitor() const { return module_ >= 0 ? name_ + ".monitor" : "@DEFAULT_MONITOR@"; }

private:
    std::string name_;
    int module_ = -1;
};

// Records a sink's monitor as raw 16-bit mono samples until stopped.
class MonitorRecording {
public:
    MonitorRecording(std::string file, const OwnSink& sink) : file_(std::move(file)) {
        const std::string cmd = "exec parec --raw --format=s16le --rate=44100 --channels=1 "
                                "--latency-msec=20 -d " +
                                sink.monitor() + " > '" + file_ + "'";
        const char* argv[] = {"sh", "-c", cmd.c_str(), nullptr};
        started_ =
            posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) == 0;
    }
    std::vector<std::int16_t> stop() {
        if (started_) {
            kill(pid_, SIGINT);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        std::ifstream in(file_, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<std::int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        if (!std::getenv("FW_KEEP_RECORDING"))
            std::remove(file_.c_str());
        return samples;
    }
    bool started() const { return started_; }

    // Seconds of sound recorded so far.
    double seconds() const {
        std::error_code ec;
        const auto bytes = std::filesystem::file_size(file_, ec);
        return ec ? 0.0 : static_cast<double>(bytes) / (2 * 44100.0);
    }
    // The sound server hands the monitor's sound over in blocks, the first one late; wait until
    // at least this much has arrived (false after the timeout).
    bool waitFor(double wanted, std::chrono::seconds timeout = std::chrono::seconds(15)) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (seconds() < wanted) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }

private:
    std::string file_;
    pid_t pid_ = 0;
    bool started_ = false;
};

double rms(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to) {
    to = std::min(to, s.size());
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0;
}

TEST(AudioPath, BuiltInSynthesizerIsHeardThroughTheSoundServerAndSilenced) {
    if (!soundServerRunning())
        GTEST_SKIP() << "no sound server: the no-device test below covers this machine";
    OwnSink sink;
    FluidSynthPort port;
    ASSERT_TRUE(port.openAndWait()) << "the built-in synthesizer did not open an audio driver";
    EXPECT_FALSE(port.driverName().empty());
    EXPECT_GT(port.latencyMillis(), 0.0);
    EXPECT_LE(port.latencyMillis(), 30.0);

    MonitorRecording rec("/tmp/fw-audio-" + std::to_string(getpid()) + ".raw", sink);
    ASSERT_TRUE(rec.started());
    ASSERT_TRUE(rec.waitFor(0.01)) << "nothing arrives from the sink's monitor";
    const double before = rec.seconds();
    ASSERT_TRUE(port.send(MidiMessage::programChange(1, 25)));
    ASSERT_TRUE(port.send(MidiMessage::noteOn(1, 52, 110)));
    std::this_thread::sleep_for(1200ms);
    port.reset(); // "Silence"
    std::this_thread::sleep_for(1500ms);
    ASSERT_TRUE(rec.waitFor(before + 2.6)) << "the recording is too short";
    const auto samples = rec.stop();

    // Find the loudest tenth of a second: the note must be there, well above the floor.
    double loudest = 0;
    for (std::size_t i = 0; i + 4410 < samples.size(); i += 4410)
        loudest = std::max(loudest, rms(samples, i, i + 4410));
    EXPECT_GT(loudest, 300.0) << samples.size() << " samples recorded";
    // The last half second, well after "Silence", is quiet.
    EXPECT_LT(rms(samples, samples.size() - 22050, samples.size()), loudest / 100);
}

// Energy of one frequency in a stretch of samples (Goertzel).
double energyAt(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to, double hz,
                double rate) {
    const double w = 2 * M_PI * hz / rate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (std::size_t i = from; i < to && i < s.size(); ++i) {
        const double s0 = s[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

double noteHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// The first sample from `from` on that stands out of the silence.
std::size_t onsetFrom(const std::vector<std::int16_t>& s, std::size_t from) {
    while (from < s.size() && std::abs(s[from]) < 300)
        ++from;
    return from;
}

constexpr std::size_t kOnsetWindow = 17640; // 0.4 s

// The strongest frequency of a note's first 0.4 s, searched over an octave around it, lies
// within a quarter tone of the note.
void expectPitchOf(const std::vector<std::int16_t>& s, std::size_t onset, int note,
                   double rate = 44100) {
    double peakHz = 0;
    double peak = 0;
    const auto window = static_cast<std::size_t>(0.4 * rate);
    for (double hz = noteHz(note - 6); hz < noteHz(note + 6); hz += 0.5) {
        const double e = energyAt(s, onset, onset + window, hz, rate);
        if (e > peak) {
            peak = e;
            peakHz = hz;
        }
    }
    const double quarterTone = std::pow(2.0, 1.0 / 24);
    EXPECT_GT(peakHz, noteHz(note) / quarterTone);
    EXPECT_LT(peakHz, noteHz(note) * quarterTone);
}

// The play engine on the built-in synthesizer; log times come from a manual clock.
struct SynthRig {
    OwnSink sink; // made before the synthesizer opens its stream
    FluidSynthPort port;
    test::ManualClock clock{0, test::ManualClock::Stamps::System};
    test::ScriptedPrompts prompts;
    VectorLog log;
    MidiOutput out{clock, log, prompts};
    Engine engine{out};
    SynthRig() { out.setPort(&port); }
};

TEST(AudioPath, APickIsHeardAtThePitchOfItsNote) {
    if (!soundServerRunning())
        GTEST_SKIP() << "no sound server";
    SynthRig rig;
    Engine& engine = rig.engine;
    const int note = 57; // A below middle C, 220 Hz
    for (int s = 1; s <= 10; ++s)
        engine.st.chordMemory[1][1][s] = note - 2;
    engine.ui.checkedFret = 3; // two semitones up: the fret is part of the pitch
    engine.st.pickMemory[1][1] = "0------";

    engine.sequencerTick(); // opens the synthesizer, in the background
    rig.port.waitUntilSettled();
    ASSERT_TRUE(rig.port.usable());
    engine.pitchUpdaterTick(); // steel string guitar, no bend
    MonitorRecording rec("/tmp/fw-pick-" + std::to_string(getpid()) + ".raw", rig.sink);
    ASSERT_TRUE(rec.started());
    ASSERT_TRUE(rec.waitFor(0.01)) << "nothing arrives from the sink's monitor";
    const double before = rec.seconds();
    engine.pickAction(1);
    engine.sequencerTick();
    std::this_thread::sleep_for(1000ms);
    ASSERT_TRUE(rec.waitFor(before + 0.9)) << "the recording is too short";
    const auto samples = rec.stop();
    EXPECT_EQ(rig.log.lines.back().substr(0, 8), "91396400");

    // The fret and the chord entry both count in the pitch.
    const std::size_t onset = onsetFrom(samples, 0);
    ASSERT_LT(onset + kOnsetWindow, samples.size()) << "the pick was not heard";
    expectPitchOf(samples, onset, note);
}

TEST(AudioPath, TheAccompanimentIsHeardOnTheBeatChannel) {
    if (!soundServerRunning())
        GTEST_SKIP() << "no sound server";
    SynthRig rig;
    Engine& engine = rig.engine;
    // A beat as the beat manager makes it: row A is note 69 (440 Hz), one note in four beats.
    BeatRowNumbers rows;
    rows.fill("1");
    rows[0] = "69";
    std::string error;
    const auto line = compileBeatLine({"A---"}, rows, error);
    ASSERT_TRUE(line.has_value()) << error;
    engine.st.accompBeatLine = *line;
    engine.sequencerTick(); // opens the synthesizer; the guitar stays silent
    rig.port.waitUntilSettled();
    ASSERT_TRUE(rig.port.usable());

    MonitorRecording rec("/tmp/fw-beat-" + std::to_string(getpid()) + ".raw", rig.sink);
    ASSERT_TRUE(rec.started());
    ASSERT_TRUE(rec.waitFor(0.01)) << "nothing arrives from the sink's monitor";
    const double before = rec.seconds();
    engine.ui.accompBeat = true;
    for (int beat = 0; beat < 8; ++beat) {
        engine.sequencerTick();
        std::this_thread::sleep_for(200ms);
    }
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(rec.waitFor(before + 1.8)) << "the recording is too short";
    const auto samples = rec.stop();
    EXPECT_EQ(rig.log.lines.size(), 2u); // two passes, one note each

    // The note sounds at its pitch on the first pass, and again on the second, 0.8 s later:
    // give or take what a loaded machine adds to the test's own sleeps between the beats.
    const std::size_t onset = onsetFrom(samples, 0);
    ASSERT_LT(onset + 44100, samples.size()) << "the accompaniment was not heard";
    expectPitchOf(samples, onset, 69);
    bool again = false;
    for (std::size_t t = onset + 30870; t <= onset + 48510 && !again; t += 441) // 0.7-1.1 s
        again = rms(samples, t, t + 4410) > 2 * rms(samples, t - 8820, t - 4410);
    EXPECT_TRUE(again) << "the second pass was not heard";
}

// A JACK client of the test's own that records what reaches its input port.
class JackRecording {
public:
    JackRecording() {
        const std::string name = "fwrec" + std::to_string(getpid());
        client_ = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
        if (!client_)
            return;
        rate_ = static_cast<int>(jack_get_sample_rate(client_));
        samples_.resize(static_cast<std::size_t>(rate_) * 4);
        in_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &JackRecording::process, this);
        ok_ = in_ && jack_activate(client_) == 0;
    }
    ~JackRecording() {
        if (client_) {
            jack_deactivate(client_);
            jack_client_close(client_);
        }
    }
    bool ok() const { return ok_; }
    int rate() const { return rate_; }
    // Connects the first output port whose name matches the pattern to ours.
    bool connectFrom(const char* pattern) {
        const char** ports =
            jack_get_ports(client_, pattern, JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
        const bool done =
            ports && ports[0] && jack_connect(client_, ports[0], jack_port_name(in_)) == 0;
        if (ports)
            jack_free(ports);
        return done;
    }
    std::vector<std::int16_t> take() {
        jack_deactivate(client_);
        std::vector<std::int16_t> out(count_.load());
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<std::int16_t>(std::clamp(samples_[i], -1.0f, 1.0f) * 32767);
        return out;
    }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto* me = static_cast<JackRecording*>(self);
        const auto* in = static_cast<const float*>(jack_port_get_buffer(me->in_, frames));
        std::size_t at = me->count_.load();
        for (jack_nframes_t i = 0; i < frames && at < me->samples_.size(); ++i)
            me->samples_[at++] = in[i];
        me->count_.store(at);
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* in_ = nullptr;
    int rate_ = 0;
    bool ok_ = false;
    std::vector<float> samples_;
    std::atomic<std::size_t> count_{0};
};

TEST(AudioPath, TheGuitarIsHeardAtItsPitchThroughJackAudio) {
    if (!std::getenv("FW_TEST_JACK"))
        GTEST_SKIP() << "no JACK server (scripts/test starts one on the dummy backend)";
    FluidSynthPort port;
    port.setAudioSystem(FluidSynthPort::AudioSystem::Jack);
    ASSERT_TRUE(port.openAndWait());
    ASSERT_EQ(port.driverName(), "jack");
    JackRecording rec;
    ASSERT_TRUE(rec.ok());
    ASSERT_TRUE(rec.connectFrom("^Fretwright[^:]*:out_1$"));
    // JACK's own period is the latency, with a margin of a few milliseconds for the message.
    EXPECT_GT(port.latencyMillis(), 2.0);
    EXPECT_LT(port.latencyMillis(), 3.0 + 1000.0 * 4096 / rec.rate());

    ASSERT_TRUE(port.send(MidiMessage::programChange(1, 25)));
    // Another SoundFont, chosen while it plays, takes the instrument and the bend (a semitone
    // up) along, and the stream plays on.
    ASSERT_TRUE(port.send(MidiMessage::pitchBend(1, 0x3000)));
    const std::int64_t streams = port.streamsOpened();
    port.setSoundFont("/usr/share/sounds/sf2/FluidR3_GM.sf2");
    port.waitUntilSettled();
    EXPECT_EQ(port.streamsOpened(), streams);
    ASSERT_TRUE(port.send(MidiMessage::noteOn(1, 57, 110)));
    std::this_thread::sleep_for(1500ms);
    const auto samples = rec.take();
    const std::size_t onset = onsetFrom(samples, 0);
    ASSERT_LT(onset + static_cast<std::size_t>(rec.rate() / 2), samples.size())
        << "the note was not heard through JACK (" << samples.size() << " samples)";
    expectPitchOf(samples, onset, 58, rec.rate());

    // Back to the sound server: JACK's client goes away, the port keeps playing.
    port.setAudioSystem(FluidSynthPort::AudioSystem::SoundServer);
    port.waitUntilSettled();
    EXPECT_NE(port.driverName(), "jack");
}

TEST(AudioPath, WithoutAnyAudioOutputTheEngineKeepsLoggingQuietly) {
    // Point every driver at nothing: no server socket, and (on these machines) no sound card.
    setenv("PULSE_SERVER", "unix:/nonexistent/fretwright-test", 1);
    setenv("PIPEWIRE_REMOTE", "/nonexistent/fretwright-test", 1);
    setenv("ALSA_CONFIG_PATH", "/nonexistent/fretwright-asound.conf", 1);
    SynthRig rig;
    Engine& engine = rig.engine;
    for (int s = 1; s <= 10; ++s)
        engine.st.chordMemory[1][1][s] = 40 + s;
    engine.st.pickMemory[1][1] = "0------1------";
    engine.pickAction(1);

    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    for (int tick = 0; tick < 4; ++tick) {
        engine.sequencerTick();
        engine.pitchUpdaterTick();
    }
    rig.port.waitUntilSettled(); // the tries to open, on the port's worker
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string outText = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(rig.port.usable());
    EXPECT_EQ(err, "");
    EXPECT_EQ(outText, "");
    EXPECT_TRUE(rig.prompts.messages.empty());
    // The two plucks: logged though nothing sounded.
    ASSERT_EQ(rig.log.lines.size(), 2u);
    EXPECT_EQ(rig.log.lines[0].substr(0, 8), "91296400");
    EXPECT_EQ(rig.log.lines[1].substr(0, 8), "912A6400");
}

} // namespace
} // namespace fw
