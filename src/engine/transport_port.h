#pragma once

#include <cstdint>

namespace fw {

// A transport another program rolls, whose beats the sequencer can follow: at run time a JACK
// server's, in tests a fake. Beats are told ahead with the stamp time they fall on; the owner
// takes them on its own thread with next().
class TransportPort {
public:
    struct Event {
        // Withdrawn: the beat told last is not to be given (the start came later than foreseen).
        enum class Kind { Beat, Stopped, Withdrawn } kind = Kind::Beat;
        std::int64_t monoMicros = 0; // when the beat falls (or the stop was seen)
        double bpm = 0;              // the tempo the beat came at
        bool fromMaster = false;     // the tempo is the timebase master's
    };

    virtual ~TransportPort() = default;
    // Opens the client (false when no server runs) or closes it.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // False once the server went away.
    virtual bool alive() const = 0;
    virtual bool rolling() const = 0;
    // The tempo used without a timebase master.
    virtual void setOwnBpm(double bpm) = 0;
    // The timebase master's tempo in the last period, or 0 when there is none.
    virtual double masterBpm() const = 0;
    // Takes the next event; false when there is none.
    virtual bool next(Event& event) = 0;
};

} // namespace fw
