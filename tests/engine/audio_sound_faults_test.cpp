// The built-in synthesizer when the machine fails under it: a SoundFont deleted or cut short
// while its samples load on demand, a sound server or JACK server that dies and comes back.
// Every server here is the test's own.
#include "platform/fluidsynth/fluid_synth_port.h"
#include "support/sound_servers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

namespace fw {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// What the port tells of itself, as the "Config" tab hears it.
struct Notices {
    std::mutex mutex;
    std::vector<std::string> texts;
    void listen(FluidSynthPort& port) {
        port.setNotice([this](const std::string& text) {
            const std::lock_guard<std::mutex> lock(mutex);
            texts.push_back(text);
        });
    }
    std::vector<std::string> all() {
        const std::lock_guard<std::mutex> lock(mutex);
        return texts;
    }
};

// An instrument not played yet on the guitar's channel and a drum on the beat's: both must load
// samples from the file now.
void playNewInstruments(FluidSynthPort& port) {
    port.send(MidiMessage::programChange(1, 40)); // violin
    port.send(MidiMessage::noteOn(1, 64, 110));
    port.send(MidiMessage::noteOn(9, 38, 110)); // a snare of the drum kit
    port.waitUntilSettled();
}

TEST(SoundFaults, ASoundFontDeletedOrCutShortUnderOnDemandLoadingNeverCrashes) {
    test::OwnSoundServer server;
    ASSERT_TRUE(server.start()) << "pulseaudio did not start in " << server.dir();
    const std::string copy = server.dir() + "/copy.sf2";
    struct Case {
        const char* what;
        void (*harm)(const std::string&);
        bool fallsBack;
    };
    const Case cases[] = {
        {"deleted", [](const std::string& f) { fs::remove(f); }, false},
        {"cut short", [](const std::string& f) { fs::resize_file(f, 1 << 20); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::copy_file(FW_DEFAULT_SOUNDFONT, copy, fs::copy_options::overwrite_existing);
        FluidSynthPort port(copy);
        Notices notices;
        notices.listen(port);
        ASSERT_TRUE(port.openAndWait());
        port.send(MidiMessage::programChange(1, 25));
        port.send(MidiMessage::noteOn(1, 52, 100));
        port.waitUntilSettled();
        c.harm(copy);

        test::SinkRecording rec(server.dir() + "/take.raw");
        ASSERT_TRUE(test::waitUntil([&] { return rec.seconds() > 0.05; }));
        const double from = rec.seconds();
        playNewInstruments(port);
        std::this_thread::sleep_for(800ms);
        // The new instruments are heard: from the file held open, or from the default SoundFont.
        EXPECT_GT(rec.loudestFrom(from), 300.0);
        if (c.fallsBack) {
            EXPECT_EQ(port.soundFont(), FW_DEFAULT_SOUNDFONT);
            EXPECT_EQ(notices.all(),
                      std::vector<std::string>{"The SoundFont \"" + copy +
                                               "\" has changed on disk and can no longer be "
                                               "read: the default SoundFont plays instead."});
        } else {
            EXPECT_EQ(port.soundFont(), copy);
            EXPECT_TRUE(notices.all().empty());
        }
        EXPECT_EQ(port.driverName(), "pulseaudio");
    }
}

TEST(SoundFaults, TheSoundComesBackWhenTheSoundServerReturns) {
    test::OwnSoundServer server;
    ASSERT_TRUE(server.start());
    FluidSynthPort port;
    Notices notices;
    notices.listen(port);
    ASSERT_TRUE(port.openAndWait());
    ASSERT_EQ(port.driverName(), "pulseaudio");
    port.send(MidiMessage::programChange(1, 25));

    server.stop();
    port.checkSoundPath();
    EXPECT_EQ(notices.all(),
              std::vector<std::string>{"The sound server has stopped: the built-in "
                                       "synthesizer is silent until it comes back."});
    EXPECT_EQ(port.driverName(), "");
    // Play goes on meanwhile, never waiting for a server: messages are taken and kept.
    EXPECT_TRUE(port.usable());
    EXPECT_TRUE(port.openAndWait());
    EXPECT_TRUE(port.send(MidiMessage::programChange(1, 40)));
    port.checkSoundPath(); // still away: nothing new to say
    EXPECT_EQ(notices.all().size(), 1u);

    ASSERT_TRUE(server.start());
    port.checkSoundPath();
    EXPECT_EQ(port.driverName(), "pulseaudio");
    EXPECT_EQ(notices.all().back(), "");
    test::SinkRecording rec(server.dir() + "/take.raw");
    ASSERT_TRUE(test::waitUntil([&] { return rec.seconds() > 0.05; }));
    const double from = rec.seconds();
    port.send(MidiMessage::noteOn(1, 64, 110));
    std::this_thread::sleep_for(800ms);
    EXPECT_GT(rec.loudestFrom(from), 300.0);
}

TEST(SoundFaults, JackAudioFallsBackToTheSoundServerAndReturnsToJack) {
    test::OwnSoundServer server;
    test::OwnJackServer jack;
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(jack.start()) << "jackd did not start as " << jack.name() << ":\n" << jack.log();
    FluidSynthPort port;
    Notices notices;
    notices.listen(port);
    port.setAudioSystem(FluidSynthPort::AudioSystem::Jack);
    ASSERT_TRUE(port.openAndWait());
    ASSERT_EQ(port.driverName(), "jack");
    port.send(MidiMessage::programChange(1, 25));

    jack.stop();
    ASSERT_TRUE(test::waitUntil([&] {
        port.checkSoundPath();
        return port.driverName() == "pulseaudio";
    }));
    EXPECT_EQ(notices.all(), std::vector<std::string>{"The JACK server has stopped: the sound "
                                                      "server plays instead until it comes back."});
    // Heard through the sound server, with the instrument it had.
    test::SinkRecording rec(server.dir() + "/take.raw");
    ASSERT_TRUE(test::waitUntil([&] { return rec.seconds() > 0.05; }));
    const double from = rec.seconds();
    port.send(MidiMessage::noteOn(1, 64, 110));
    std::this_thread::sleep_for(800ms);
    EXPECT_GT(rec.loudestFrom(from), 300.0);

    ASSERT_TRUE(jack.start()) << jack.log();
    port.checkSoundPath();
    EXPECT_EQ(port.driverName(), "jack");
    EXPECT_EQ(notices.all().back(), "");
}

} // namespace
} // namespace fw
