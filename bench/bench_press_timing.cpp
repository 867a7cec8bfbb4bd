// From the hand to the ear: presses of a virtual Xbox 360 pad's A ("Gamepad", through SDL and the
// real 1 ms poll) at random moments, to the note-on handed to the output and to the note's onset
// in the built-in synthesizer's sound, recorded from the null sink's monitor. Four runs: 96 and
// 600 BPM, each "At once" (the preset's "Play on press") and "On the beat" (A mapped to "Strum
// Down" instead, which starts the pick on the next beat, as picks always did).
// Needs a PulseAudio server with a null sink (scripts/audio-server starts one).
//   bench_press_timing [--presses N] [--monitor SOURCE] [--trace] [--at-once]
// --trace lists, for every press whose note-on came more than 2 ms after it, the events the
// window thread handled in between (when each began, to whom), to find what held the poll back.
// --at-once leaves out the "On the beat" runs.
#include "audio_recording.h"
#include "beat_error.h"
#include "controller_rig.h"
#include "input/qt_joystick_mapping_page.h"
#include "platform/fluidsynth/fluid_synth_port.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using fw::monotonicMicros;
namespace sound = fw::bench::sound;

constexpr int kWoodblock = 115;
constexpr int kNote = 76;
constexpr int kButtonA = 1;

struct Run {
    int bpm;
    bool atOnce;
};

struct Press {
    std::int64_t at = 0;        // the button went down
    std::int64_t sent = 0;      // its note-on reached the output
    std::int64_t stamp = 0;     // the time the note-on carries
    double onsetMicros = -1;    // heard
    std::int64_t sinceBeat = 0; // from the beat before the press
};

// Every event the window thread starts to handle, with its time and its receiver.
class EventTrace final : public QObject {
public:
    struct Entry {
        std::int64_t at;
        const QObject* receiver;
        int type;
    };
    bool eventFilter(QObject* watched, QEvent* event) override {
        entries.push_back({monotonicMicros(), watched, static_cast<int>(event->type())});
        return false;
    }
    // The events from one time to another, one a line, with the time each took until the next.
    void print(std::int64_t from, std::int64_t to) const {
        auto it = std::lower_bound(entries.begin(), entries.end(), from,
                                   [](const Entry& e, std::int64_t t) { return e.at < t; });
        for (; it != entries.end() && it->at <= to; ++it) {
            const std::int64_t until = it + 1 != entries.end() ? (it + 1)->at : it->at;
            const QObject* named = it->receiver;
            while (named && named->objectName().isEmpty())
                named = named->parent();
            std::printf("      +%7.2f ms  %6.2f ms  event %3d  %s (%s)\n",
                        static_cast<double>(it->at - from) / 1000.0,
                        static_cast<double>(until - it->at) / 1000.0, it->type,
                        it->receiver->metaObject()->className(),
                        named ? named->objectName().toUtf8().constData() : "-");
        }
    }
    std::vector<Entry> entries;
};

class Bench {
public:
    Bench(fw::bench::ControllerRig& rig, fw::bench::StampingPort*& port, int presses,
          std::string monitor, bool trace)
        : rig_(rig), port_(port), presses_(presses), monitor_(std::move(monitor)), trace_(trace) {
        if (trace)
            QCoreApplication::instance()->installEventFilter(&events_);
    }

    void start() {
        fw::Engine& e = rig_.form.engine();
        e.ui.instrumentItem = kWoodblock;
        for (int s = 1; s <= 10; ++s)
            e.st.chordMemory[1][1][s] = kNote;
        e.st.pickMemory[1][1] = "0------";
        rig_.form.Button70Click(); // "Init Play Mode"
        rig_.form.Timer2Timer();   // opens the output
        waitForOutput();
    }

    void onlyAtOnce() {
        std::erase_if(runs_, [](const Run& r) { return !r.atOnce; });
    }

private:
    fw::FluidSynthPort* synth() const {
        return port_ ? dynamic_cast<fw::FluidSynthPort*>(port_->inner()) : nullptr;
    }

