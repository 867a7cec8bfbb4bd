#include "engine/clock.h"

#include <cerrno>
#include <ctime>

namespace fw {

std::int64_t monotonicMicros() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void sleepUntilMonotonic(std::int64_t monoMicros) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(monoMicros / 1000000);
    ts.tv_nsec = static_cast<long>((monoMicros % 1000000) * 1000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

SystemClock::SystemClock() {
    timespec wall{};
    clock_gettime(CLOCK_REALTIME, &wall);
    startMono_ = monotonicMicros();
    tm local{};
    time_t secs = wall.tv_sec;
    localtime_r(&secs, &local);
    // Only the position within the hour matters, as in the recorded time format; the whole
    // milliseconds are kept so the first reading matches the wall clock's centisecond.
    base_ = (static_cast<std::int64_t>(local.tm_min) * 60 + local.tm_sec) * 1000000 +
            (wall.tv_nsec / 1000000) * 1000;
}

std::int64_t SystemClock::micros() const {
    return base_ + (monotonicMicros() - startMono_);
}

void SystemClock::sleepUntil(std::int64_t targetMicros) {
    sleepUntilMonotonic(startMono_ + (targetMicros - base_));
}

} // namespace fw
