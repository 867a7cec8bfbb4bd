#pragma once

#include "engine/client_name.h"
#include "engine/midi_port.h"
#include "engine/scheduled_sends.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class RtMidi;
class RtMidiIn;
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
// Ports come and go, so a port is looked up by its name every time it is opened. The port sends
// at once; a message stamped for a later time waits on a thread of its own until then.
class RtMidiPort final : public MidiPort {
public:
    // An empty port name means the program's own virtual port.
    RtMidiPort(MidiSystem system, std::string portName);
    ~RtMidiPort() override;

    std::string name() const override;
    bool open() override;
    bool usable() const override;
    bool send(MidiMessage message) override;
    bool sendAt(MidiMessage message, std::int64_t monoMicros) override;
    void reset() override;
    void dropPending(int status) override;

private:
    bool sendNow(std::uint32_t packed);

    MidiSystem system_;
    std::string portName_;
    mutable std::mutex mutex_; // the window thread and the later sends share the client
    std::unique_ptr<RtMidiOut> out_;
    ScheduledSends later_{[this](std::uint32_t packed) { sendNow(packed); }};
};

// Opens the port of that name on an RtMidi client, or with an empty name a virtual port named
// ownName; our end of a connection is named ownName too. False when it is not there or fails.
bool openRtMidiPort(RtMidi& client, const std::string& portName, const std::string& ownName);

// An ALSA sequencer client for input, quiet on failure; null where the sequencer cannot be
// reached.
std::unique_ptr<RtMidiIn> makeAlsaMidiIn();

// The system's MIDI output ports, without the program's own virtual port: the ALSA sequencer's,
// and JACK's when a JACK server runs and withJack. Empty when there is no MIDI system to ask.
// JACK's take a client of their own, opened and closed (tens of milliseconds).
std::vector<SystemPortName> listSystemMidiPorts(bool withJack = true);

} // namespace fw
