#include "app/qt_beat_timer.h"

#include "engine/clock.h"

#include <algorithm>

namespace fw {

namespace {
// How early the event loop hands over before a beat. Enough to cover a late wake-up of the event
// dispatcher on a busy machine; the rest is slept precisely.
constexpr std::int64_t kEarlyMicros = 3000;
} // namespace

BeatTimer::BeatTimer(QObject* parent) : QObject(parent) {
    wake_.setSingleShot(true);
    wake_.setTimerType(Qt::PreciseTimer);
    connect(&wake_, &QTimer::timeout, this, &BeatTimer::wake);
}

void BeatTimer::setInterval(int ms) {
    ms = std::max(ms, 1);
    if (ms == intervalMs_)
        return;
    intervalMs_ = ms;
    if (enabled_) {
        deadline_ = monotonicMicros() + static_cast<std::int64_t>(intervalMs_) * 1000;
        schedule();
    }
}

void BeatTimer::setEnabled(bool on) {
    if (on == enabled_)
        return;
    enabled_ = on;
    if (on) {
        deadline_ = monotonicMicros() + static_cast<std::int64_t>(intervalMs_) * 1000;
        schedule();
    } else {
        wake_.stop();
    }
}

void BeatTimer::schedule() {
    const std::int64_t lead = deadline_ - kEarlyMicros - monotonicMicros();
    wake_.start(static_cast<int>(std::max<std::int64_t>(lead / 1000, 0)));
}

void BeatTimer::wake() {
    if (!enabled_)
        return;
    const std::int64_t now = monotonicMicros();
    if (deadline_ - now > kEarlyMicros + 1000) {
        // Woken far too early (the interval changed under us): wait on the loop again.
        schedule();
        return;
    }
    sleepUntilMonotonic(deadline_);
    const std::int64_t period = static_cast<std::int64_t>(intervalMs_) * 1000;
    deadline_ += period;
    // After a long stall start afresh instead of firing a burst of late beats.
    if (deadline_ <= monotonicMicros())
        deadline_ = monotonicMicros() + period;
    schedule();
    emit timeout();
}

} // namespace fw
