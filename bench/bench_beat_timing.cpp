// How well the pick sequencer keeps the beat. Runs the real main window offscreen with all its
// timers at 1000 BPM (60 ms beats) while a picking sequence plays and the play log grows, and
// stamps every message on the monotonic clock as the output receives it; a note counts from then,
// or from its own stamp when it came ahead of it (the outputs place it so). In the same run a plain
// thread sleeps to the same absolute deadlines with clock_nanosleep: that is the machine's floor.
//
//   bench_beat_timing [--seconds N] [--joystick-poll] [--accompaniment] [--hidden] [--tab N]
//                     [--journal DIR] [--csv FILE]
//
// --joystick-poll also runs the 1 ms joystick poll, as in joystick play; --accompaniment plays a
// generated 32-step beat along with "Accomp. Beat" and runs the binary counting toy on 32-step
// lines, one pass per bit; --hidden leaves the window unshown (nothing is painted), to tell
// painting from the rest; --tab N shows another main tab than "Play Logs" (2), e.g. 0 for
// "Builder"; --journal DIR keeps the take in a journal under DIR, as the program does.
#include "app/qt_main_window.h"
#include "beat_error.h"
#include "beats/qt_beat_manager_page.h"
#include "bench_ports.h"
#include "engine/clock.h"
#include "engine/prompts.h"
#include "engine/random.h"
#include "input/joystick.h"
#include "logs/qt_play_logs_page.h"
#include "platform/midi_outputs.h"
#include "toys/qt_music_toys_page.h"
#include "ui/qt_widgets.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using fw::monotonicMicros;
using fw::bench::cpuSeconds;
using fw::bench::printStats;
using fw::bench::StampingPort;
using fw::bench::Stats;
using fw::bench::statsOf;

constexpr int kTempPositionFor1000Bpm = 1;
constexpr std::int64_t kPeriodMicros = 60000;

} // namespace

