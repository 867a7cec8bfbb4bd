// Plays a chord progression from a controller, as a player would, through the whole program:
// the real main window, the built-in synthesizer and the SDL capture of a virtual controller
// whose buttons, hat and strum bar are moved by a script. The preset "Bramble First Guitar" is
// in force: the hat chooses the chord, button 3 is pick 1, button 11 fret 2, the strum bar is R.
// Prints the script as it goes and the play log at the end.
// With --shot it first shows the "Joystick Mapping" tab with the controller's button 3 pressed
// and its axes moved, and saves a picture of the window.
// With --controller pad (an Xbox 360 pad, "Gamepad") or --controller xguitar (an Xbox 360 guitar
// controller, "Guitar controller") it plays the starter set instead, as the README's quick start
// does: "Load Starter Set", "Init Play Mode", then the controller alone.
//   xvfb-run -a build/bin/bench_joystick_drive [--controller pad|xguitar] [--log take.plog]
//                                             [--shot mapping.png] [--config-shot config.png]
#include "config/qt_starter_set_group.h"
#include "input/qt_joystick_mapping_page.h"
#include "picks/pick_sets.h"

#include "controller_rig.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Step {
    int afterMs;
    const char* what;
    std::function<void()> act;
};

} // namespace

int main(int argc, char** argv) {
    std::string logPath, shotPath, configShotPath;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--config-shot")
            configShotPath = argv[i + 1];
        if (std::string(argv[i]) == "--log")
            logPath = argv[i + 1];
        if (std::string(argv[i]) == "--shot")
            shotPath = argv[i + 1];
    }
    fw::bench::ControllerRig rig(argc, argv);
    fw::TForm1& form = rig.form;
    fw::test::VirtualJoystick& pad = rig.pad;
    fw::PlayState& st = form.engine().st;

    // C, G, A minor, F as guitar voicings in chord set 1; the hat's right, backward, forward and
    // left choose chords 1..4. Pick 1 arpeggiates, its altered form strums down.
    const int chords[4][10] = {{48, 52, 55, 60, 64, 67, 72, 0, 0, 0},
                               {43, 47, 50, 55, 59, 67, 71, 0, 0, 0},
                               {45, 52, 57, 60, 64, 69, 72, 0, 0, 0},
                               {41, 48, 53, 57, 60, 65, 69, 0, 0, 0}};
    for (int c = 0; c < 4; ++c)
        for (int s = 0; s < 10; ++s)
            st.chordMemory[1][c + 1][s + 1] = chords[c][s];
    st.pickMemory[1][1] = fw::interleaveChannels({"01234543"});
    st.pickMemory[1][2] = fw::interleaveChannels({"0", "1", "2", "3", "4", "5", "6"});

    auto swing = [&](int out) {
        return [&pad, out] {
            pad.setStep(4, out);
            QTimer::singleShot(40, [&pad] { pad.setStep(4, 128); });
        };
    };
    auto hat = [&](Uint8 h) { return [&pad, h] { pad.setHat(h); }; };
    const int bar = 8 * 625; // eight beats at 96 BPM
    std::vector<Step> script;
    if (!shotPath.empty()) {
        script = {
            {0, "show the mapping tab",
             [&] { form.PageControl1->setCurrentWidget(form.JoystickMapping); }},
            {300, "press button 3, move the axes",
             [&] {
                 pad.setButton(3, true);
                 const int axes[6] = {21000, 30000, 47000, 26000, 9000, 60000};
                 for (int a = 1; a <= 6; ++a)
                     pad.setAxis(a, axes[a - 1]);
                 form.Timer4Timer();
             }},
            {400, "picture",
             [&] {
                 form.grab().save(QString::fromStdString(shotPath));
                 pad.setButton(3, false);
                 for (int a = 1; a <= 6; ++a)
                     pad.setAxis(a, 32768);
                 form.PageControl1->setCurrentIndex(0);
             }},
        };
    }
    auto press = [&](int button) {
        return [&pad, button] {
            pad.setButton(button, true);
            QTimer::singleShot(60, [&pad, button] { pad.setButton(button, false); });
        };
    };
    auto flick = [&](int axis, int out) {
        return [&pad, axis, out] {
            pad.setStep(axis, out);
            QTimer::singleShot(40, [&pad, axis] { pad.setStep(axis, 128); });
        };
    };
    const int beat = 600; // two steps of the starter set's tempo: a quarter note at 100 BPM
    // The quick start with a pad: the d-pad chooses, A strums, X arpeggiates, the right stick
    // flicked down strums down and up strums up, the left shoulder steps to chord set 2.
    const std::vector<Step> padPlay = {
        {500, "Load Starter Set", [&] { form.StarterSet->LoadStarterSetClick(); }},
        {200, "Init Play Mode", [&] { form.Button70Click(); }},
        {300, "d-pad up: chord 1 (G); A: strum", hat(SDL_HAT_UP)},
        {100, "", press(1)},
        {4 * beat, "d-pad right: chord 2 (C); A", hat(SDL_HAT_RIGHT)},
        {100, "", press(1)},
        {4 * beat, "d-pad down: chord 3 (D); A", hat(SDL_HAT_DOWN)},
        {100, "", press(1)},
        {4 * beat, "d-pad left: chord 4 (Em); A", hat(SDL_HAT_LEFT)},
        {100, "", press(1)},
        {4 * beat, "d-pad up: G; X: the arpeggio", hat(SDL_HAT_UP)},
        {100, "", press(3)},
        {4 * beat, "A: strum; then the right stick flicked down: strum down", press(1)},
        {2 * beat, "", flick(5, 240)},
        {2 * beat, "right stick flicked up: strum up", flick(5, 16)},
        {4 * beat, "left shoulder: chord set 2; d-pad left: Am; A", press(5)},
        {100, "", hat(SDL_HAT_LEFT)},
        {100, "", press(1)},
        {4 * beat, "centre the d-pad; STOP Play Mode",
         [&] {
             pad.setHat(SDL_HAT_CENTERED);
             form.Button79Click();
         }},
        {1500, "done", [&] { QApplication::quit(); }},
    };
    // The same with a guitar: the frets choose (green A, red B, yellow Y, blue X), the strum bar
    // plays down and up, orange raises a whole tone, the whammy bends.
    auto fret = [&](int button, bool down) {
        return [&pad, button, down] { pad.setButton(button, down); };
    };
    auto strum = [&](Uint8 direction) {
        return [&pad, direction] {
            pad.setHat(direction);
            QTimer::singleShot(60, [&pad] { pad.setHat(SDL_HAT_CENTERED); });
        };
    };
    const std::vector<Step> guitarPlay = {
        {500, "Load Starter Set", [&] { form.StarterSet->LoadStarterSetClick(); }},
        {200, "Init Play Mode", [&] { form.Button70Click(); }},
        {300, "green: chord 1 (G); strum down", fret(1, true)},
        {100, "", strum(SDL_HAT_DOWN)},
        {4 * beat, "red: chord 2 (C); strum up", fret(1, false)},
        {0, "", fret(2, true)},
        {100, "", strum(SDL_HAT_UP)},
        {4 * beat, "yellow: chord 3 (D); strum down", fret(2, false)},
        {0, "", fret(4, true)},
        {100, "", strum(SDL_HAT_DOWN)},
        {4 * beat, "blue: chord 4 (Em); strum down", fret(4, false)},
        {0, "", fret(3, true)},
        {100, "", strum(SDL_HAT_DOWN)},
        {4 * beat, "blue and orange: Em a whole tone up (F#m); strum, whammy down", fret(5, true)},
        {100, "", strum(SDL_HAT_DOWN)},
        {300, "", [&] { pad.setAxis(4, 65535); }},
        {1500, "release all",
         [&] {
             pad.setAxis(4, 0);
             pad.setButton(3, false);
             pad.setButton(5, false);
         }},
        {300, "STOP Play Mode", [&] { form.Button79Click(); }},
        {1500, "done", [&] { QApplication::quit(); }},
    };
    const std::string mapping = form.JoystickMapping->mappingSource();
    std::fprintf(stderr, "controller: %s; mapping: %s\n", rig.joystick.deviceName(),
                 mapping.c_str());
    const std::vector<Step> play =
        mapping == "Gamepad" ? padPlay
        : mapping == "Guitar controller"
            ? guitarPlay
            : std::vector<Step>{
                  {500, "Init Play Mode", [&] { form.Button70Click(); }},
                  {200, "press pick 1 (button 3)", [&] { pad.setButton(3, true); }},
                  {100, "release it", [&] { pad.setButton(3, false); }},
                  {100, "hat right: chord 1 (C)", hat(SDL_HAT_RIGHT)},
                  {100, "strum down", swing(10)},
                  {bar, "hat backward: chord 2 (G)", hat(SDL_HAT_DOWN)},
                  {100, "strum down", swing(10)},
                  {bar, "hat forward: chord 3 (A minor)", hat(SDL_HAT_UP)},
                  {100, "strum down", swing(10)},
                  {bar, "hat left: chord 4 (F)", hat(SDL_HAT_LEFT)},
                  {100, "strum down", swing(10)},
                  {bar, "hat right: C again, hold fret 2 (button 11): C sharp", hat(SDL_HAT_RIGHT)},
                  {0, "", [&] { pad.setButton(11, true); }},
                  {100, "strum up, hard: the altered pick", swing(250)},
                  {2000, "release fret 2, centre the hat",
                   [&] {
                       pad.setButton(11, false);
                       pad.setHat(SDL_HAT_CENTERED);
                   }},
                  {100, "STOP Play Mode", [&] { form.Button79Click(); }},
                  {200, "strum with play mode off (nothing should play)", swing(10)},
                  {1500, "done", [&] { QApplication::quit(); }},
              };
    script.insert(script.end(), play.begin(), play.end());
    if (!configShotPath.empty()) {
        // The "Config" tab as the run leaves it: the starter set's names in place.
        script.insert(script.end() - 1,
                      Step{0, "picture of the Config tab", [&] {
                               for (int i = 0; i < form.PageControl1->count(); ++i) {
                                   if (form.PageControl1->tabText(i) == "Config")
                                       form.PageControl1->setCurrentIndex(i);
                               }
                               form.grab().save(QString::fromStdString(configShotPath));
                           }});
    }
    std::size_t next = 0;
    std::function<void()> run = [&] {
        const Step& s = script[next];
        if (*s.what)
            std::fprintf(stderr, "[%7.2f s] %s\n", rig.clock.micros() / 1e6, s.what);
        s.act();
        if (++next < script.size())
            QTimer::singleShot(script[next].afterMs, Qt::PreciseTimer, run);
    };
    QTimer::singleShot(2000 + script[0].afterMs, Qt::PreciseTimer, run);
    QApplication::exec();

    const QString log = form.R2IMemo->toPlainText();
    std::printf("%s\n", qPrintable(log));
    std::fprintf(stderr, "%lld log lines; output: %s\n",
                 static_cast<long long>(log.count('\n') + (log.isEmpty() ? 0 : 1)),
                 rig.outputs.names().empty() ? "none" : rig.outputs.names().front().c_str());
    if (!logPath.empty()) {
        QFile file(QString::fromStdString(logPath));
        if (file.open(QIODevice::WriteOnly))
            file.write(log.toLatin1().replace("\n", "\r\n") + "\r\n");
    }
    return 0;
}
