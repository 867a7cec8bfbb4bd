// What the player hears: woodblock picks played by the real main window (offscreen) through the
// built-in synthesizer into the sound server, recorded from the null sink's monitor, and the
// onsets found in the recording. Needs a PulseAudio server whose default sink is a null sink
// (scripts/audio-server starts one; bench/audio_timing.sh does it all in one command).
//
//   bench_audio_timing [--idle-seconds N] [--seconds N] [--soak-minutes N] [--monitor SOURCE]
//                      [--jack] [--strum-ms N] [--instrument-changes]
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
//
// Phases, in one run of the program:
//   1. idle: the synthesizer is open and nothing plays; CPU of the whole process, by thread;
//   2. 200 BPM and 1000 BPM, --seconds each: onset-to-onset interval error against the beat
//      period, and latency from the beat's send time to the onset in the recording;
//   3. with --soak-minutes: the same at 1000 BPM for that long, counting dropouts (a beat whose
//      onset is missing, or whose interval is off by more than 2 ms).
//
// The recording's time axis: parec hands over each block as the null sink plays it, so the
// earliest arrivals against their positions give where the samples sat on the monotonic clock.
// The null sink's clock runs a little fast (it adds up block times rounded down, as a sound
// card's crystal may be off), so the axis is a straight line fitted through the earliest arrival
// of every second, not a fixed rate. parec asks for 2 ms blocks, which holds the null sink's own
// latency near 2 ms as well: a busier sound server than the program alone would meet.
#include "app/qt_main_window.h"
#include "bench_ports.h"
#include "cpu_time.h"
#include "engine/clock.h"
#include "engine/fluid_synth_port.h"
#include "engine/midi_outputs.h"
#include "engine/prompts.h"
#include "engine/random.h"
#include "input/joystick.h"

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

// The recording's sample rate: parec records at 44.1 kHz, a JACK recording at JACK's rate.
int recordRate = 44100;
constexpr int kWoodblock = 115;
constexpr int kNote = 76;

// Monotonic microseconds of a recorded sample: origin + i (1e6 / rate + drift).
struct TimeAxis {
    double origin = 0;
    double drift = 0;
    double at(double i) const { return origin + i * (1e6 / recordRate + drift); }
    double indexOf(double micros) const { return (micros - origin) / (1e6 / recordRate + drift); }
};

// Samples as they arrive, with the earliest arrival of each second for the time axis.
class Arrivals {
public:
    virtual ~Arrivals() = default;
    virtual bool started() const = 0;
    // Stops recording; returns the samples and their time axis.
    virtual std::pair<std::vector<float>, TimeAxis> stop() = 0;

protected:
    // A piece that waited got fresh sound: its first sample was played no later than now.
    void noteArrival(std::size_t before, std::int64_t now) {
        const std::size_t second = before / recordRate;
        if (earliest_.size() <= second)
            earliest_.resize(second + 1, {0.0, 1e300});
        const double o = static_cast<double>(now) - static_cast<double>(before) * 1e6 / recordRate;
        if (o < earliest_[second].second)
            earliest_[second] = {static_cast<double>(before), o};
    }
    // Least squares through the earliest arrival of each second.
    TimeAxis fitAxis() const {
        double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (const auto& [i, o] : earliest_) {
            if (o > 1e299)
                continue;
            n += 1;
            sx += i;
            sy += o;
            sxx += i * i;
            sxy += i * o;
        }
        TimeAxis axis;
        if (n < 1)
            return axis;
        const double d = n * sxx - sx * sx;
        axis.drift = n >= 2 && d != 0 ? (n * sxy - sx * sy) / d : 0.0;
        axis.origin = (sy - axis.drift * sx) / n;
        return axis;
    }

    std::vector<std::pair<double, double>> earliest_; // per second: (sample, offset)
};

