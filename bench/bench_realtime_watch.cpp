// What the real-time callbacks of the program do that they must not. The real main window
// (offscreen, its own timers) plays a dense pattern with the accompaniment at 1000 BPM, changes
// the guitar's instrument three times and the SoundFont twice, and strums; meanwhile every
// allocation, free and lock made inside an audio or JACK callback is counted (realtime_watch.cpp).
// In turn through:
//   1. the built-in synthesizer on the sound server,
//   2. the built-in synthesizer on JACK audio (where a JACK server runs),
//   3. a JACK MIDI port (jack_midi_dump's).
//
//   bench_realtime_watch [--seconds 10]
#include "app/qt_main_window.h"
#include "beats/qt_beat_manager_page.h"
#include "bench_ports.h"
#include "engine/qt_sound_group.h"
#include "jack_midi_choice.h"
#include "platform/midi_outputs.h"
#include "realtime_watch.h"
#include "support/jack_midi_dump.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

// The file dialog answers with the other SoundFont.
class SoundFontPrompts final : public fw::Prompts {
public:
    void showMessage(const std::string& text) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    std::optional<std::string> openFileName(const fw::FileDialogSpec&) override {
        return std::string("/usr/share/sounds/sf2/FluidR3_GM.sf2");
    }
    std::optional<std::string> saveFileName(const fw::FileDialogSpec&) override { return {}; }
    bool askYesNo(const std::string&) override { return true; }
};

struct Phase {
    std::string name;
    std::function<bool(fw::TForm1&)> enter; // false: skipped here
};

void report(const std::string& phase) {
    const char* kinds[] = {"sound", "JACK MIDI out", "JACK MIDI in", "JACK transport"};
    for (int k = 0; k < static_cast<int>(fw::RealtimeWork::Count); ++k) {
        const auto c = fw::bench::realtimeCounts(static_cast<fw::RealtimeWork>(k));
        if (c.callbacks == 0)
            continue;
        std::printf("%-36s %-14s %9lld %11lld %7lld %7lld\n", phase.c_str(), kinds[k],
                    static_cast<long long>(c.callbacks), static_cast<long long>(c.allocations),
                    static_cast<long long>(c.frees), static_cast<long long>(c.locks));
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            seconds = std::max(2, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--seconds N]\n", argv[0]);
            return 2;
        }
    }
    fw::bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    fw::MidiOutputs outputs;
    fw::bench::WindowPorts ports;
    SoundFontPrompts prompts;
    fw::Guitar guitar(ports.clock, prompts, outputs);
    fw::TForm1 form(guitar, ports.services());
    std::unique_ptr<fw::test::MidiDump> dump;

    fw::Engine& engine = form.engine();
    engine.ui.tempPosition = 1;
    form.syncControls();
    form.BeatManager->Button99Click(); // a random 32-step beat
    form.CheckBox3->click();           // "Accomp. Beat"
    fw::bench::loadArpeggio(engine);
    // A strum of all six strings every eighth beat, over the arpeggio.
    engine.st.pickMemory[1][3] = "012345-";
    QObject::connect(form.Timer2, &fw::BeatTimer::timeout, &form, [&] {
        static int beat = 0;
        if (++beat % 8 == 0)
            form.Button66Click();
        else if (engine.st.pickStep * 7 >= static_cast<int>(engine.st.pickMemory[1][1].size()))
            form.Button65Click();
    });

    auto* jackAudio = form.findChild<QAbstractButton*>("JackAudio");
    const std::vector<Phase> phases = {
        {"built-in synthesizer, sound server", [](fw::TForm1&) { return true; }},
        {"built-in synthesizer, JACK audio",
         [&](fw::TForm1&) {
             if (!jackAudio || !std::getenv("FW_TEST_JACK"))
                 return false;
             jackAudio->click();
             return true;
         }},
        {"JACK MIDI (jack_midi_dump)",
         [&](fw::TForm1& f) {
             if (!std::getenv("FW_TEST_JACK"))
                 return false;
             dump = std::make_unique<fw::test::MidiDump>("fwwatch_dump");
             return fw::bench::chooseJackMidiOutput(f, dump->port());
         }},
    };

    std::printf("%-36s %-14s %9s %11s %7s %7s\n", "while playing through", "callback", "runs",
                "allocations", "frees", "locks");
    std::size_t next = 0;
    std::function<void()> runPhase = [&] {
        if (next == phases.size()) {
            QApplication::quit();
            return;
        }
        const Phase& phase = phases[next++];
        if (!phase.enter(form)) {
            std::printf("%-36s (no JACK server: skipped)\n", phase.name.c_str());
            QTimer::singleShot(0, &form, runPhase);
            return;
        }
        form.Button65Click();
        // A second to settle (the port opens, JACK connects), then the counted stretch with an
        // instrument change at each quarter.
        QTimer::singleShot(1000, &form, [&, name = phase.name] {
            fw::bench::resetRealtimeCounts();
            for (int k = 1; k <= 3; ++k)
                QTimer::singleShot(seconds * 250 * k, &form, [&form, k] {
                    form.ListBox1->setCurrentRow(24 + 3 * k); // guitars and basses
                });
            // To the other SoundFont and back.
            QTimer::singleShot(seconds * 125 * 3, &form,
                               [&form] { form.Sound->ChooseSoundFont->click(); });
            QTimer::singleShot(seconds * 125 * 7, &form,
                               [&form] { form.Sound->DefaultSoundFont->click(); });
            QTimer::singleShot(seconds * 1000, &form, [&, name] {
                report(name);
                runPhase();
            });
        });
    };
    QTimer::singleShot(500, &form, runPhase);
    QApplication::exec();
    if (dump)
        dump->stop();
    return 0;
}
