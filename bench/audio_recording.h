#pragma once

// What the audio benches share: recording what the built-in synthesizer played (from the null
// sink's monitor through parec, or from its JACK port), the recording's time axis on the
// monotonic clock, and the onsets of notes found in it.
//
// The recording's time axis: parec hands over each block as the null sink plays it, so the
// earliest arrivals against their positions give where the samples sat on the monotonic clock.
// The null sink's clock runs a little fast (it adds up block times rounded down, as a sound
// card's crystal may be off), so the axis is a straight line fitted through the earliest arrival
// of every second, not a fixed rate. parec asks for 2 ms blocks, which holds the null sink's own
// latency near 2 ms as well: a busier sound server than the program alone would meet.
#include "engine/clock.h"

#include <jack/jack.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace fw::bench::sound {

using fw::monotonicMicros;

// The recording's sample rate: parec records at 44.1 kHz, a JACK recording at JACK's rate.
inline int recordRate = 44100;

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

inline Stats statsOf(std::vector<double> v, bool absolute) {
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

// Normalised correlation of the template with the recording from sample `at` on.
inline double similarity(const std::vector<float>& x, std::int64_t at,
                         const std::vector<float>& tpl, double tplNorm) {
    double dot = 0, norm = 0;
    for (std::size_t k = 0; k < tpl.size(); ++k) {
        const double v = x[static_cast<std::size_t>(at) + k];
        dot += v * tpl[k];
        norm += v * v;
    }
    return norm > 0 ? dot / (std::sqrt(norm) * tplNorm) : 0;
}

// The recording's second difference: a steep high-pass that keeps a bright attack (the woodblock)
// and all but removes a low note sounding along with it (the accompaniment's), so that the first
// onset after the low note's ringing is the measured note's own. It delays nothing but a sample.
inline std::vector<float> highPassed(const std::vector<float>& x) {
    std::vector<float> y(x.size(), 0.0f);
    for (std::size_t i = 2; i < x.size(); ++i)
        y[i] = x[i] - 2 * x[i - 1] + x[i - 2];
    return y;
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
inline OnsetResult findOnsets(const std::vector<float>& x, const TimeAxis& axis,
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
inline std::vector<double> strumGapErrors(const std::vector<float>& x, const TimeAxis& axis,
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

} // namespace fw::bench::sound
