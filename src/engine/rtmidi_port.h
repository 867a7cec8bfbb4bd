#pragma once

#include "engine/midi_port.h"

#include <memory>
#include <string>
#include <vector>

class RtMidiOut;

namespace fw {

// Name of the virtual output port that other programs can connect to.
inline constexpr const char* kVirtualPortName = "Fretwright";

enum class MidiSystem { Alsa, Jack };

struct SystemPortName {
    MidiSystem system = MidiSystem::Alsa;
    std::string name;
};

// A system MIDI output (ALSA sequencer or JACK) found by name, or the program's own virtual port.
// Ports come and go, so a port is looked up by its name every time it is opened.
class RtMidiPort final : public MidiPort {
public:
    // An empty port name means the program's own virtual port.
    RtMidiPort(MidiSystem system, std::string portName);
    ~RtMidiPort() override;

    std::string name() const override;
    bool open() override;
    bool usable() const override;
    bool send(std::uint32_t packed) override;
    void reset() override;

private:
    MidiSystem system_;
    std::string portName_;
    std::unique_ptr<RtMidiOut> out_;
};

// The system's MIDI output ports, without the program's own virtual port: the ALSA sequencer's,
// and JACK's when a JACK server runs. Empty when there is no MIDI system to ask.
std::vector<SystemPortName> listSystemMidiPorts();

} // namespace fw