// A JACK client of the bench's own, recording the synthesizer's first output port. JACK hands
// each period over as it is played, as parec does with the null sink's blocks.
class JackRecorder final : public Arrivals {
public:
    JackRecorder() {
        client_ = jack_client_open("fw_bench_rec", JackNoStartServer, nullptr);
        if (!client_)
            return;
        recordRate = static_cast<int>(jack_get_sample_rate(client_));
        samples_.resize(static_cast<std::size_t>(recordRate) * 60 * 20);
        in_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &JackRecorder::process, this);
        if (!in_ || jack_activate(client_) != 0)
            return;
        const char** ports = jack_get_ports(client_, "^Fretwright[^:]*:out_1$",
                                            JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
        started_ = ports && ports[0] && jack_connect(client_, ports[0], jack_port_name(in_)) == 0;
        if (ports)
            jack_free(ports);
    }
    ~JackRecorder() override { stop(); }
    bool started() const override { return started_; }
    std::pair<std::vector<float>, TimeAxis> stop() override {
        if (client_) {
            jack_deactivate(client_);
            jack_client_close(client_);
            client_ = nullptr;
        }
        samples_.resize(count_);
        return {std::move(samples_), fitAxis()};
    }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto* me = static_cast<JackRecorder*>(self);
        const std::int64_t now = monotonicMicros();
        const auto* in = static_cast<const float*>(jack_port_get_buffer(me->in_, frames));
        const std::size_t before = me->count_;
        const std::size_t n = std::min<std::size_t>(frames, me->samples_.size() - before);
        std::memcpy(me->samples_.data() + before, in, n * sizeof(float));
        me->count_ = before + n;
        me->noteArrival(before, now);
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* in_ = nullptr;
    bool started_ = false;
    std::vector<float> samples_;
    std::size_t count_ = 0;
};

// parec in a child process, its samples read through a pipe by a thread that notes when each
// piece arrived. Kept out of the measured process so that its CPU does not count.
class Recorder final : public Arrivals {
public:
    explicit Recorder(const std::string& source) {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const std::string dev = "--device=" + source;
        const char* argv[] = {"parec",        "--raw",        "--format=float32le",
                              "--channels=1", "--rate=44100", "--latency-msec=2",
                              dev.c_str(),    nullptr};
        started_ =
            posix_spawnp(&pid_, "parec", &actions, nullptr, const_cast<char**>(argv), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        fd_ = fds[0];
        if (started_)
            reader_ = std::thread([this] { readLoop(); });
    }
    ~Recorder() override { stop(); }

    bool started() const override { return started_; }
    std::size_t frames() {
        std::lock_guard<std::mutex> lock(mutex_);
        return samples_.size();
    }

    // Stops recording; returns the samples and the monotonic time of sample 0 in microseconds.
    std::pair<std::vector<float>, TimeAxis> stop() override {
        if (started_) {
            kill(pid_, SIGINT);
            int status = 0;
            waitpid(pid_, &status, 0);
            started_ = false;
        }
        if (reader_.joinable())
            reader_.join();
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
        return {std::move(samples_), fitAxis()};
    }

private:
    void readLoop() {
        std::vector<char> buf(1 << 16);
        std::string carry;
        std::int64_t lastReturn = 0;
        for (;;) {
            const ssize_t n = read(fd_, buf.data(), buf.size());
            if (n <= 0)
                break;
            const std::int64_t now = monotonicMicros();
            carry.append(buf.data(), static_cast<std::size_t>(n));
            const std::size_t whole = carry.size() / 4;
            std::lock_guard<std::mutex> lock(mutex_);
            const std::size_t before = samples_.size();
            samples_.resize(before + whole);
            std::memcpy(samples_.data() + before, carry.data(), whole * 4);
            carry.erase(0, whole * 4);
            if (now - lastReturn > 300)
                noteArrival(before, now);
            lastReturn = now;
        }
    }

    pid_t pid_ = 0;
    int fd_ = -1;
    bool started_ = false;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<float> samples_;
};

struct Stats {
    double p50 = 0, p99 = 0, max = 0, min = 0;
    std::size_t count = 0;
};

Stats statsOf(std::vector<double> v, bool absolute) {
    Stats s;
    s.count = v.size();
    if (v.empty())
        return s;
    if (absolute)
        for (auto& x : v)
            x = std::fabs(x);
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) {
        const auto i = static_cast<std::size_t>(std::ceil(q * static_cast<double>(v.size()))) - 1;
        return v[std::min(i, v.size() - 1)];
    };
    s.p50 = at(0.50);
    s.p99 = at(0.99);
    s.max = v.back();
    s.min = v.front();
    return s;
}

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

// Normalised correlation of the template with the recording from sample `at` on.
double similarity(const std::vector<float>& x, std::int64_t at, const std::vector<float>& tpl,
                  double tplNorm) {
    double dot = 0, norm = 0;
    for (std::size_t k = 0; k < tpl.size(); ++k) {
        const double v = x[static_cast<std::size_t>(at) + k];
        dot += v * tpl[k];
        norm += v * v;
    }
    return norm > 0 ? dot / (std::sqrt(norm) * tplNorm) : 0;
}

