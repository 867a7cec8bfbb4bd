// What the player hears: woodblock picks played by the real main window (offscreen) through the
// built-in synthesizer into the sound server, recorded from the null sink's monitor, and the
// onsets found in the recording. Needs a PulseAudio server whose default sink is a null sink
// (scripts/audio-server starts one; bench/audio_timing.sh does it all in one command).
//
//   bench_audio_timing [--idle-seconds N] [--seconds N] [--soak-minutes N] [--monitor SOURCE]
//                      [--jack] [--strum-ms N] [--instrument-changes] [--accompaniment]
//
// --jack plays through JACK audio instead and records the synthesizer's first port with a JACK
// client of the bench's own (in this process); run it against a JACK server started for it, e.g.
// jackd -n fw_sound -d dummy -r 48000 -p 256 with JACK_DEFAULT_SERVER=fw_sound.
// --strum-ms N plays six-string strums spread over N ms at 200 BPM and measures the gaps between
// the plucks of each strum.
// --instrument-changes switches to an instrument never played before right after every fourth
// beat and back after the next: the woodblock beats must keep time while the new instrument's
// samples load, and the synthesizer counts a note held back because its instrument was still
// loading as too late.
// --accompaniment plays the accompaniment along on every beat, a low piano note on channel 1; it
// rings on between the picks, so the picks' onsets are found in a high-passed copy of the
// recording.
//
// Phases, in one run of the program:
//   1. idle: the synthesizer is open and nothing plays; CPU of the whole process, by thread;
//   2. 200 BPM and 1000 BPM, --seconds each: onset-to-onset interval error against the beat
//      period, and latency from the beat's send time to the onset in the recording;
//   3. with --soak-minutes: the same at 1000 BPM for that long, counting dropouts (a beat whose
//      onset is missing, or whose interval is off by more than 2 ms).

#include "app/qt_main_window.h"
#include "audio_recording.h"
#include "bench_ports.h"
#include "cpu_time.h"
#include "engine/clock.h"
#include "engine/prompts.h"
#include "engine/random.h"
#include "input/joystick.h"
#include "platform/fluidsynth/fluid_synth_port.h"
#include "platform/midi_outputs.h"

#include <QApplication>
#include <QTimer>

#include <jack/jack.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using fw::monotonicMicros;
using namespace fw::bench::sound;

constexpr int kWoodblock = 115;
constexpr int kNote = 76;

// CPU seconds of each thread of this process, by thread name.
std::map<std::string, double> threadCpu() {
    std::map<std::string, double> out;
    DIR* dir = opendir("/proc/self/task");
    if (!dir)
        return out;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        std::ifstream stat(std::string("/proc/self/task/") + e->d_name + "/stat");
        std::string line;
        std::getline(stat, line);
        const auto open = line.find('(');
        const auto close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        const std::string name = line.substr(open + 1, close - open - 1);
        // Fields after the name: state is field 3; utime and stime are fields 14 and 15.
        std::vector<std::string> fields;
        std::size_t pos = close + 2;
        while (pos < line.size()) {
            const auto sp = line.find(' ', pos);
            fields.push_back(line.substr(pos, sp - pos));
            if (sp == std::string::npos)
                break;
            pos = sp + 1;
        }
        if (fields.size() > 12)
            out[name + " [" + e->d_name + "]"] =
                (std::stod(fields[11]) + std::stod(fields[12])) / tick;
    }
    closedir(dir);
    return out;
}

// Times each thread of this process has been switched to (woken or preempted), by thread name.
std::map<std::string, long long> threadSwitches() {
    std::map<std::string, long long> out;
    DIR* dir = opendir("/proc/self/task");
    if (!dir)
        return out;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        std::ifstream status(std::string("/proc/self/task/") + e->d_name + "/status");
        std::string name;
        long long switches = 0;
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Name:", 0) == 0)
                name = line.substr(line.find_first_not_of(" \t", 5));
            else if (line.find("ctxt_switches:") != std::string::npos)
                switches += std::stoll(line.substr(line.find(':') + 1));
        }
        out[name + " [" + e->d_name + "]"] = switches;
    }
    closedir(dir);
    return out;
}

struct Options {
    int idleSeconds = 20;
    int seconds = 60;
    int soakMinutes = 0;
    std::string monitor;
    bool jack = false;
    int strumMs = 0;
    bool instrumentChanges = false;
    bool accompaniment = false;
};