int main(int argc, char** argv) {
    int seconds = 65;
    bool joystickPoll = false;
    bool accompaniment = false;
    bool hidden = false;
    int tab = 2; // "Play Logs"
    std::string csvPath;
    std::string journalDir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            seconds = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--tab" && i + 1 < argc) {
            tab = std::atoi(argv[++i]);
        } else if (a == "--hidden") {
            hidden = true;
        } else if (a == "--joystick-poll") {
            joystickPoll = true;
        } else if (a == "--accompaniment") {
            accompaniment = true;
        } else if (a == "--journal" && i + 1 < argc) {
            journalDir = argv[++i];
        } else if (a == "--csv" && i + 1 < argc) {
            csvPath = argv[++i];
        } else {
            std::fprintf(
                stderr,
                "usage: %s [--seconds N] [--joystick-poll] [--accompaniment] [--hidden] [--tab N] "
                "[--journal DIR] [--csv FILE]\n",
                argv[0]);
            return 2;
        }
    }
    fw::bench::offscreenUnlessSet();
    QApplication app(argc, argv);

    fw::bench::WindowPorts ports;
    StampingPort* port = nullptr;
    fw::MidiOutputs outputs = fw::bench::stampingOutputs(port);
    fw::Guitar guitar(ports.clock, ports.prompts, outputs);
    fw::TForm1 form(guitar, ports.services());
    if (!journalDir.empty())
        form.PlayLogs->keepTakesIn(QString::fromStdString(journalDir));
    if (!hidden)
        form.show();
    // Keep the play log in view so its growth is painted as it would be on screen.
    form.PageControl1->setCurrentIndex(tab);

    fw::Engine& engine = form.engine();
    engine.ui.tempPosition = kTempPositionFor1000Bpm;
    form.syncControls();
    if (joystickPoll)
        form.Button70Click();
    if (accompaniment) {
        form.BeatManager->Button99Click();             // a random 32-step beat
        form.CheckBox3->click();                       // "Accomp. Beat"
        form.MusicToys->RadioGroup4->item(7)->click(); // "Beats/Cycle" 32
        form.RadioGroup2->item(0)->click();            // "Cycles/Digit" 1
    }

    fw::bench::loadArpeggio(engine);

    const int beats = seconds * 1000 / static_cast<int>(kPeriodMicros / 1000);
    std::vector<std::int64_t> uiErrors;
    uiErrors.reserve(static_cast<std::size_t>(beats));
    std::vector<std::int64_t> accompErrors;
    accompErrors.reserve(static_cast<std::size_t>(beats));
    std::vector<std::int64_t> handOvers; // how long before its stamp a beat's note arrived
    handOvers.reserve(static_cast<std::size_t>(beats));
    std::size_t beatNotes = 0;
    std::vector<std::int64_t> floorErrors;
    std::thread floor;
    std::int64_t anchor = -1;
    std::int64_t lastIndex = 0;
    std::int64_t skipped = 0;
    int missingNotes = 0;
    std::size_t seen = 0;
    double cpuStart = 0, threadCpuStart = 0;
    std::int64_t wallStart = 0;

    // Runs after the sequencer's own handler on every beat.
    QObject::connect(form.Timer2, &fw::BeatTimer::timeout, &form, [&] {
        if (anchor < 0) {
            if (engine.st.pickStep != 1)
                return; // the pick has not been played yet
            anchor = form.Timer2->lastBeatDue();
            seen = port->stamps.size();
            floorErrors.assign(static_cast<std::size_t>(beats), 0);
            floor = std::thread(fw::bench::floorThread, anchor, kPeriodMicros, beats, &floorErrors,
                                nullptr);
            cpuStart = cpuSeconds(RUSAGE_SELF);
            threadCpuStart = cpuSeconds(RUSAGE_THREAD);
            wallStart = monotonicMicros();
        } else {
            // The grid point this beat belongs to. A beat dropped after a stall shows as a gap
            // in the grid; a beat off the grid shows as its distance from the nearest point.
            const std::int64_t index =
                (form.Timer2->lastBeatDue() - anchor + kPeriodMicros / 2) / kPeriodMicros;
            skipped += std::max<std::int64_t>(index - lastIndex - 1, 0);
            lastIndex = index;
            const std::int64_t ideal = anchor + index * kPeriodMicros;
            bool found = false;
            bool foundBeat = false;
            for (; seen < port->stamps.size(); ++seen) {
                const auto& s = port->stamps[seen];
                const int status = static_cast<int>(s.packed & 0xFF);
                const int velocity = static_cast<int>((s.packed >> 16) & 0xFF);
                // A beat is handed over a little before it is due with its due time as the stamp,
                // and every output places a message by its stamp: it sounds when it has arrived
                // and its time has come.
                const std::int64_t placed = std::max(s.micros, s.stamp);
                if (!found && status == 0x91 && velocity > 0) {
                    uiErrors.push_back(placed - ideal);
                    handOvers.push_back(s.stamp - s.micros);
                    found = true;
                }
                if (status == 0x90 && velocity > 0) {
                    ++beatNotes;
                    if (!foundBeat)
                        accompErrors.push_back(placed - ideal);
                    foundBeat = true;
                }
            }
            if (!found)
                ++missingNotes;
        }
        // A new pick as the sequence ends, so the next beat plays its first step.
        if (engine.st.pickStep * 7 >= static_cast<int>(engine.st.pickMemory[1][1].size()))
            form.Button65Click();
        if (lastIndex >= beats)
            app.quit();
    });

    // Let the sequencer take up the tempo, then pick and start the count.
    QTimer::singleShot(300, &form, [&] {
        form.Button65Click();
        if (accompaniment)
            form.MusicToys->Button96Click();
    });
    std::printf("Playing %d beats at %d BPM (%d s)%s%s%s, %s...\n", beats, engine.bpm(), seconds,
                journalDir.empty() ? "" : " with the take's journal on disk",
                joystickPoll ? " with the 1 ms joystick poll" : "",
                accompaniment ? " with a 32-step accompaniment and the counting toy" : "",
                hidden ? "window hidden"
                       : ("showing \"" + form.PageControl1->tabText(tab) + "\"").toUtf8().data());
    std::fflush(stdout);
    QApplication::exec();
    const double wall = static_cast<double>(monotonicMicros() - wallStart) / 1e6;
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpuStart;
    const double threadCpu = cpuSeconds(RUSAGE_THREAD) - threadCpuStart;
    if (floor.joinable())
        floor.join();

    const Stats ui = statsOf(uiErrors);
    const Stats fl = statsOf(floorErrors);
    std::printf("\nBeat error against the ideal time, milliseconds (beats of %lld ms, %s)\n",
                static_cast<long long>(kPeriodMicros / 1000),
                form.TempoModified->text().toUtf8().data());
    std::printf("%-34s %7s  %8s  %8s  %8s  %8s\n", "", "beats", "min", "p50", "p99", "max");
    printStats("sequencer (first note of the beat)", ui);
    if (accompaniment)
        printStats("accompaniment (first beat note)", statsOf(accompErrors));
    printStats("floor (clock_nanosleep thread)", fl);
    printStats("note arrived before its stamp", statsOf(handOvers));
    std::printf("\np99 ratio sequencer / floor: %.2f (target at most 1.2)\n",
                fl.p99 > 0 ? ui.p99 / fl.p99 : 0.0);
    std::printf("p50 of the sequencer: %.3f ms (target under 0.25 ms)\n", ui.p50);
    std::printf("CPU: process %.2f %% of one core, window thread %.2f %% (target under 5 %%)\n",
                100.0 * cpu / wall, 100.0 * threadCpu / wall);
    std::printf("beats dropped after a stall: %lld; beats without a note: %d; play log lines: %d\n",
                static_cast<long long>(skipped), missingNotes,
                form.R2IMemo->document()->blockCount());
    if (accompaniment)
        std::printf("accompaniment: %zu beat notes; the count reached %s\n", beatNotes,
                    form.MusicToys->Label83->text().toUtf8().data());
    if (!csvPath.empty()) {
        std::ofstream csv(csvPath);
        csv << "beat,sequencer_us,floor_us\n";
        for (std::size_t i = 0; i < std::max(uiErrors.size(), floorErrors.size()); ++i)
            csv << i + 1 << ',' << (i < uiErrors.size() ? std::to_string(uiErrors[i]) : "") << ','
                << (i < floorErrors.size() ? std::to_string(floorErrors[i]) : "") << '\n';
    }
    return 0;
}
