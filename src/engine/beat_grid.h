#pragma once

#include "engine/clock.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>

namespace fw {

// The sequencer's beats: deadlines on a grid of the stamp clock that does not drift, and that a
// stall does not move (missed beats are dropped, as a drummer who lost a beat comes back in
// time). Setting the interval it already has leaves the running period alone; a new interval
// counts from the last beat. Following another clock it keeps no time of its own and beats only
// when told.
//
// It keeps no timer: whoever runs it is told when it wants waking (wakeWanted) and calls wake()
// then. A beat is handed over a little before it is due, never after it for want of a wake-up,
// and carries its due time: its messages are stamped with it, and every output places them by
// their stamp, so nothing sleeps to the deadline on the window thread.
class BeatGrid {
public:
    // Up to this long before its time a beat is handed over: enough for a window timer that
    // wakes a millisecond late, or one that fires a millisecond early and must not wait again.
    static constexpr std::int64_t kHandOverMicros = 2000;

    explicit BeatGrid(Clock& clock);

    // Told with the stamp time the grid next wants waking at, or nothing when it wants none.
    std::function<void(std::optional<std::int64_t>)> wakeWanted;
    // Runs for every beat; beatUnderWay() says when it is due.
    std::function<void()> onBeat;

    void setInterval(int ms);
    int interval() const { return intervalMs_; }
    std::int64_t periodMicros() const { return static_cast<std::int64_t>(intervalMs_) * 1000; }
    void setEnabled(bool on);
    bool isEnabled() const { return enabled_; }
    void start() { setEnabled(true); }
    void stop() { setEnabled(false); }
    // Stamp time of the next beat, in microseconds.
    std::int64_t nextDeadline() const { return deadline_; }
    // Stamp time the last beat was due (the start time before the first beat).
    std::int64_t lastBeatDue() const { return lastBeat_; }
    // While a beat's handlers run: the time it is due. Nothing outside a beat.
    std::optional<std::int64_t> beatUnderWay() const {
        return inBeat_ ? std::optional(lastBeat_) : std::nullopt;
    }

    // With this on, a new interval leaves the beat under way where it is and counts from the next
    // one, as MIDI clock sent for this beat needs.
    void setTempoFromNextBeat(bool on) { tempoFromNextBeat_ = on; }
    // Following: beats come only from beatAt(). Turned off, its own beats take over one interval
    // after the last beat.
    void setFollowing(bool on);
    bool following() const { return following_; }
    // One beat at that stamp time (at once when it is near or past), while following and enabled.
    void beatAt(std::int64_t stampMicros);
    // Forgets a beat asked for and not yet given.
    void cancelBeat();

    Clock& clock() const { return clock_; }

    // The waker's call: gives the beat when its hand-over time has come, and asks for the next
    // wake-up.
    void wake();

private:
    std::int64_t handOver() const;
    void schedule();
    void giveBeat(std::int64_t due);
    std::int64_t now() const { return clock_.stampMicros(); }
    // One period after the last beat, or now if that is already past.
    std::int64_t periodAfterLastBeat() const { return std::max(lastBeat_ + periodMicros(), now()); }

    Clock& clock_;
    int intervalMs_ = 1000;
    bool enabled_ = false;
    std::int64_t deadline_ = 0;
    std::int64_t lastBeat_ = 0; // when the last beat was due (or the grid started)
    bool inBeat_ = false;
    bool tempoFromNextBeat_ = false;
    bool following_ = false;
    bool beatAsked_ = false; // following: a beat waits at deadline_
};

} // namespace fw