class Bench {
public:
    Bench(Options o, fw::TForm1& form, QApplication& app)
        : o_(std::move(o)), form_(form), app_(app) {
        QObject::connect(form_.Timer2, &fw::BeatTimer::timeout, &form_, [this] { onBeat(); });
    }

    void start() {
        fw::Engine& e = form_.engine();
        e.ui.instrumentItem = kWoodblock;
        for (int k = 1; k <= 10; ++k)
            e.st.chordMemory[1][1][k] = kNote;
        std::string seq;
        for (int step = 0; step < 64; ++step)
            seq += o_.strumMs > 0 ? "012345-" : "0------";
        e.st.pickMemory[1][1] = seq;
        e.ui.strumSpreadMs = o_.strumMs;
        if (o_.accompaniment) {
            e.st.accompBeatLine = "24------------";
            e.ui.accompBeat = true;
        }
        if (o_.jack)
            synth()->setAudioSystem(fw::FluidSynthPort::AudioSystem::Jack);
        setBpm(200);
        form_.syncControls();
        waitForOutput();
    }

    fw::FluidSynthPort* synth() { return dynamic_cast<fw::FluidSynthPort*>(form_.output().port()); }

private:
    void setBpm(int bpm) {
        form_.engine().ui.tempPosition = 1001 - bpm;
        form_.syncControls();
    }

    void waitForOutput() {
        fw::MidiPort* port = form_.output().port();
        if (o_.jack && synth())
            synth()->waitUntilSettled();
        if (port && port->usable() && (!o_.jack || synth()->driverName() == "jack")) {
            std::printf("Output: %s\n", port->name().c_str());
            std::printf("Machine load before the idle phase (1/5/15 min): %s", loadavg().c_str());
            QTimer::singleShot(3000, &form_, [this] { idlePhase(); });
            return;
        }
        if (++waits_ > 200) {
            std::printf("The built-in synthesizer did not open (no sound server%s?).\n",
                        o_.jack ? " or JACK server" : "");
            app_.exit(1);
            return;
        }
        QTimer::singleShot(50, &form_, [this] { waitForOutput(); });
    }

    static std::string loadavg() {
        std::ifstream in("/proc/loadavg");
        std::string a, b, c;
        in >> a >> b >> c;
        return a + " " + b + " " + c + "\n";
    }

    void idlePhase() {
        std::printf("\nIdle for %d s, synthesizer open, nothing playing...\n", o_.idleSeconds);
        std::fflush(stdout);
        const auto threads = threadCpu();
        const auto switches = threadSwitches();
        const double cpu = fw::bench::cpuSeconds();
        const std::int64_t wall = monotonicMicros();
        QTimer::singleShot(o_.idleSeconds * 1000, &form_, [this, threads, switches, cpu, wall] {
            const double secs = static_cast<double>(monotonicMicros() - wall) / 1e6;
            idleCpu_ = 100.0 * (fw::bench::cpuSeconds() - cpu) / secs;
            std::printf("Idle CPU, whole process: %.2f %% of one core (target at most 6 %%)\n",
                        idleCpu_);
            for (const auto& [name, after] : threadCpu()) {
                const auto it = threads.find(name);
                const double used = after - (it == threads.end() ? 0.0 : it->second);
                if (used / secs >= 0.0005)
                    std::printf("  thread %-28s %6.2f %%\n", name.c_str(), 100.0 * used / secs);
            }
            std::printf("Wake-ups per second while idle, by thread:\n");
            for (const auto& [name, after] : threadSwitches()) {
                const auto it = switches.find(name);
                const double woke =
                    static_cast<double>(after - (it == switches.end() ? 0 : it->second)) / secs;
                if (woke >= 0.5)
                    std::printf("  thread %-28s %8.1f /s\n", name.c_str(), woke);
            }
            std::printf("Machine load after the idle phase: %s", loadavg().c_str());
            runs_ = {{200, o_.seconds}};
            if (o_.strumMs == 0)
                runs_.push_back({1000, o_.seconds});
            if (o_.soakMinutes > 0)
                runs_.push_back({1000, o_.soakMinutes * 60});
            nextRun();
        });
    }