struct OnsetResult {
    std::vector<double> onsets;         // sample positions
    std::vector<double> intervalErrors; // ms
    std::vector<double> latencies;      // ms
    int missing = 0;
    int badIntervals = 0; // off by more than 2 ms
    int beats = 0;
};

// Finds the onset of every beat: the first beat's by threshold, every one after by matching the
// first one's waveform (all picks are the same note of the same instrument) near where it is due.
OnsetResult findOnsets(const std::vector<float>& x, const TimeAxis& axis,
                       const std::vector<std::int64_t>& dues) {
    OnsetResult r;
    r.beats = static_cast<int>(dues.size());
    if (dues.empty() || x.empty())
        return r;
    const auto indexOf = [&](double micros) { return axis.indexOf(micros); };
    // The first pick is the first sound after silence: the first sample well above the quiet
    // before it, from shortly before the first beat on.
    const auto from = std::max<std::int64_t>(
        static_cast<std::int64_t>(indexOf(static_cast<double>(dues[0]) - 20000)), 0);
    const auto to = std::min<std::int64_t>(from + recordRate, static_cast<std::int64_t>(x.size()));
    float peak = 0;
    for (std::int64_t i = from; i < to; ++i)
        peak = std::max(peak, std::fabs(x[static_cast<std::size_t>(i)]));
    const float threshold = peak * 0.1f;
    std::int64_t first = -1;
    for (std::int64_t i = from; i < to; ++i) {
        if (std::fabs(x[static_cast<std::size_t>(i)]) > threshold) {
            first = i;
            break;
        }
    }
    constexpr int kLead = 32;
    constexpr int kLength = 384;
    std::vector<float> tpl(x.begin() + first - kLead, x.begin() + first - kLead + kLength);
    double tplNorm = 0;
    for (float v : tpl)
        tplNorm += static_cast<double>(v) * v;
    tplNorm = std::sqrt(tplNorm);

    double latency = axis.at(static_cast<double>(first)) - static_cast<double>(dues[0]);
    const double period = dues.size() > 1 ? static_cast<double>(dues[1] - dues[0]) : 60000.0;
    // Near the last onset's latency; after a lost beat (a dropout moves what follows) wider.
    const int narrow = static_cast<int>(std::min(period / 3, 8000.0) * recordRate / 1e6);
    const int wide = static_cast<int>(std::min(period / 2, 40000.0) * recordRate / 1e6);
    bool havePrevious = false;
    double previous = 0;
    std::int64_t previousDue = 0;
    for (std::int64_t due : dues) {
        const int search = havePrevious ? narrow : wide;
        const double expected = indexOf(static_cast<double>(due) + latency) - kLead;
        const auto centre = static_cast<std::int64_t>(std::llround(expected));
        double best = -2;
        std::int64_t bestAt = -1;
        std::vector<double> corr(static_cast<std::size_t>(2 * search + 1), 0.0);
        for (int lag = -search; lag <= search; ++lag) {
            const std::int64_t at = centre + lag;
            if (at < 0 || at + kLength >= static_cast<std::int64_t>(x.size()))
                continue;
            const double c = similarity(x, at, tpl, tplNorm);
            corr[static_cast<std::size_t>(lag + search)] = c;
            if (c > best) {
                best = c;
                bestAt = lag;
            }
        }
        if (best < 0.6) {
            ++r.missing;
            havePrevious = false;
            continue;
        }
        // Parabolic refinement between samples.
        double frac = 0;
        if (bestAt > -search && bestAt < search) {
            const double a = corr[static_cast<std::size_t>(bestAt - 1 + search)];
            const double b = corr[static_cast<std::size_t>(bestAt + search)];
            const double c = corr[static_cast<std::size_t>(bestAt + 1 + search)];
            const double d = a - 2 * b + c;
            if (d < 0)
                frac = 0.5 * (a - c) / d;
        }
        const double onset = static_cast<double>(centre + bestAt) + frac + kLead;
        r.onsets.push_back(onset);
        const double onsetMicros = axis.at(onset);
        const double lat = onsetMicros - static_cast<double>(due);
        r.latencies.push_back(lat / 1000.0);
        latency = lat;
        if (havePrevious) {
            const double err =
                axis.at(onset) - axis.at(previous) - static_cast<double>(due - previousDue);
            r.intervalErrors.push_back(err / 1000.0);
            if (std::fabs(err) > 2000)
                ++r.badIntervals;
        }
        havePrevious = true;
        previous = onset;
        previousDue = due;
    }
    return r;
}

