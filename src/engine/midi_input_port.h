#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace fw {

// One MIDI input: a system port, the program's own virtual port, or a test double.
class MidiInputPort {
public:
    // Called on the input's own thread with each message as it came in and the monotonic time it
    // belongs to. The bytes are only valid during the call.
    using Handler =
        std::function<void(const std::uint8_t* bytes, std::size_t size, std::int64_t monoMicros)>;

    virtual ~MidiInputPort() = default;
    // Starts listening; false when the input cannot be opened.
    virtual bool open(Handler handler) = 0;
    // Stops listening; once it returns the handler is not called any more.
    virtual void close() = 0;
};

} // namespace fw
