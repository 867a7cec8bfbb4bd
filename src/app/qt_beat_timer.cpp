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
        // A new tempo shapes the beat under way: the next beat comes one new period after the
        // last one (at once if that is already past). Restarting the period from now instead
        // would keep pushing the beat away while the tempo bar is being dragged.
        deadline_ = std::max(lastBeat_ + period(), monotonicMicros());
        schedule();
    }
}

void BeatTimer::setEnabled(bool on) {
    if (on == enabled_)
        return;
    enabled_ = on;
    if (on) {
        lastBeat_ = monotonicMicros();
        deadline_ = lastBeat_ + period();
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
    lastBeat_ = deadline_;
    deadline_ += period();
    // After a stall longer than a beat the missed beats are dropped rather than played in a
    // burst, and the beat stays on its grid, as a drummer who lost a beat comes back in time.
    const std::int64_t after = monotonicMicros();
    if (deadline_ <= after)
        deadline_ += ((after - deadline_) / period() + 1) * period();
    schedule();
    emit timeout();
}

} // namespace fw
