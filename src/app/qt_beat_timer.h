#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <optional>

namespace fw {

// An interval timer for musical beats. The event loop wakes it shortly before each beat and it
// sleeps the last stretch to the exact deadline, so beats keep time far better than a plain
// timer's millisecond wake-ups. Deadlines follow each other on the monotonic clock and do not
// drift, and a stall does not move them off their grid. Setting the interval it already has
// leaves the running period alone; a new interval counts from the last beat.
class BeatTimer : public QObject {
    Q_OBJECT
public:
    explicit BeatTimer(QObject* parent = nullptr);

    void setInterval(int ms);
    int interval() const { return intervalMs_; }
    void setEnabled(bool on);
    bool isEnabled() const { return enabled_; }
    void start() { setEnabled(true); }
    void stop() { setEnabled(false); }
    // Monotonic time of the next beat, in microseconds.
    std::int64_t nextDeadline() const { return deadline_; }
    // Monotonic time the last beat was due (the start time before the first beat).
    std::int64_t lastBeatDue() const { return lastBeat_; }
    // While a beat's handlers run: the time it was due. Nothing when a handler is called by hand.
    std::optional<std::int64_t> beatUnderWay() const {
        return inBeat_ ? std::optional(lastBeat_) : std::nullopt;
    }

    // With this on, a new interval leaves the beat under way where it is and counts from the next
    // one, as MIDI clock sent for this beat needs.
    void setTempoFromNextBeat(bool on) { tempoFromNextBeat_ = on; }
    // Following: the timer keeps no time of its own, and beats come only from beatAt(). Turned
    // off, its own beats take over one interval after the last beat.
    void setFollowing(bool on);
    bool following() const { return following_; }
    // One beat at that monotonic time (at once when it is past), while following and enabled.
    void beatAt(std::int64_t monoMicros);
    // Forgets a beat asked for and not yet given.
    void cancelBeat();

signals:
    void timeout();

private:
    void schedule();
    void wake();
    void giveBeat();
    std::int64_t period() const { return static_cast<std::int64_t>(intervalMs_) * 1000; }

    QTimer wake_;
    int intervalMs_ = 1000;
    bool enabled_ = false;
    std::int64_t deadline_ = 0;
    std::int64_t lastBeat_ = 0; // when the last beat was due (or the timer started)
    bool inBeat_ = false;
    bool tempoFromNextBeat_ = false;
    bool following_ = false;
    bool beatAsked_ = false; // following: a beat waits at deadline_
};

} // namespace fw