    void waitForOutput() {
        if (port_ && port_->usable() && synth()) {
            synth()->preload(kWoodblock);
            std::printf("Output: %s, nominal latency %.1f ms\n", synth()->driverName().c_str(),
                        synth()->latencyMillis());
            QTimer::singleShot(2000, [this] { nextRun(); });
            return;
        }
        if (++waits_ > 200) {
            std::printf("The built-in synthesizer did not open (no sound server?).\n");
            QApplication::exit(1);
            return;
        }
        QTimer::singleShot(50, [this] { waitForOutput(); });
    }

    void nextRun() {
        if (runs_.empty()) {
            QApplication::quit();
            return;
        }
        run_ = runs_.front();
        runs_.erase(runs_.begin());
        fw::TForm1& form = rig_.form;
        // "Gamepad" as the preset makes it, or with A as "Strum Down" and "Play on press" off.
        form.JoystickMapping->GamepadClick();
        fw::JoyMapping& map = form.joystickPlay().map;
        if (!run_.atOnce) {
            map.pickButtonsPlay = false;
            map.assign(fw::kFnStrumDown, map.code(fw::kFnPick1));
            map.assign(fw::kFnPick1, std::nullopt);
        }
        map.axisMap[fw::kRoleTempo] = fw::kAxisNone;
        form.engine().ui.tempPosition = 1001 - run_.bpm;
        form.syncControls();
        pressesDone_.clear();
        recorder_ = std::make_unique<sound::Recorder>(monitor_);
        if (!recorder_->started()) {
            std::printf("the recorder did not start\n");
            QApplication::exit(1);
            return;
        }
        std::printf("\n%d BPM, %s: %d presses...\n", run_.bpm,
                    run_.atOnce ? "\"At once\"" : "\"On the beat\"", presses_);
        std::fflush(stdout);
        QTimer::singleShot(800, [this] { pressNext(); });
    }

    std::int64_t beatMicros() const { return 60'000'000 / run_.bpm; }

    void pressNext() {
        if (static_cast<int>(pressesDone_.size()) >= presses_) {
            QTimer::singleShot(800, [this] { finishRun(); });
            return;
        }
        Press p;
        seen_ = port_->stamps.size();
        p.at = monotonicMicros();
        p.sinceBeat = p.at - rig_.form.Timer2->lastBeatDue();
        rig_.pad.setButton(kButtonA, true);
        pressesDone_.push_back(p);
        QTimer::singleShot(30, Qt::PreciseTimer, [this] { rig_.pad.setButton(kButtonA, false); });
        // A beat and a bit at least, so every press gets its own note even when it waits for the
        // beat, and then anywhere in the next beat.
        const std::int64_t beat = beatMicros();
        std::uniform_int_distribution<std::int64_t> within(0, beat);
        const std::int64_t wait = beat * 5 / 4 + within(random_);
        QTimer::singleShot(static_cast<int>(wait / 1000), Qt::PreciseTimer, [this] {
            noteSent();
            pressNext();
        });
    }

    // The first note-on since the press.
    void noteSent() {
        Press& p = pressesDone_.back();
        for (std::size_t i = seen_; i < port_->stamps.size(); ++i) {
            const auto& s = port_->stamps[i];
            if ((s.packed & 0xF0) == 0x90 && ((s.packed >> 16) & 0x7F) != 0) {
                p.sent = s.micros;
                p.stamp = s.stamp;
                return;
            }
        }
    }

