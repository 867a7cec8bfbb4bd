#include "ui/qt_wake_timer.h"

#include <algorithm>

namespace fw {

namespace {
// The stretch before the time that is slept rather than left to the timer: a precise timer can
// fire a millisecond or so late, and an event handled just before it adds to that.
constexpr std::int64_t kSleepMarginMicros = 2500;
} // namespace

QtWakeTimer::QtWakeTimer(Clock& clock, QObject* parent) : QObject(parent), clock_(clock) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &QtWakeTimer::fire);
}

void QtWakeTimer::wakeAt(std::int64_t micros, std::function<void()> wake) {
    target_ = micros;
    wake_ = std::move(wake);
    arm();
}

void QtWakeTimer::cancel() {
    timer_.stop();
    wake_ = {};
}

void QtWakeTimer::arm() {
    const std::int64_t early = target_ - kSleepMarginMicros - clock_.micros();
    // Long waits are cut into steps, so a clock that does not follow the system's (a test's)
    // is read again now and then.
    timer_.start(static_cast<int>(std::clamp<std::int64_t>(early / 1000, 0, 1000)));
}

void QtWakeTimer::fire() {
    if (!wake_)
        return;
    if (target_ - clock_.micros() > kSleepMarginMicros + 1000) {
        arm();
        return;
    }
    clock_.sleepUntil(target_);
    const std::function<void()> wake = std::move(wake_);
    wake_ = {};
    wake();
}

} // namespace fw
