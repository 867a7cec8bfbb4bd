#pragma once

// The whole program on a controller that lives inside the process: the real main window with
// the built-in synthesizer and the SDL capture of a virtual joystick. Prompts are answered by
// script, so no message box waits for a click. It holds the program's QApplication too.
#include "app/qt_main_window.h"
#include "engine/clock.h"
#include "platform/midi_outputs.h"
#include "platform/sdl/sdl_joystick.h"
#include "support/fakes.h"
#include "support/virtual_joystick.h"

#include <QApplication>

#include <string>
#include <utility>

namespace fw::bench {

// Runs offscreen when there is no display to show the window on.
inline void useOffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Which controller the rig plugs in: "guitar" (SDL knows no layout for it, so "Bramble First
// Guitar" stays in force), "pad" (an Xbox 360 pad: "Gamepad") or "xguitar" (an Xbox 360 guitar
// controller: "Guitar controller"), from a --controller argument.
inline test::ControllerModel controllerModel(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) != "--controller")
            continue;
        if (std::string(argv[i + 1]) == "pad")
            return test::xbox360Pad();
        if (std::string(argv[i + 1]) == "xguitar")
            return test::xbox360Guitar();
    }
    return {};
}

struct ControllerRig {
    int platform = (useOffscreenWithoutDisplay(), 0);
    QApplication app;
    test::VirtualJoystick pad;
    SdlJoystick joystick;
    SystemClock clock;
    test::ScriptedPrompts prompts;
    MidiOutputs outputs;
    SeededRandom random{1};
    Guitar guitar{clock, prompts, outputs};
    TForm1 form{guitar, {joystick, random}};

    // The guitar's X stick rests centred, which the preset's tempo axis reads as 744 BPM; a
    // player without a tempo knob sets "Tempo" to "none", and so does the rig, so that the beat
    // stays at the "T" bar's 96 BPM (the pad presets leave the tempo alone themselves). A bench
    // that watches the output passes outputs of its own.
    ControllerRig(int& argc, char** argv, MidiOutputs made = MidiOutputs())
        : app(argc, argv), pad(controllerModel(argc, argv)), outputs(std::move(made)) {
        QApplication::setApplicationName("Fretwright");
        form.joystickPlay().map.axisMap[kRoleTempo] = kAxisNone;
        form.show();
    }
};

} // namespace fw::bench
