// Plays a chord progression from a controller, as a player would, through the whole program:
// the real main window, the built-in synthesizer and the SDL capture of a virtual controller
// whose buttons, hat and strum bar are moved by a script. The preset "Bramble First Guitar" is
// in force: the hat chooses the chord, button 3 is pick 1, button 11 fret 2, the strum bar is R.
// Prints the script as it goes and the play log at the end.
// With --shot it first shows the "Joystick Mapping" tab with the controller's button 3 pressed
// and its axes moved, and saves a picture of the window.
//   xvfb-run -a build/bin/bench_joystick_drive [--log take.plog] [--shot mapping.png]
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
    std::string logPath, shotPath;
    for (int i = 1; i + 1 < argc; ++i) {
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
    const std::vector<Step> play = {
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