// The plucks of each strum after its first: found near where they are due after the first one,
// by matching the first pluck's attack. Returns each gap's error against the spacing, in ms.
std::vector<double> strumGapErrors(const std::vector<float>& x, const TimeAxis& axis,
                                   const std::vector<double>& groupOnsets, int plucks,
                                   double spacingMicros) {
    std::vector<double> errors;
    if (groupOnsets.empty())
        return errors;
    constexpr int kLength = 140; // shorter than the gap, so one attack only
    const auto first = static_cast<std::int64_t>(groupOnsets[0]);
    if (first < 8 || first + kLength >= static_cast<std::int64_t>(x.size()))
        return errors;
    std::vector<float> tpl(x.begin() + first - 8, x.begin() + first - 8 + kLength);
    double tplNorm = 0;
    for (float v : tpl)
        tplNorm += static_cast<double>(v) * v;
    tplNorm = std::sqrt(tplNorm);
    const int search = static_cast<int>(spacingMicros / 3 * recordRate / 1e6);
    for (double start : groupOnsets) {
        double previous = start;
        for (int k = 1; k < plucks; ++k) {
            const double expected = axis.indexOf(axis.at(previous) + spacingMicros) - 8;
            double best = -2;
            double bestAt = 0;
            for (int lag = -search; lag <= search; ++lag) {
                const auto at = static_cast<std::int64_t>(std::llround(expected)) + lag;
                if (at < 0 || at + kLength >= static_cast<std::int64_t>(x.size()))
                    continue;
                const double c = similarity(x, at, tpl, tplNorm);
                if (c > best) {
                    best = c;
                    bestAt = static_cast<double>(at) + 8;
                }
            }
            if (best < 0.3)
                break;
            errors.push_back((axis.at(bestAt) - axis.at(previous) - spacingMicros) / 1000.0);
            previous = bestAt;
        }
    }
    return errors;
}

struct Options {
    int idleSeconds = 20;
    int seconds = 60;
    int soakMinutes = 0;
    std::string monitor;
    bool jack = false;
    int strumMs = 0;
    bool instrumentChanges = false;
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
        const double cpu = fw::bench::cpuSeconds();
        const std::int64_t wall = monotonicMicros();
        QTimer::singleShot(o_.idleSeconds * 1000, &form_, [this, threads, cpu, wall] {
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
        results_.push_back({bpm_, seconds_, iv, lat, r.missing + r.badIntervals});
        QTimer::singleShot(300, &form_, [this] { nextRun(); });
    }

    void summary() {
        std::printf("\nSummary\n  idle CPU %.2f %%\n", idleCpu_);
        for (const auto& r : results_)
            std::printf("  %4d BPM %4d s: interval error p99 %.3f ms (max %.3f), latency p50 "
                        "%.2f ms (spread %.2f), dropouts %d\n",
                        r.bpm, r.seconds, r.interval.p99, r.interval.max, r.latency.p50,
                        r.latency.max - r.latency.min, r.dropouts);
    }

    struct Result {
        int bpm, seconds;
        Stats interval, latency;
        int dropouts;
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
        } else if (a == "--jack") {
            o.jack = true;
        } else if (a == "--strum-ms" && i + 1 < argc) {
            o.strumMs = std::clamp(std::atoi(argv[++i]), 0, 50);
        } else {
            std::fprintf(stderr,
                         "usage: %s [--idle-seconds N] [--seconds N] [--soak-minutes N] "
                         "[--monitor SOURCE] [--jack] [--strum-ms N] [--instrument-changes]\n",
                         argv[0]);
            return 2;
        }
    }
    fw::bench::offscreenUnlessSet();
    QApplication app(argc, argv);
    fw::bench::WindowPorts ports;
    fw::MidiOutputs outputs; // the real outputs: the built-in synthesizer is output 0
    fw::TForm1 form(ports.with(outputs));
    form.show();
    Bench bench(o, form, app);
    QTimer::singleShot(0, &form, [&] { bench.start(); });
    return QApplication::exec();
}
