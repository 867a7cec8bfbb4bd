#pragma once

#include <cstdint>
#include <deque>
#include <utility>

namespace fw {

// Maps the monotonic clock onto the frames of an audio stream. Each time the stream asks for
// sound, the time of asking less the time the frames written so far last gives one reading of
// where frame 0 lies on the clock. A callback that runs late only makes a reading later, never
// earlier, so the earliest reading of the last half second is the map: it ignores a busy moment
// and takes up a lasting shift (after the sound system ran dry) within half a second. A message
// stamped at time t then sounds at the frame of t plus a fixed margin, so every message has the
// same latency, whatever the period.
class StreamClock {
public:
    StreamClock(int sampleRate, std::int64_t marginMicros)
        : rate_(sampleRate), margin_(marginMicros) {}

    // At a callback: now, and the frame just past what will have been written once it returns.
    void update(std::int64_t nowMicros, std::int64_t endFrame);
    // The frame at which a message stamped at this monotonic time sounds.
    std::int64_t frameFor(std::int64_t micros) const;
    std::int64_t marginMicros() const { return margin_; }

private:
    int rate_;
    std::int64_t margin_;
    // Readings of the last half second, (time, reading), readings rising from front to back.
    std::deque<std::pair<std::int64_t, double>> window_;
};

} // namespace fw
