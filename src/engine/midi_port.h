#pragma once

#include "engine/midi_message.h"

#include <cstdint>
#include <string>

namespace fw {

// One MIDI output: the built-in synthesizer, a system MIDI port, or a test double.
class MidiPort {
public:
    virtual ~MidiPort() = default;
    virtual std::string name() const = 0;
    // Opens the output. Returns false when it cannot be used; calling it again retries.
    virtual bool open() = 0;
    // True while an output that opens in the background is on its way (open() said false).
    virtual bool opening() const { return false; }
    // True when a message sent now would reach the output. Never puts anything on the wire.
    virtual bool usable() const = 0;
    // Sends one short message; false when the output is not usable.
    virtual bool send(MidiMessage message) = 0;
    // Sends one short message stamped with the monotonic time (microseconds) it belongs to. An
    // output that keeps time by stamps sounds it a constant latency after that time; the others
    // send it at once.
    virtual bool sendAt(MidiMessage message, std::int64_t monoMicros) {
        (void)monoMicros;
        return send(message);
    }
    // Silences everything on every channel. Notes sent for a later time and not yet out are
    // dropped with it.
    virtual void reset() = 0;
    // Drops the messages with this status byte whose time has not come yet (the clocks still
    // due when the clock stops).
    virtual void dropPending(int status) { (void)status; }
    // Times the output opened again after it had been lost (a server that went and came back).
    // The receiver then starts from nothing and must be told the instruments again.
    virtual int reopenings() const { return 0; }
    // The constant latency after its stamp at which a stamped message sounds (0 for an output
    // that sends at once), so that a beat due at a given moment can be sent that much earlier.
    virtual std::int64_t latencyMicros() const { return 0; }
};

} // namespace fw
