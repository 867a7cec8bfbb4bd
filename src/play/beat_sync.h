#pragma once

#include "engine/beat_grid.h"
#include "engine/midi_clock.h"
#include "engine/realtime_ring.h"
#include "engine/transport_port.h"
#include "files/settings.h"
#include "platform/midi_inputs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fw {

class MidiOutput;

// The beat shared with other programs: MIDI clock sent to the MIDI output, the MIDI input whose
// clock the sequencer follows, and the JACK transport it can follow instead (the two exclude
// each other). It feeds the beat grid the followed beats and keeps the choices in the settings.
// Input comes on the input's own thread and waits in a ring; the owner's thread takes it.
class BeatSync {
public:
    // While it follows the transport it wants pollTransport() this often: well inside the time
    // beats are told ahead. While it follows anything, checkState() this often.
    static constexpr int kTransportPollMs = 5;
    static constexpr int kStateCheckMs = 250;

    // Without inputs or a transport of their own (tests): the system's MIDI inputs and JACK's
    // transport.
    BeatSync(MidiOutput& output, BeatGrid& beats, Settings& settings,
             std::unique_ptr<MidiInputs> inputs = nullptr,
             std::unique_ptr<TransportPort> transport = nullptr);
    ~BeatSync();
    BeatSync(const BeatSync&) = delete;
    BeatSync& operator=(const BeatSync&) = delete;

    // Takes up the choices kept from an earlier run: sending clock, following the transport,
    // the input.
    void restoreSettings();
    // At the end of the program: Stop to the output and the input and the transport closed, the
    // choices kept.
    void shutDown();

    // ---- "Send MIDI Clock"
    void setSending(bool on);
    bool sending() const { return clockOut_.sending(); }
    // After the notes of every beat, with its due time: its clocks, at the followed tempo.
    void afterBeat(std::int64_t dueMicros);
    // A new output hears Start (and the old one Stop).
    void outputChanged() { clockOut_.outputChanged(); }

    // ---- "MIDI Input"
    // Asks the system again which inputs exist.
    void rescanInputs();
    // The list as it shows: the inputs, and after them the one in use when it went away.
    std::vector<std::string> inputList() const;
    int inputRow() const;
    void chooseInput(int row);
    // Called on the input's thread when input waits; takeInput() then, on the owner's.
    std::function<void()> inputWaiting;
    void takeInput();

    // ---- following
    void setFollowMidiClock(bool on);
    void setFollowTransport(bool on);
    bool followsMidiClock() const { return followMidiClock_; }
    bool followsTransport() const { return followTransport_; }
    // The sequencer takes its beats from here: MIDI clock, or a running transport.
    bool followingAny() const { return followMidiClock_ || followingTransport_; }
    // While following: the tempo measured, as the "Tempo" box shows it.
    std::optional<std::string> followedTempoText() const;
    // How the input or the transport stands; empty when there is nothing to say.
    std::string stateText() const;
    // The input chosen last time, when it was not there at the start.
    const std::string& missingInput() const { return missingInput_; }

    // ---- wakes
    void pollTransport();
    // Sees whether the server went away or started.
    void checkState();
    bool transportPollWanted() const { return followingTransport_ && !down_; }
    bool stateCheckWanted() const { return (followMidiClock_ || followTransport_) && !down_; }

    // Told when what it shows or the wakes it wants may have changed.
    std::function<void()> changed;
    // Told when the sequencer's source of beats changed, and after a followed beat was taken.
    std::function<void(bool following)> followingChanged;
    std::function<void()> beatTaken;
    // The followed clock or transport stopped: what sounds is to be silenced.
    std::function<void()> stopped;

private:
    struct Heard {
        std::uint8_t byte = 0;
        std::int64_t stamp = 0;
    };

    void openInput(int row);
    void updateTransport();
    void takeOwnTempo();
    void beatDue(std::int64_t stamp);
    void stop();
    void tell() const;

    MidiOutput& output_;
    BeatGrid& beats_;
    Settings& settings_;
    std::unique_ptr<MidiInputs> inputs_;
    std::unique_ptr<TransportPort> transport_;
    std::unique_ptr<MidiInputPort> input_;
    std::string inputKey_ = MidiInputs::kNone;
    std::string inputProblem_;
    std::string missingInput_;
    RealtimeRing<Heard> heard_{4096};
    MidiClockOut clockOut_;
    MidiClockFollower follower_;
    bool followMidiClock_ = false;
    bool followTransport_ = false;    // the box
    bool followingTransport_ = false; // the box, and a server that runs
    double transportBpm_ = 0;         // the tempo of the last beat of the transport
    bool announcedFollowing_ = false;
    bool down_ = false;
};

} // namespace fw
