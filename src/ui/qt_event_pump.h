#pragma once

#include "engine/event_pump.h"

namespace fw {

// Runs the window system's event loop for a while: timers fire, buttons work, windows repaint.
class QtEventPump final : public EventPump {
public:
    void processEventsFor(int maxMillis) override;
};

} // namespace fw
