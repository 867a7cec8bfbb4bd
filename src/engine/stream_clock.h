#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace fw {

// Maps the monotonic clock onto the frames of an audio stream. Each time the stream asks for
// sound, the time of asking less the time the frames written so far last gives one reading of
// where frame 0 lies on the clock. A callback that runs late only makes a reading later, never
// earlier, so the earliest reading of the last half second is the map: it ignores a busy moment
// and takes up a lasting shift (after the sound system ran dry) within half a second. A message
// stamped at time t then sounds at the frame of t plus a fixed margin, so every message has the
// same latency, whatever the period.
//
// It runs in the audio callback: the readings live in a ring taken at construction, and a stream
// asking more often than the ring holds only shortens the window.
class StreamClock {
public:
    StreamClock(int sampleRate, std::int64_t marginMicros);

    // At a callback: now, and the frame just past what will have been written once it returns.
    void update(std::int64_t nowMicros, std::int64_t endFrame);
    // Forgets the readings: the stream paused, so frame 0 lies elsewhere on the clock now.
    void restart() { count_ = 0; }
    // The frame at which a message stamped at this monotonic time sounds.
    std::int64_t frameFor(std::int64_t micros) const;
    std::int64_t marginMicros() const { return margin_; }

    static constexpr std::size_t kReadings = 2048;

private:
    struct Reading {
        std::int64_t at;
        double origin;
    };
    Reading& slot(std::size_t k) const { return window_[(first_ + k) % kReadings]; }

    int rate_;
    std::int64_t margin_;
    // Readings of the last half second, origins rising from first to last.
    std::unique_ptr<Reading[]> window_;
    std::size_t first_ = 0;
    std::size_t count_ = 0;
};

} // namespace fw
