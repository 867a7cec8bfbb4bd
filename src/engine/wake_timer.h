#pragma once

#include <cstdint>
#include <functional>

namespace fw {

// Calls back on the window thread when the play clock reaches a time, so that a long activity
// runs as a state machine between window events instead of waiting inside a handler. At run
// time a precise window timer that sleeps the last stretch to the exact time; in tests a fake
// that the test fires.
class WakeTimer {
public:
    virtual ~WakeTimer() = default;
    // Replaces any wake still pending.
    virtual void wakeAt(std::int64_t micros, std::function<void()> wake) = 0;
    virtual void cancel() = 0;
};

} // namespace fw
