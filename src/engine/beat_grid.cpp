#include "engine/beat_grid.h"

#include <algorithm>

namespace fw {

BeatGrid::BeatGrid(Clock& clock) : clock_(clock) {}

std::int64_t BeatGrid::handOver() const {
    // Never more than a quarter beat, so that very short beats are not handed over ahead of
    // the beat before them.
    return std::min(kHandOverMicros, periodMicros() / 4);
}

void BeatGrid::setInterval(int ms) {
    ms = std::max(ms, 1);
    if (ms == intervalMs_)
        return;
    intervalMs_ = ms;
    if (enabled_ && !following_ && !tempoFromNextBeat_) {
        // A new tempo shapes the beat under way: the next beat comes one new period after the
        // last one (at once if that is already past). Restarting the period from now instead
        // would keep pushing the beat away while the tempo bar is being dragged.
        deadline_ = periodAfterLastBeat();
        schedule();
    }
}

void BeatGrid::setEnabled(bool on) {
    if (on == enabled_)
        return;
    enabled_ = on;
    beatAsked_ = false;
    if (on) {
        lastBeat_ = now();
        deadline_ = lastBeat_ + periodMicros();
    }
    schedule();
}

void BeatGrid::setFollowing(bool on) {
    if (on == following_)
        return;
    following_ = on;
    beatAsked_ = false;
    if (!on && enabled_)
        deadline_ = periodAfterLastBeat();
    schedule();
}

void BeatGrid::beatAt(std::int64_t stampMicros) {
    if (!enabled_ || !following_)
        return;
    // A beat still waiting goes first: beats are never dropped or reordered.
    if (beatAsked_) {
        beatAsked_ = false;
        giveBeat(deadline_);
    }
    deadline_ = stampMicros;
    beatAsked_ = true;
    wake();
}

void BeatGrid::cancelBeat() {
    if (!beatAsked_)
        return;
    beatAsked_ = false;
    schedule();
}

void BeatGrid::schedule() {
    if (!wakeWanted)
        return;
    if (!enabled_ || (following_ && !beatAsked_))
        wakeWanted(std::nullopt);
    else
        wakeWanted(deadline_ - handOver());
}

void BeatGrid::wake() {
    if (!enabled_ || (following_ && !beatAsked_))
        return;
    const std::int64_t t = now();
    if (deadline_ - t > handOver()) {
        // Woken too early (the interval changed meanwhile): wait again.
        schedule();
        return;
    }
    const std::int64_t due = deadline_;
    if (following_) {
        beatAsked_ = false;
    } else {
        deadline_ += periodMicros();
        // After a stall longer than a beat the missed beats are dropped rather than played in a
        // burst, and the beat stays on its grid.
        if (deadline_ <= t)
            deadline_ += ((t - deadline_) / periodMicros() + 1) * periodMicros();
    }
    schedule();
    giveBeat(due);
}

void BeatGrid::giveBeat(std::int64_t due) {
    lastBeat_ = due;
    inBeat_ = true;
    if (onBeat)
        onBeat();
    inBeat_ = false;
}

} // namespace fw