    void finishRun() {
        auto [samples, axis] = recorder_->stop();
        recorder_.reset();
        std::vector<std::int64_t> stamps;
        std::vector<Press*> sounded;
        for (Press& p : pressesDone_) {
            if (p.sent) {
                stamps.push_back(p.stamp);
                sounded.push_back(&p);
            }
        }
        const sound::OnsetResult r = sound::findOnsets(samples, axis, stamps);
        std::vector<double> toSend, toSound;
        for (Press* p : sounded)
            toSend.push_back(static_cast<double>(p->sent - p->at) / 1000.0);
        // An onset belongs to the last note sent before it: presses are more than a beat apart,
        // and the latency is shorter than a beat.
        for (double onsetAt : r.onsets) {
            const double onset = axis.at(onsetAt);
            const auto after = std::upper_bound(
                sounded.begin(), sounded.end(), onset,
                [](double t, const Press* p) { return t < static_cast<double>(p->stamp); });
            if (after != sounded.begin())
                toSound.push_back((onset - static_cast<double>((*(after - 1))->at)) / 1000.0);
        }
        if (trace_) {
            for (Press* p : sounded) {
                if (p->sent - p->at <= 2000)
                    continue;
                std::printf("    press %.2f ms after a beat, note-on %.2f ms after the press:\n",
                            static_cast<double>(p->sinceBeat) / 1000.0,
                            static_cast<double>(p->sent - p->at) / 1000.0);
                events_.print(p->at, p->sent);
            }
            events_.entries.clear();
        }
        const sound::Stats send = sound::statsOf(toSend, false);
        const sound::Stats heard = sound::statsOf(toSound, false);
        const sound::Stats latency = sound::statsOf(r.latencies, false);
        std::printf("  presses %zu, notes sent %zu, onsets found %zu\n", pressesDone_.size(),
                    sounded.size(), toSound.size());
        std::printf("  press -> note-on at the output, ms: min %.2f  p50 %.2f  p99 %.2f  max %.2f  "
                    "spread %.2f\n",
                    send.min, send.p50, send.p99, send.max, send.max - send.min);
        std::printf("  press -> onset in the sound, ms:    min %.2f  p50 %.2f  p99 %.2f  max %.2f  "
                    "spread %.2f\n",
                    heard.min, heard.p50, heard.p99, heard.max, heard.max - heard.min);
        std::printf("  note-on's stamp -> onset, ms:       min %.2f  p50 %.2f  max %.2f\n",
                    latency.min, latency.p50, latency.max);
        if (synth())
            std::printf("  synthesizer: nominal latency %.1f ms, %lld late messages, %lld "
                        "underruns (totals so far)\n",
                        synth()->latencyMillis(), static_cast<long long>(synth()->lateMessages()),
                        static_cast<long long>(synth()->underruns()));
        std::fflush(stdout);
        QTimer::singleShot(500, [this] { nextRun(); });
    }

    fw::bench::ControllerRig& rig_;
    fw::bench::StampingPort*& port_;
    int presses_;
    std::string monitor_;
    int waits_ = 0;
    std::vector<Run> runs_{{96, false}, {96, true}, {600, false}, {600, true}};
    Run run_{};
    std::vector<Press> pressesDone_;
    std::size_t seen_ = 0;
    std::unique_ptr<sound::Recorder> recorder_;
    std::mt19937 random_{20261209};
    bool trace_ = false;
    EventTrace events_;
};

} // namespace

int main(int argc, char** argv) {
    int presses = 200;
    bool trace = false;
    bool atOnceOnly = false;
    for (int i = 1; i < argc; ++i) {
        trace = trace || std::string(argv[i]) == "--trace";
        atOnceOnly = atOnceOnly || std::string(argv[i]) == "--at-once";
    }
    const char* sink = std::getenv("FW_TEST_SINK");
    std::string monitor = std::string(sink && *sink ? sink : "fw_null") + ".monitor";
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--presses")
            presses = std::max(2, std::atoi(argv[i + 1]));
        if (std::string(argv[i]) == "--monitor")
            monitor = argv[i + 1];
    }
    fw::bench::StampingPort* port = nullptr;
    fw::MidiOutputs outputs{"builtin:synth", [] { return std::vector<std::string>{}; },
                            [&port](const std::string&) {
                                auto p = std::make_unique<fw::bench::StampingPort>(
                                    std::make_unique<fw::FluidSynthPort>());
                                port = p.get();
                                return p;
                            }};
    char controller[] = "--controller";
    char pad[] = "pad";
    std::vector<char*> args(argv, argv + argc);
    args.push_back(controller);
    args.push_back(pad);
    int count = static_cast<int>(args.size());
    fw::bench::ControllerRig rig(count, args.data(), std::move(outputs));
    if (rig.form.JoystickMapping->mappingSource() != "Gamepad") {
        std::printf("the virtual pad is not known as a gamepad\n");
        return 1;
    }
    Bench bench(rig, port, presses, monitor, trace);
    if (atOnceOnly)
        bench.onlyAtOnce();
    QTimer::singleShot(0, [&] { bench.start(); });
    return QApplication::exec();
}
