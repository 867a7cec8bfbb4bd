// The built-in synthesizer through a real sound server. scripts/test starts a user-space
// PulseAudio server with a null sink, whose monitor is recorded with parec.
#include "engine/engine.h"
#include "engine/fluid_synth_port.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

bool soundServerRunning() { return std::system("pactl info >/dev/null 2>&1") == 0; }

// Records the default sink's monitor as raw 16-bit mono samples until stopped.
class MonitorRecording {
public:
    explicit MonitorRecording(std::string file) : file_(std::move(file)) {
        const std::string cmd = "exec parec --raw --format=s16le --rate=44100 --channels=1 "
                                "--latency-msec=20 -d @DEFAULT_MONITOR@ > '" +
                                file_ + "'";
        const char* argv[] = {"sh", "-c", cmd.c_str(), nullptr};
        started_ = posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv),
                               environ) == 0;
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
        std::remove(file_.c_str());
        return samples;
    }
    bool started() const { return started_; }

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
    FluidSynthPort port;
    ASSERT_TRUE(port.open()) << "the built-in synthesizer did not open an audio driver";
    EXPECT_FALSE(port.driverName().empty());
    EXPECT_LE(port.bufferMillis(), 10.0);

    MonitorRecording rec("/tmp/fw-audio-" + std::to_string(getpid()) + ".raw");
    ASSERT_TRUE(rec.started());
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(port.send(packShortMessage(0xC1, 25, 0)));
    ASSERT_TRUE(port.send(packShortMessage(0x91, 52, 110)));
    std::this_thread::sleep_for(1200ms);
    port.reset(); // "Silence"
    std::this_thread::sleep_for(1500ms);
    const auto samples = rec.stop();
    ASSERT_GT(samples.size(), 44100u) << "the recording is too short";

    // Find the loudest tenth of a second: the note must be there, well above the floor.
    double loudest = 0;
    for (std::size_t i = 0; i + 4410 < samples.size(); i += 4410)
        loudest = std::max(loudest, rms(samples, i, i + 4410));
    EXPECT_GT(loudest, 300.0) << samples.size() << " samples recorded";
    // The last half second, well after "Silence", is quiet.
    EXPECT_LT(rms(samples, samples.size() - 22050, samples.size()), loudest / 100);
}

TEST(AudioPath, WithoutAnyAudioOutputTheEngineKeepsLoggingQuietly) {
    // Point every driver at nothing: no server socket, and (on these machines) no sound card.
    setenv("PULSE_SERVER", "unix:/nonexistent/fretwright-test", 1);
    setenv("PIPEWIRE_REMOTE", "/nonexistent/fretwright-test", 1);
    setenv("ALSA_CONFIG_PATH", "/nonexistent/fretwright-asound.conf", 1);
    FluidSynthPort port;
    test::ManualClock clock;
    test::ScriptedPrompts prompts;
    VectorLog log;
    MidiOutput out(clock, log, prompts);
    out.setPort(&port);
    Engine engine(out);
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
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string outText = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(port.usable());
    EXPECT_EQ(err, "");
    EXPECT_EQ(outText, "");
    EXPECT_TRUE(prompts.messages.empty());
    // Note-offs of the chord's entry, then the two plucks: logged though nothing sounded.
    ASSERT_EQ(log.lines.size(), 12u);
    EXPECT_EQ(log.lines[10].substr(0, 8), "91296400");
    EXPECT_EQ(log.lines[11].substr(0, 8), "912A6400");
}

} // namespace
} // namespace fw
