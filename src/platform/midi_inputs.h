#pragma once

#include "engine/midi_input_port.h"
#include "files/settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fw {

// Name of the virtual input port that other programs can send to.
inline constexpr const char* kVirtualInputName = "Fretwright In";

// The inputs the user can choose from: none first, then the system ports by name (ALSA
// sequencer, and JACK when a server runs), then the program's own virtual input port. Keys
// carry the kind in front of the name, as for the outputs: "none", "alsa:NAME", "jack:NAME",
// "virtual:".
class MidiInputs {
public:
    using PortFactory = std::function<std::unique_ptr<MidiInputPort>(const std::string& key)>;
    using PortLister = std::function<std::vector<std::string>()>;

    // The real inputs: ALSA through RtMidi, JACK through a client of our own.
    MidiInputs();
    // For tests: the lister gives the keys between none and the virtual port.
    MidiInputs(PortLister lister, PortFactory factory);

    // Asks the system again which ports exist.
    void rescan();
    int count() const { return static_cast<int>(keys_.size()); }
    const std::string& key(int index) const { return keys_.at(static_cast<std::size_t>(index)); }
    std::vector<std::string> names() const;
    static std::string displayName(const std::string& key);
    // The same key, or else the same name with other ALSA client and port numbers; -1 if gone.
    int indexOfRemembered(const std::string& key) const;
    // A new port for a list entry; nothing for none.
    std::unique_ptr<MidiInputPort> make(int index) const;

    static constexpr const char* kNone = "none";

private:
    PortLister lister_;
    PortFactory factory_;
    std::vector<std::string> keys_;
};

// The input chosen last, kept as "midi-input=KEY"; nothing when none was chosen.
std::optional<std::string> readInputChoice(const Settings& settings);
std::optional<std::string> writeInputChoice(Settings& settings, const std::string& key);

} // namespace fw
