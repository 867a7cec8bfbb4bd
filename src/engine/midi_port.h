#pragma once

#include <cstdint>
#include <string>

namespace fw {

// One MIDI output: the built-in synthesizer, a system MIDI port, or a test double.
// Messages are short messages packed as the output layer keeps them: status in the lowest byte,
// then data 1, data 2, and a zero fourth byte.
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
    virtual bool send(std::uint32_t packed) = 0;
    // Sends one short message stamped with the monotonic time (microseconds) it belongs to. An
    // output that keeps time by stamps sounds it a constant latency after that time; the others
    // send it at once.
    virtual bool sendAt(std::uint32_t packed, std::int64_t monoMicros) {
        (void)monoMicros;
        return send(packed);
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

inline std::uint32_t packShortMessage(int status, int data1, int data2) {
    return (static_cast<std::uint32_t>(status) & 0xFFu) |
           ((static_cast<std::uint32_t>(data1) & 0xFFu) << 8) |
           ((static_cast<std::uint32_t>(data2) & 0xFFu) << 16);
}

// Number of data bytes that follow a status byte in a channel message.
inline int channelMessageDataBytes(int status) {
    const int kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

// System real-time messages (clock, start, continue, stop, ...) are the one status byte alone.
inline bool isSystemRealtime(int status) {
    return status >= 0xF8 && status <= 0xFF;
}

// Bytes on the wire of a short message the outputs send: a channel message or a system
// real-time message; 0 for anything else.
inline int shortMessageSize(int status) {
    if (isSystemRealtime(status))
        return 1;
    if (status >= 0x80 && status < 0xF0)
        return 1 + channelMessageDataBytes(status);
    return 0;
}

// The system real-time messages of MIDI clock.
inline constexpr int kMidiClock = 0xF8;
inline constexpr int kMidiStart = 0xFA;
inline constexpr int kMidiContinue = 0xFB;
inline constexpr int kMidiStop = 0xFC;

} // namespace fw
