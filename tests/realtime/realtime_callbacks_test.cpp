// The real main window plays a dense pattern with the accompaniment at 1000 BPM through the
// built-in synthesizer, strums, changes the guitar's instrument and the SoundFont, first on the
// sound server and then on JACK audio, while the watch counts every allocation, free and lock
// made inside the audio callbacks. There must be none, and the stream plays on through the
// change of SoundFont.
#include "app/qt_main_window.h"
#include "beats/qt_beat_manager_page.h"
#include "engine/clock.h"
#include "engine/qt_sound_group.h"
#include "engine/random.h"
#include "platform/fluidsynth/fluid_synth_port.h"
#include "platform/midi_outputs.h"
#include "realtime_watch.h"
#include "support/fakes.h"

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace fw {
namespace {

// Same samples under another name, so that choosing it loads a new synthesizer.
constexpr const char* kOtherSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";

struct PlayingWindow {
    SystemClock clock;
    test::ScriptedPrompts prompts;
    test::FakeJoystick joystick;
    SeededRandom random{1};
    MidiOutputs outputs;
    Guitar guitar{clock, prompts, outputs};
    TForm1 form{guitar, Services{joystick, random}};

    PlayingWindow() {
        prompts.messages.clear(); // that no controller is plugged in
        Engine& engine = form.engine();
        engine.ui.tempPosition = 1; // 1000 BPM
        form.syncControls();
        form.BeatManager->Button99Click(); // a random 32-step beat
        form.CheckBox3->click();           // "Accomp. Beat"
        // An arpeggio one string a beat as pick 1, and a strum of six strings as pick 2, struck
        // every eighth beat.
        const int eMajor[] = {40, 44, 47, 52, 52, 56, 59, 64, 40, 40};
        for (int k = 1; k <= 10; ++k)
            engine.st.chordMemory[1][1][k] = eMajor[k - 1];
        std::string arpeggio;
        for (int step = 0; step < 64; ++step)
            arpeggio += std::string(1, static_cast<char>('0' + step % 6)) + "------";
        engine.st.pickMemory[1][1] = arpeggio;
        engine.st.pickMemory[1][3] = "012345-";
        QObject::connect(form.Timer2, &BeatTimer::timeout, &form, [this] {
            if (++beats % 8 == 0)
                form.Button66Click();
            else if (form.engine().st.pickStep * 7 >=
                     static_cast<int>(form.engine().st.pickMemory[1][1].size()))
                form.Button65Click();
        });
        form.Button65Click();
    }

    FluidSynthPort* synth() { return dynamic_cast<FluidSynthPort*>(form.output().port()); }

    // Plays on until the SoundFont is in use, with the instruments changed on the way.
    void changeSoundFont(QAbstractButton* button) {
        QSignalSpy settled(form.Sound, &SoundGroup::soundFontSettled);
        button->click();
        ASSERT_TRUE(settled.wait(60000));
        ASSERT_TRUE(prompts.messages.empty()) << prompts.messages.front();
    }

    int beats = 0;
};

struct Backend {
    const char* name;
    bool jack;
};

TEST(RealtimeCallbacks, NeitherAllocateNorFreeNorLockWhileTheSynthesizerPlays) {
    PlayingWindow w;
    FluidSynthPort* synth = w.synth();
    ASSERT_NE(synth, nullptr) << "the built-in synthesizer is not the output chosen";
    auto* jackAudio = w.form.findChild<QAbstractButton*>("JackAudio");
    ASSERT_NE(jackAudio, nullptr);
    const Backend backends[] = {{"the sound server", false}, {"JACK audio", true}};
    for (const Backend& backend : backends) {
        SCOPED_TRACE(backend.name);
        if (backend.jack) {
            if (!std::getenv("FW_TEST_JACK"))
                continue; // no JACK server in this run
            jackAudio->click();
        }
        const std::string driver = backend.jack ? "jack" : "pulseaudio";
        ASSERT_TRUE(QTest::qWaitFor([&] { return synth->driverName() == driver; }, 30000))
            << "the synthesizer plays through \"" << synth->driverName() << "\"";
        QTest::qWait(300);
        // What sounds is watched too, so that a silent synthesizer cannot pass.
        int mostVoices = 0;
        QTimer voices;
        QObject::connect(&voices, &QTimer::timeout,
                         [&] { mostVoices = std::max(mostVoices, synth->soundingVoices()); });
        voices.start(20);
        bench::resetRealtimeCounts();
        QTest::qWait(700);
        w.form.ListBox1->setCurrentRow(27); // guitars
        QTest::qWait(700);
        // To the other SoundFont on the sound server, back to the default one on JACK.
        w.prompts.answer(kOtherSoundFont);
        const std::int64_t streams = synth->streamsOpened();
        w.changeSoundFont(backend.jack ? w.form.Sound->DefaultSoundFont
                                       : w.form.Sound->ChooseSoundFont);
        QTest::qWait(700);
        w.form.ListBox1->setCurrentRow(33); // basses
        QTest::qWait(700);
        const bench::RealtimeCounts counts = bench::realtimeCounts(RealtimeWork::Sound);
        std::printf("%s: %lld callbacks, %lld allocations, %lld frees, %lld locks\n", backend.name,
                    static_cast<long long>(counts.callbacks),
                    static_cast<long long>(counts.allocations),
                    static_cast<long long>(counts.frees), static_cast<long long>(counts.locks));
        EXPECT_GT(counts.callbacks, 100);
        EXPECT_GT(mostVoices, 0);
        EXPECT_EQ(synth->streamsOpened(), streams) << "the stream started again";
        EXPECT_EQ(counts.allocations, 0);
        EXPECT_EQ(counts.frees, 0);
        EXPECT_EQ(counts.locks, 0);
        EXPECT_EQ(synth->driverName(), driver);
        EXPECT_EQ(synth->droppedMessages(), 0);
    }
}

} // namespace
} // namespace fw