    void nextRun() {
        if (runs_.empty()) {
            summary();
            app_.quit();
            return;
        }
        const auto [bpm, seconds] = runs_.front();
        runs_.erase(runs_.begin());
        bpm_ = bpm;
        seconds_ = seconds;
        form_.engine().ui.instrumentItem = kWoodblock;
        setBpm(bpm);
        dues_.clear();
        std::printf("\n%d BPM for %d s: recording %s...\n", bpm, seconds,
                    o_.jack ? "JACK" : o_.monitor.c_str());
        std::fflush(stdout);
        if (o_.jack)
            recorder_ = std::make_unique<JackRecorder>();
        else
            recorder_ = std::make_unique<Recorder>(o_.monitor);
        if (!recorder_->started()) {
            std::printf("the recorder did not start\n");
            app_.exit(1);
            return;
        }
        // Let the tempo settle and the recording begin, then pick.
        QTimer::singleShot(700, &form_, [this] {
            cpuStart_ = fw::bench::cpuSeconds();
            wallStart_ = monotonicMicros();
            playing_ = true;
            form_.Button65Click();
        });
    }

    void onBeat() {
        if (!playing_)
            return;
        fw::Engine& e = form_.engine();
        const bool woodblock = e.ui.instrumentItem == kWoodblock;
        if (woodblock && (e.st.pickStep == 1 || (!dues_.empty() && e.st.pickStep >= 1)))
            dues_.push_back(form_.Timer2->lastBeatDue());
        if (o_.instrumentChanges && !dues_.empty()) {
            // Right after a beat: every fourth beat the next note is a fresh instrument's, never
            // loaded before; the beat after it, the woodblock's again.
            if (!woodblock)
                e.ui.instrumentItem = kWoodblock;
            else if (++beatsSinceChange_ % 4 == 0)
                e.ui.instrumentItem = nextFresh_++ % 112;
            if (e.ui.instrumentItem != kWoodblock || !woodblock) {
                form_.PitchUpdaterTimer();
                ++changes_;
            }
        }
        if (e.st.pickStep * 7 >= static_cast<int>(e.st.pickMemory[1][1].size()))
            form_.Button65Click();
        if (static_cast<int>(dues_.size()) >= seconds_ * bpm_ / 60) {
            playing_ = false;
            e.st.pickStep = fw::kIdle; // silence before the next run, whose first pick is found
                                       // as the first sound after silence
            const double secs = static_cast<double>(monotonicMicros() - wallStart_) / 1e6;
            const double cpu = 100.0 * (fw::bench::cpuSeconds() - cpuStart_) / secs;
            // Let the last note and the recording's delivery catch up.
            QTimer::singleShot(800, &form_, [this, cpu] { finishRun(cpu); });
        }
    }

    void finishRun(double cpu) {
        auto [samples, axis] = recorder_->stop();
        recorder_.reset();
        // The accompaniment rings on without a pause: the picks are told from it by their attack.
        if (o_.accompaniment)
            samples = highPassed(samples);
        const OnsetResult r = findOnsets(samples, axis, dues_);
        const Stats iv = statsOf(r.intervalErrors, true);
        const Stats lat = statsOf(r.latencies, false);
        std::printf(
            "  beats %d, onsets found %d, missing %d, intervals off by more than 2 ms: %d\n",
            r.beats, r.beats - r.missing, r.missing, r.badIntervals);
        std::printf("  onset interval error |ms|:  p50 %.3f  p99 %.3f  max %.3f   (target p99 <= "
                    "0.5)\n",
                    iv.p50, iv.p99, iv.max);
        std::printf("  latency send -> sound, ms:  min %.2f  p50 %.2f  max %.2f  spread %.2f   "
                    "(target <= 30)\n",
                    lat.min, lat.p50, lat.max, lat.max - lat.min);
        if (o_.instrumentChanges)
            std::printf("  instrument changes so far: %d\n", changes_);
        std::printf("  recording's clock against the monotonic clock: %+.0f ppm\n",
                    -axis.drift * recordRate);
        if (o_.strumMs > 0) {
            const double spacing = o_.strumMs * 1000.0 / 5;
            const Stats gaps = statsOf(strumGapErrors(samples, axis, r.onsets, 6, spacing), true);
            std::printf("  strum of six over %d ms: %zu gaps of %.1f ms found (of %zu); error "
                        "|ms| p50 %.3f  p99 %.3f  max %.3f   (target within 0.5)\n",
                        o_.strumMs, gaps.count, spacing / 1000, r.onsets.size() * 5, gaps.p50,
                        gaps.p99, gaps.max);
        }
        std::printf("  CPU while playing: %.2f %% of one core; machine load: %s", cpu,
                    loadavg().c_str());
        if (auto* synth = dynamic_cast<fw::FluidSynthPort*>(form_.output().port())) {
            std::printf("  synthesizer: %lld messages too late for their frame, %lld underruns "
                        "(totals so far); nominal latency %.1f ms\n",
                        static_cast<long long>(synth->lateMessages()),
                        static_cast<long long>(synth->underruns()), synth->latencyMillis());
        }
        std::fflush(stdout);
        Result done{bpm_, seconds_, iv, lat, r.missing + r.badIntervals, 0, 0};
        if (auto* synth = dynamic_cast<fw::FluidSynthPort*>(form_.output().port())) {
            done.underruns = synth->underruns() - underrunsBefore_;
            underrunsBefore_ = synth->underruns();
            done.nominal = synth->latencyMillis();
        }
        results_.push_back(done);
        QTimer::singleShot(300, &form_, [this] { nextRun(); });
    }

