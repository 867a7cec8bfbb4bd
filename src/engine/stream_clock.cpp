#include "engine/stream_clock.h"

#include <cmath>

namespace fw {

namespace {
constexpr std::int64_t kWindowMicros = 500000;
} // namespace

StreamClock::StreamClock(int sampleRate, std::int64_t marginMicros)
    : rate_(sampleRate), margin_(marginMicros), window_(std::make_unique<Reading[]>(kReadings)) {}

void StreamClock::update(std::int64_t nowMicros, std::int64_t endFrame) {
    const double reading =
        static_cast<double>(nowMicros) - static_cast<double>(endFrame) * 1e6 / rate_;
    while (count_ > 0 && slot(count_ - 1).origin >= reading)
        --count_;
    if (count_ == kReadings) { // the oldest gives way
        first_ = (first_ + 1) % kReadings;
        --count_;
    }
    slot(count_++) = {nowMicros, reading};
    while (slot(0).at < nowMicros - kWindowMicros) {
        first_ = (first_ + 1) % kReadings;
        --count_;
    }
}

std::int64_t StreamClock::frameFor(std::int64_t micros) const {
    const double origin = count_ == 0 ? 0.0 : slot(0).origin;
    return std::llround((static_cast<double>(micros + margin_) - origin) * rate_ / 1e6);
}

} // namespace fw
