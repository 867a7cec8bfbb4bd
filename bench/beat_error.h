#pragma once

// What the beat benches share: an output that notes when each message left, the floor thread
// that sleeps to the same grid with clock_nanosleep, and percentiles of the errors.
#include "cpu_time.h"
#include "engine/clock.h"
#include "engine/midi_port.h"
#include "platform/midi_outputs.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace fw::bench {

// An output that notes when each message arrived; with an inner port it passes every message
// on, so the notes still sound.
class StampingPort final : public MidiPort {
public:
    struct Stamp {
        std::int64_t micros; // when it arrived
        std::uint32_t packed;
        std::int64_t stamp; // the time it was sent with
    };
    explicit StampingPort(std::unique_ptr<MidiPort> inner = nullptr) : inner_(std::move(inner)) {
        stamps.reserve(1 << 16);
    }
    std::string name() const override { return inner_ ? inner_->name() : "Stamping port"; }
    bool open() override { return opened_ = inner_ ? inner_->open() : true; }
    bool usable() const override { return inner_ ? inner_->usable() : opened_; }
    bool send(MidiMessage message) override { return sendAt(message, monotonicMicros()); }
    bool sendAt(MidiMessage message, std::int64_t monoMicros) override {
        stamps.push_back({monotonicMicros(), message.packed(), monoMicros});
        return inner_ ? inner_->sendAt(message, monoMicros) : true;
    }
    void reset() override {
        if (inner_)
            inner_->reset();
    }
    MidiPort* inner() const { return inner_.get(); }
    std::vector<Stamp> stamps;

private:
    std::unique_ptr<MidiPort> inner_;
    bool opened_ = false;
};

// An output list of a single stamping port, which `port` points at once the list makes it.
inline MidiOutputs stampingOutputs(StampingPort*& port) {
    return MidiOutputs{"stamping", [] { return std::vector<std::string>{}; },
                       [&port](const std::string&) {
                           auto p = std::make_unique<StampingPort>();
                           port = p.get();
                           return p;
                       }};
}

struct Stats {
    double p50 = 0, p99 = 0, max = 0, min = 0;
    std::size_t count = 0;
};

// Percentiles in milliseconds of errors in microseconds.
inline Stats statsOf(std::vector<std::int64_t> v) {
    Stats s;
    s.count = v.size();
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    const auto at = [&](double q) {
        const auto i = static_cast<std::size_t>(std::ceil(q * static_cast<double>(v.size()))) - 1;
        return static_cast<double>(v[std::min(i, v.size() - 1)]) / 1000.0;
    };
    s.p50 = at(0.50);
    s.p99 = at(0.99);
    s.max = static_cast<double>(v.back()) / 1000.0;
    s.min = static_cast<double>(v.front()) / 1000.0;
    return s;
}

inline void printStats(const char* label, const Stats& s) {
    std::printf("%-34s %7zu  %8.3f  %8.3f  %8.3f  %8.3f\n", label, s.count, s.min, s.p50, s.p99,
                s.max);
}

// The floor: wakes at anchor + i x period for i = 1..beats and notes how late it woke in
// (*errors)[i - 1], which the caller sized beforehand so that the thread allocates nothing.
// With done, the count of errors written is published there for a reader during the run.
inline void floorThread(std::int64_t anchor, std::int64_t period, int beats,
                        std::vector<std::int64_t>* errors, std::atomic<int>* done = nullptr) {
    for (int i = 1; i <= beats && i <= static_cast<int>(errors->size()); ++i) {
        const std::int64_t deadline = anchor + i * period;
        timespec ts{};
        ts.tv_sec = static_cast<time_t>(deadline / 1000000);
        ts.tv_nsec = static_cast<long>((deadline % 1000000) * 1000);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
        (*errors)[static_cast<std::size_t>(i - 1)] = monotonicMicros() - deadline;
        if (done)
            done->store(i, std::memory_order_release);
    }
}

} // namespace fw::bench
