// Processor time of joystick play: the whole program (real main window, built-in synthesizer,
// SDL capture of a virtual controller) with play mode off, with an empty 1 ms timer besides (the
// floor of any 1 ms poll), with play mode on and the controller idle, and with the strum bar
// swinging ten times a second; then the cost of one poll.
//   xvfb-run -a build/bin/bench_joystick_cpu [--seconds 30] [--controller pad]
// With --controller pad an Xbox 360 pad is plugged in and "Gamepad" is in force: its strum is
// the right stick, and the poll also watches the inputs that act once per press.
// Without a display it runs offscreen. The pick memory is empty, so strums start picks that
// sound nothing, and the tempo axis is set to none: the figures are the controller's cost, not
// the synthesizer's or a faster beat's.

#include "controller_rig.h"
#include "cpu_time.h"
#include "input/qt_joystick_mapping_page.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace {

struct Phase {
    const char* name;
    double cpu = 0;
    double wall = 0;
    long polls = 0;
    int swings = 0;
    int picks = 0;
    double percent() const { return wall > 0 ? 100.0 * cpu / wall : 0; }
};

double nanosPer(long count, const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    for (long i = 0; i < count; ++i)
        work();
    return static_cast<double>(timer.nsecsElapsed()) / static_cast<double>(count);
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--seconds")
            seconds = std::max(1, std::atoi(argv[i + 1]));
    fw::bench::ControllerRig rig(argc, argv);
    fw::TForm1& form = rig.form;
    fw::test::VirtualJoystick& pad = rig.pad;
    fw::Engine& engine = form.engine();
    // The axis that strums: R in the guitar's preset, the right stick's Y (U) in "Gamepad".
    const int strumAxis = form.joystickPlay().map.axisOf(fw::kRoleStrum);

    // The empty timer shows what any 1 ms timer costs in this process, whatever it does.
    Phase phases[] = {{"play mode off"},
                      {"play mode off, an empty 1 ms timer"},
                      {"play mode on, controller idle"},
                      {"play mode on, strum swinging 10/s"}};
    long polls = 0;
    QObject::connect(form.Timer1, &QTimer::timeout, [&] { ++polls; });
    QTimer emptyTimer;
    emptyTimer.setTimerType(Qt::PreciseTimer);
    emptyTimer.setInterval(1);
    QObject::connect(&emptyTimer, &QTimer::timeout, [&] { ++polls; });

    // Swing: out for 50 ms, back to rest for 50 ms, alternately down (velocity 117) and up (72).
    QTimer swingTimer;
    swingTimer.setTimerType(Qt::PreciseTimer);
    swingTimer.setInterval(50);
    int half = 0;
    int lastVelocity = engine.st.velocity;
    QObject::connect(&swingTimer, &QTimer::timeout, [&] {
        Phase& p = phases[3];
        if (half % 2 == 0) {
            pad.setStep(strumAxis, (half / 2) % 2 ? 200 : 10);
            ++p.swings;
        } else {
            pad.setStep(strumAxis, 128);
        }
        if (engine.st.velocity != lastVelocity) {
            lastVelocity = engine.st.velocity;
            ++p.picks;
        }
        ++half;
    });

    double pollMicros = 0, readMicros = 0, decodeMicros = 0;
    auto measurePoll = [&] {
        // One poll with the controller idle: the whole Timer1 handler, and its two halves.
        pad.setStep(strumAxis, 128);
        fw::JoyInfo info;
        fw::JoystickPlay& play = form.joystickPlay();
        const long n = 200000;
        pollMicros = nanosPer(n, [&] { form.Timer1Timer(); }) / 1000;
        readMicros = nanosPer(n, [&] { rig.joystick.getPosEx(info); }) / 1000;
        decodeMicros = nanosPer(n, [&] { play.poll(info); }) / 1000;
    };

    int current = -1;
    double cpuStart = 0;
    QElapsedTimer wall;
    long pollsStart = 0;
    std::function<void()> next = [&] {
        if (current >= 0) {
            Phase& p = phases[current];
            p.cpu = fw::bench::cpuSeconds() - cpuStart;
            p.wall = static_cast<double>(wall.nsecsElapsed()) / 1e9;
            p.polls = polls - pollsStart;
        }
        ++current;
        if (current == 1)
            emptyTimer.start();
        if (current == 2) {
            emptyTimer.stop();
            form.Button70Click(); // "Init Play Mode"
        }
        if (current == 3)
            swingTimer.start();
        if (current == 4) {
            swingTimer.stop();
            form.Button79Click();
            measurePoll(); // while the window is up: quitting closes it and lets go of the pad
            QApplication::quit();
            return;
        }
        std::fprintf(stderr, "%s for %d s...\n", phases[current].name, seconds);
        cpuStart = fw::bench::cpuSeconds();
        pollsStart = polls;
        wall.start();
        QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, next);
    };
    // Let start-up (SoundFont, first paint) settle before measuring.
    QTimer::singleShot(3000, next);
    QApplication::exec();

    std::printf("Joystick play with \"%s\", processor time of the whole process (%s platform, "
                "%d s each):\n",
                form.JoystickMapping->mappingSource().c_str(),
                qPrintable(QApplication::platformName()), seconds);
    for (const Phase& p : phases) {
        std::printf("  %-37s %6.2f %% of one core", p.name, p.percent());
        if (&p != &phases[0])
            std::printf("  (%+.2f beyond play mode off; %.0f polls/s)",
                        p.percent() - phases[0].percent(), static_cast<double>(p.polls) / p.wall);
        if (p.swings)
            std::printf("  %d swings, %d picks", p.swings, p.picks);
        std::printf("\n");
    }

    std::printf("Cost of one poll (controller idle): %.2f us (SDL read %.2f us, decoding %.2f "
                "us)\n",
                pollMicros, readMicros, decodeMicros);
    std::printf("Start-up report: %s\n",
                rig.prompts.messages.empty() ? "none" : rig.prompts.messages.front().c_str());
    return 0;
}
