#pragma once

#include "engine/midi_input_port.h"

#include <memory>
#include <string>
#include <vector>

namespace fw {

// A JACK MIDI port listened to through the program's own client. Each message is stamped with
// the monotonic time of its frame, so what a source wrote at an exact frame keeps that time
// here, whatever JACK's period.
class JackMidiInput final : public MidiInputPort {
public:
    explicit JackMidiInput(std::string sourcePort);
    ~JackMidiInput() override;

    bool open(Handler handler) override;
    void close() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The JACK MIDI ports that send (other programs' outputs), without the program's own; empty
// when no JACK server runs.
std::vector<std::string> jackMidiSources();

} // namespace fw
