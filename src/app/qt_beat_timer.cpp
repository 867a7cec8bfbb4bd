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
    if (enabled_ && !following_ && !tempoFromNextBeat_) {
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
    beatAsked_ = false;
    if (on) {
        lastBeat_ = monotonicMicros();
        deadline_ = lastBeat_ + period();
        if (!following_)
            schedule();
    } else {
        wake_.stop();
    }
}

void BeatTimer::schedule() {
    const std::int64_t lead = deadline_ - kEarlyMicros - monotonicMicros();
    wake_.start(static_cast<int>(std::max<std::int64_t>(lead / 1000, 0)));
}

void BeatTimer::setFollowing(bool on) {
    if (on == following_)
        return;
    following_ = on;
    beatAsked_ = false;
    wake_.stop();
    if (!on && enabled_) {
        deadline_ = std::max(lastBeat_ + period(), monotonicMicros());
        schedule();
    }
}

void BeatTimer::beatAt(std::int64_t monoMicros) {
    if (!enabled_ || !following_)
        return;
    // A beat still waiting goes first: beats are never dropped or reordered.
    if (beatAsked_)
        giveBeat();
    deadline_ = monoMicros;
    beatAsked_ = true;
    if (deadline_ - monotonicMicros() > kEarlyMicros)
        schedule();
    else
        giveBeat();
}

void BeatTimer::cancelBeat() {
    beatAsked_ = false;
    if (following_)
        wake_.stop();
}

void BeatTimer::giveBeat() {
    wake_.stop();
    beatAsked_ = false;
    sleepUntilMonotonic(deadline_);
    lastBeat_ = deadline_;
    inBeat_ = true;
    emit timeout();
    inBeat_ = false;
}

void BeatTimer::wake() {
    if (!enabled_ || (following_ && !beatAsked_))
        return;
    const std::int64_t now = monotonicMicros();
    if (deadline_ - now > kEarlyMicros + 1000) {
        // Woken far too early (the interval changed under us): wait on the loop again.
        schedule();
        return;
    }
    if (following_) {
        giveBeat();
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
    inBeat_ = true;
    emit timeout();
    inBeat_ = false;
}

} // namespace fw