    void summary() {
        std::printf("\nSummary\n  idle CPU %.2f %%\n", idleCpu_);
        for (const auto& r : results_)
            std::printf("  %4d BPM %4d s: interval error p99 %.3f ms (max %.3f), latency p50 "
                        "%.2f ms (spread %.2f), dropouts %d, underruns %lld, nominal latency %.1f "
                        "ms at the end\n",
                        r.bpm, r.seconds, r.interval.p99, r.interval.max, r.latency.p50,
                        r.latency.max - r.latency.min, r.dropouts,
                        static_cast<long long>(r.underruns), r.nominal);
    }

    struct Result {
        int bpm, seconds;
        Stats interval, latency;
        int dropouts;
        std::int64_t underruns; // during this run
        double nominal;
    };

    Options o_;
    fw::TForm1& form_;
    QApplication& app_;
    int waits_ = 0;
    double idleCpu_ = 0;
    std::vector<std::pair<int, int>> runs_;
    int bpm_ = 0;
    int seconds_ = 0;
    bool playing_ = false;
    double cpuStart_ = 0;
    std::int64_t wallStart_ = 0;
    std::vector<std::int64_t> dues_;
    std::unique_ptr<Arrivals> recorder_;
    int beatsSinceChange_ = 0;
    int nextFresh_ = 0;
    int changes_ = 0;
    std::vector<Result> results_;
    std::int64_t underrunsBefore_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    Options o;
    const char* sink = std::getenv("FW_TEST_SINK");
    o.monitor = std::string(sink && *sink ? sink : "fw_null") + ".monitor";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--idle-seconds" && i + 1 < argc) {
            o.idleSeconds = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--seconds" && i + 1 < argc) {
            o.seconds = std::max(2, std::atoi(argv[++i]));
        } else if (a == "--soak-minutes" && i + 1 < argc) {
            o.soakMinutes = std::max(0, std::atoi(argv[++i]));
        } else if (a == "--monitor" && i + 1 < argc) {
            o.monitor = argv[++i];
        } else if (a == "--instrument-changes") {
            o.instrumentChanges = true;
        } else if (a == "--accompaniment") {
            o.accompaniment = true;
        } else if (a == "--jack") {
            o.jack = true;
        } else if (a == "--strum-ms" && i + 1 < argc) {
            o.strumMs = std::clamp(std::atoi(argv[++i]), 0, 50);
        } else {
            std::fprintf(stderr,
                         "usage: %s [--idle-seconds N] [--seconds N] [--soak-minutes N] "
                         "[--monitor SOURCE] [--jack] [--strum-ms N] [--instrument-changes] "
                         "[--accompaniment]\n",
                         argv[0]);
            return 2;
        }
    }
    fw::bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    fw::bench::WindowPorts ports;
    fw::MidiOutputs outputs; // the real outputs: the built-in synthesizer is output 0
    fw::Guitar guitar(ports.clock, ports.prompts, outputs);
    fw::TForm1 form(guitar, ports.services());
    form.show();
    Bench bench(o, form, app);
    QTimer::singleShot(0, &form, [&] { bench.start(); });
    return QApplication::exec();
}
