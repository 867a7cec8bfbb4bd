#pragma once

// Builds the real main window on fake ports: a recording MIDI output, a manual clock, scripted
// prompts and a fake joystick. Timers are stopped so tests drive every tick themselves.
#include "app/qt_main_window.h"
#include "app/qt_window_links.h"
#include "support/fakes.h"

#include <memory>
#include <unistd.h>

namespace fw::test {

struct MainWindowHarness {
    ManualClock clock{123 * 10000, ManualClock::Stamps::System};
    ScriptedPrompts prompts;
    FakeJoystick joystick;
    SeededRandom random{12345};
    RecordingMidiPort* port = nullptr;
    MidiOutputs outputs{"recorder", [] { return std::vector<std::string>{}; },
                        [this](const std::string&) {
                            auto p = std::make_unique<RecordingMidiPort>(&clock);
                            port = p.get();
                            return p;
                        }};
    Guitar guitar{clock, prompts, outputs};
    std::unique_ptr<TForm1> form;
    // What a secondary window built in a test sees of the main window.
    std::unique_ptr<MainWindowLinks> links;

    // A real joystick capture may stand in for the fake.
    explicit MainWindowHarness(bool stopTimers = true, Joystick* realJoystick = nullptr) {
        form = std::make_unique<TForm1>(guitar,
                                        Services{realJoystick ? *realJoystick : joystick, random});
        links = std::make_unique<MainWindowLinks>(*form);
        if (stopTimers) {
            form->Timer2->stop();
            form->PitchUpdater->stop();
            form->Timer4->stop();
        }
    }

    // The play log's lines.
    QStringList logLines() const {
        const QString text = form->R2IMemo->toPlainText();
        return text.isEmpty() ? QStringList{} : text.split('\n');
    }
};

// The row of the "MIDI Output" list named `name`, rescanning until a port that is still
// registering shows up; -1 when it does not within five seconds.
inline int waitForMidiOutput(TForm1& form, const QString& name) {
    for (int i = 0; i < 100; ++i) {
        form.MidiRescanButton->click();
        const auto found = form.MidiOutputList->findItems(name, Qt::MatchExactly);
        if (!found.isEmpty())
            return form.MidiOutputList->row(found.front());
        usleep(50000);
    }
    return -1;
}

} // namespace fw::test
