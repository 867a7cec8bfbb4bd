#pragma once

#include "engine/transport_port.h"

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
class JackTransportFollower final : public TransportPort {
public:
    static constexpr std::int64_t kLookaheadMicros = 120000;

    JackTransportFollower();
    ~JackTransportFollower() override;
    JackTransportFollower(const JackTransportFollower&) = delete;
    JackTransportFollower& operator=(const JackTransportFollower&) = delete;

    // False also when no JACK server may run: no client is tried then.
    bool open() override;
    void close() override;
    bool isOpen() const override;
    bool alive() const override;
    bool rolling() const override;
    void setOwnBpm(double bpm) override;
    double masterBpm() const override;
    bool next(Event& event) override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace fw
