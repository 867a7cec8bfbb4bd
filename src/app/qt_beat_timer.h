#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>

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

signals:
    void timeout();

private:
    void schedule();
    void wake();
    std::int64_t period() const { return static_cast<std::int64_t>(intervalMs_) * 1000; }

    QTimer wake_;
    int intervalMs_ = 1000;
    bool enabled_ = false;
    std::int64_t deadline_ = 0;
    std::int64_t lastBeat_ = 0; // when the last beat was due (or the timer started)
};

} // namespace fw
