#pragma once

#include "engine/midi_port.h"

#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace fw {

// A port's key, in the lists and in the settings: the kind of port in front of its name, so that
// equal names of different systems differ.
inline constexpr const char* kAlsaPortKey = "alsa:";
inline constexpr const char* kJackPortKey = "jack:";
inline constexpr const char* kVirtualPortKey = "virtual:";

inline bool isPortKeyOf(const std::string& key, const char* kind) {
    return key.rfind(kind, 0) == 0;
}
// The port name a key carries after its kind.
inline std::string portNameOfKey(const std::string& key) {
    return key.substr(key.find(':') + 1);
}

// The outputs the user can choose from: the built-in synthesizer first (output device 0, so a
// new user hears the guitar with no MIDI set-up), then the system ports by name, then the
// program's own virtual port. Ports are owned here and kept, so switching back and forth never
// reloads the SoundFont.
class MidiOutputs {
public:
    using PortFactory = std::function<std::unique_ptr<MidiPort>(const std::string& key)>;
    using PortLister = std::function<std::vector<std::string>()>;

    // The real outputs: FluidSynth, ALSA through RtMidi, JACK through a client of our own.
    MidiOutputs();
    // For tests: keys name ports; the first key is output 0 and is always listed.
    MidiOutputs(std::string firstKey, PortLister lister, PortFactory factory);

    // Asks the system again which ports exist.
    void rescan();
    // What can be listed at once, for the start: the full list a thread has made since the
    // outputs were created, once it is done, else the ports but JACK's, whose listing opens and
    // closes a client of the server (tens of milliseconds).
    void rescanQuickly();
    // The list holds JACK's ports too.
    bool complete() const { return complete_; }
    // Display names, in list order.
    std::vector<std::string> names() const;
    int count() const { return static_cast<int>(keys_.size()); }
    // The port of a list entry, created on first use.
    MidiPort* port(int index);
    // List index of a port key, -1 when it is no longer there.
    int indexOfKey(const std::string& key) const;
    // List index of a port remembered from an earlier run: the same key, or else the same name
    // with other client and port numbers; -1 when it is gone.
    int indexOfRemembered(const std::string& key) const;
    // The display name of a port key.
    static std::string displayName(const std::string& key);
    const std::string& key(int index) const { return keys_.at(static_cast<std::size_t>(index)); }

    // What the words for how an output stands are made of, read ten times a second: equal
    // readings say the same.
    struct State {
        enum Kind { NoOutput, NotOpen, Silent, Synth, Jack, Open } kind = NoOutput;
        std::string driver; // the built-in synthesizer's sound system
        double latencyMs = 0;
        bool operator==(const State&) const = default;
    };
    static State stateOf(const MidiPort* port);
    // How an output stands, in the words the "MIDI Output" group shows: not open yet, silent,
    // or open with the latency its backend keeps.
    static std::string stateText(const State& state);
    // Loads these instruments into the built-in synthesizer ahead of their first use.
    void preload(const std::vector<int>& programs);

private:
    void takeKeys(std::vector<std::string> listed);

    PortLister lister_;
    PortLister quickLister_;
    std::future<std::vector<std::string>> early_;
    bool complete_ = true;
    PortFactory factory_;
    std::string firstKey_;
    std::vector<std::string> keys_;
    std::vector<std::pair<std::string, std::unique_ptr<MidiPort>>> made_;
};

} // namespace fw
