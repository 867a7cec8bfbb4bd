#pragma once

#include <cstdint>
#include <memory>

namespace fw {

// Follows the JACK transport with a client of its own: while the transport rolls, a beat at
// every JACK beat (the timebase master's bars, beats and ticks at its tempo; without a master the
// tempo the program's own beat has, counted from the transport's frame 0), and word when it
// stops. Beats are told ahead, as soon as one is less than kLookaheadMicros and two periods away,
// with the monotonic time of the frame it falls on. The client takes part in the transport's
// start as a slow-sync client and holds it back a few periods, so that the first beat too is told
// ahead. The callbacks only read the transport and write a ring sized at the start; the window
// thread takes the events with next().
class JackTransportFollower {
public:
    struct Event {
        // Withdrawn: the beat told last is not to be given (the start came later than foreseen).
        enum class Kind { Beat, Stopped, Withdrawn } kind = Kind::Beat;
        std::int64_t monoMicros = 0; // when the beat falls (or the stop was seen)
        double bpm = 0;              // the tempo the beat came at
        bool fromMaster = false;     // the tempo is the timebase master's
    };

    static constexpr std::int64_t kLookaheadMicros = 120000;

    JackTransportFollower();
    ~JackTransportFollower();
    JackTransportFollower(const JackTransportFollower&) = delete;
    JackTransportFollower& operator=(const JackTransportFollower&) = delete;

    // Opens the client (false when no JACK server runs) or closes it.
    bool open();
    void close();
    bool isOpen() const;
    // False once the server went away.
    bool alive() const;
    bool rolling() const;
    // The tempo used without a timebase master.
    void setOwnBpm(double bpm);
    // The timebase master's tempo in the last period, or 0 when there is none.
    double masterBpm() const;
    // Takes the next event; false when there is none.
    bool next(Event& event);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace fw
