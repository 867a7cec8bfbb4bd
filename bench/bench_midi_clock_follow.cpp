// How closely the sequencer follows MIDI clock. A JACK client of the bench sends Start and then
// clock at exact frames, 120 BPM and after half the beats 90 BPM; the real main window
// (offscreen) listens to it through the "MIDI Input" list with "Follow MIDI Clock" checked and
// plays one note a beat. Each beat's first note, as the output receives it, is compared with the
// time of the clock that began the beat, and the tempo the window shows with the source's.
//
//   JACK_DEFAULT_SERVER=NAME bench_midi_clock_follow [--beats 160] [--bpm 120] [--later-bpm 90]
#include "app/qt_main_window.h"
#include "beat_error.h"
#include "bench_ports.h"
#include "engine/qt_midi_sync_group.h"
#include "jack_rig.h"
#include "platform/midi_outputs.h"

#include <QApplication>
#include <QTimer>

#include <cstdlib>
#include <thread>

namespace {

using fw::bench::printStats;
using fw::bench::StampingPort;
using fw::bench::statsOf;

struct Beat {
    std::int64_t note = -1; // when its first note reached the output
    double shownBpm = 0;
};

} // namespace

int main(int argc, char** argv) {
    int beats = 160;
    double bpm = 120, laterBpm = 90;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--beats" && i + 1 < argc)
            beats = std::max(8, std::atoi(argv[++i]));
        else if (a == "--bpm" && i + 1 < argc)
            bpm = std::atof(argv[++i]);
        else if (a == "--later-bpm" && i + 1 < argc)
            laterBpm = std::atof(argv[++i]);
        else {
            std::fprintf(stderr, "usage: %s [--beats N] [--bpm X] [--later-bpm Y]\n", argv[0]);
            return 2;
        }
    }
    fw::bench::offscreenUnlessSet();
    QApplication app(argc, argv);

    const int half = beats / 2 * fw::kClocksPerBeat;
    fw::bench::JackClockSource source(bpm, laterBpm, half, beats * fw::kClocksPerBeat + 1);
    if (!source.ok()) {
        std::fprintf(stderr, "no JACK server answers\n");
        return 1;
    }
    StampingPort* port = nullptr;
    fw::MidiOutputs outputs = fw::bench::stampingOutputs(port);
    fw::bench::WindowPorts ports;
    fw::Guitar guitar(ports.clock, ports.prompts, outputs);
    fw::TForm1 form(guitar, ports.services());
    fw::MidiSyncGroup& sync = *form.MidiSync;

    const QString wanted = QString::fromStdString("JACK: " + source.port());
    sync.rescanInputs();
    const int row = sync.MidiInputList->findText(wanted);
    if (row < 0) {
        std::fprintf(stderr, "%s is not in the MIDI Input list\n", wanted.toUtf8().data());
        return 1;
    }
    sync.MidiInputList->setCurrentIndex(row);
    emit sync.MidiInputList->activated(row);
    sync.FollowMidiClock->click();

    fw::Engine& engine = form.engine();
    fw::bench::loadArpeggio(engine);

    std::vector<Beat> heard;
    std::size_t seen = 0;
    QObject::connect(form.Timer2, &fw::BeatTimer::timeout, &form, [&] {
        Beat b;
        for (; seen < port->stamps.size(); ++seen) {
            const auto& s = port->stamps[seen];
            if (b.note < 0 && (s.packed & 0xF0) == 0x90 && ((s.packed >> 16) & 0xFF) > 0)
                b.note = s.micros;
        }
        const auto shown = sync.followedTempoText();
        b.shownBpm = shown ? std::atof(shown->c_str()) : 0;
        heard.push_back(b);
        if (engine.st.pickStep * 7 >= static_cast<int>(engine.st.pickMemory[1][1].size()))
            form.Button65Click();
    });
    // The machine's floor in the same run: a plain thread sleeping to a grid of beats.
    std::vector<std::int64_t> floorErrors(static_cast<std::size_t>(beats), 0);
    std::thread floor;
    QTimer::singleShot(500, &form, [&] {
        form.Button65Click();
        source.start();
        floor = std::thread(fw::bench::floorThread, fw::monotonicMicros(),
                            static_cast<std::int64_t>(60e6 / bpm), beats, &floorErrors, nullptr);
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (source.sent() > beats * fw::kClocksPerBeat)
            QTimer::singleShot(300, &app, &QApplication::quit);
    });
    poll.start(100);
    std::printf("Following %d beats of clock from %s, %.0f BPM then %.0f BPM...\n", beats,
                source.port().c_str(), bpm, laterBpm);
    std::fflush(stdout);
    QApplication::exec();
    if (floor.joinable())
        floor.join();

    std::vector<std::int64_t> errors, tempoErrors;
    const auto& clocks = source.clockTimes();
    int missing = 0;
    for (std::size_t k = 0; k < heard.size() && k * fw::kClocksPerBeat < clocks.size(); ++k) {
        const std::size_t clock = k * fw::kClocksPerBeat;
        if (heard[k].note < 0) {
            ++missing;
            continue;
        }
        // The first beat is reported on its own: its clock is the first thing the input hears
        // after Start, at the very start of a period, and it pays for waking what has slept.
        if (k == 0)
            std::printf("first beat: its first note %.3f ms after its clock\n",
                        static_cast<double>(heard[k].note - clocks[clock]) / 1000);
        else
            errors.push_back(heard[k].note - clocks[clock]);
        // The shown tempo two beats after the start and after the change.
        const int sinceChange =
            static_cast<int>(clock) - (static_cast<int>(clock) >= half ? half : 0);
        if (sinceChange >= 2 * fw::kClocksPerBeat)
            tempoErrors.push_back(std::llround(
                std::abs(heard[k].shownBpm - source.bpmAt(static_cast<int>(clock) - 1)) * 1000));
    }
    std::printf("\n%zu beats heard for %zu beats of clock sent (%d without a note)\n", heard.size(),
                (clocks.size() - 1) / fw::kClocksPerBeat + 1, missing);
    std::printf("%-40s %7s  %8s  %8s  %8s  %8s\n", "", "count", "min", "p50", "p99", "max");
    printStats("later beats: first note - clock, ms", statsOf(errors));
    printStats("floor (clock_nanosleep thread), ms", statsOf(floorErrors));
    printStats("|shown tempo - source|, BPM", statsOf(tempoErrors));
    return 0;
}
