#include "engine/stream_clock.h"

#include <cmath>

namespace fw {

namespace {
constexpr std::int64_t kWindowMicros = 500000;
} // namespace

void StreamClock::update(std::int64_t nowMicros, std::int64_t endFrame) {
    const double reading =
        static_cast<double>(nowMicros) - static_cast<double>(endFrame) * 1e6 / rate_;
    while (!window_.empty() && window_.back().second >= reading)
        window_.pop_back();
    window_.emplace_back(nowMicros, reading);
    while (window_.front().first < nowMicros - kWindowMicros)
        window_.pop_front();
}

std::int64_t StreamClock::frameFor(std::int64_t micros) const {
    const double origin = window_.empty() ? 0.0 : window_.front().second;
    return std::llround((static_cast<double>(micros + margin_) - origin) * rate_ / 1e6);
}

} // namespace fw
