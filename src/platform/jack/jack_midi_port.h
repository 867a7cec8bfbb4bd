#pragma once

#include "engine/midi_port.h"

#include <memory>
#include <string>

namespace fw {

// An output of the program's own JACK client, connected to one JACK MIDI port found by name.
// Every message is written at its own frame: the frame of its time stamp plus a constant latency
// of one period and a small margin. The spacing it was sent with then survives JACK's periods,
// where writing each message at the next period would round it to whole periods.
class JackMidiPort final : public MidiPort {
public:
    explicit JackMidiPort(std::string portName);
    ~JackMidiPort() override;

    std::string name() const override;
    bool open() override;
    bool usable() const override;
    bool send(MidiMessage message) override;
    bool sendAt(MidiMessage message, std::int64_t monoMicros) override;
    void reset() override;
    void dropPending(int status) override;
    int reopenings() const override;
    std::int64_t latencyMicros() const override;

    // From a message's time stamp to its frame, in milliseconds; 0 until the first period.
    double latencyMillis() const;
    // Messages that reached the process callback after their frame had passed.
    std::int64_t lateMessages() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace fw
