#pragma once

namespace fw {

// Lets the window system work while a long action waits: runs timers, repaints and button
// clicks for at most the given time, returning early is allowed.
class EventPump {
public:
    virtual ~EventPump() = default;
    virtual void processEventsFor(int maxMillis) = 0;
};

} // namespace fw
