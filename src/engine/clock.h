#pragma once

#include <cstdint>

namespace fw {

// Source of play time. A reading counts from the start of the hour in which the program started
// and then runs on monotonically: it never wraps at the full hour and never jumps when the wall
// clock or daylight saving changes, so every wait ends and recordings keep their order.
class Clock {
public:
    virtual ~Clock() = default;
    // Microseconds on the play time base.
    virtual std::int64_t micros() const = 0;
    // Block the calling thread until micros() has reached the given value.
    virtual void sleepUntil(std::int64_t targetMicros) = 0;

    // The time base that messages are stamped in and that the outputs place them by: the
    // system's monotonic clock at run time. It runs at the same rate as micros(), a constant
    // apart.
    std::int64_t stampMicros() const { return micros() - stampOffset(); }
    // micros() minus stampMicros().
    virtual std::int64_t stampOffset() const { return 0; }

    // The centisecond reading that Z2UVIR times and log replay use.
    int reading() const { return static_cast<int>(micros() / 10000); }
    // Centiseconds from an earlier reading until now.
    int elapsedSince(int earlier) const { return reading() - earlier; }
};

class SystemClock final : public Clock {
public:
    SystemClock();
    std::int64_t micros() const override;
    void sleepUntil(std::int64_t targetMicros) override;

    std::int64_t stampOffset() const override { return base_ - startMono_; }

    // Microseconds past the full hour of local time, read once at construction.
    std::int64_t baseMicros() const { return base_; }

private:
    std::int64_t base_ = 0;
    std::int64_t startMono_ = 0;
};

// Monotonic time in microseconds (CLOCK_MONOTONIC): the system clock, read here alone. The play
// code takes it through a Clock; the audio and MIDI threads of the backends stamp with it.
std::int64_t monotonicMicros();
// Sleep until the given monotonic time (absolute, so sleeps do not drift).
void sleepUntilMonotonic(std::int64_t monoMicros);

} // namespace fw
