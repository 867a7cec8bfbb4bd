#pragma once

// Stand-ins for the ports a bench does not measure.
#include "app/qt_main_window.h"
#include "engine/clock.h"
#include "engine/prompts.h"
#include "engine/random.h"
#include "input/joystick.h"

#include <QtGlobal>

#include <optional>
#include <string>

namespace fw::bench {

// No one answers: the start-up's joystick message is noted and dropped.
class SilentPrompts final : public Prompts {
public:
    void showMessage(const std::string&) override { ++messages; }
    std::optional<std::string> openFileName(const FileDialogSpec&) override { return {}; }
    std::optional<std::string> saveFileName(const FileDialogSpec&) override { return {}; }
    bool askYesNo(const std::string&) override { return true; }
    int messages = 0;
};

// A controller that is not plugged in; the 1 ms poll still runs its full path.
class AbsentJoystick final : public Joystick {
public:
    int setCapture() override { return kJoyUnplugged; }
    int getPosEx(JoyInfo&) override { return kJoyUnplugged; }
    void releaseCapture() override {}
};

// What the guitar and the main window need besides the outputs: the real clock, no one
// answering, no controller and a fixed seed.
struct WindowPorts {
    SystemClock clock;
    SilentPrompts prompts;
    AbsentJoystick joystick;
    SeededRandom random{1};
    Services services() { return {joystick, random}; }
};

// An E major chord in slot 1-1 and a 64-beat arpeggio, one string per beat, as pick 1.
inline void loadArpeggio(Engine& engine) {
    const int eMajor[] = {40, 44, 47, 52, 52, 56, 59, 64, 40, 40};
    for (int k = 1; k <= 10; ++k)
        engine.st.chordMemory[1][1][k] = eMajor[k - 1];
    std::string sequence;
    for (int step = 0; step < 64; ++step)
        sequence += std::string(1, static_cast<char>('0' + step % 10)) + "------";
    engine.st.pickMemory[1][1] = sequence;
}

// Benches draw offscreen unless a platform was asked for.
inline void offscreenUnlessSet() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace fw::bench
