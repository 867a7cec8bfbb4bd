#pragma once

#include "engine/clock.h"
#include "engine/event_pump.h"
#include "engine/log_sink.h"
#include "engine/midi_message.h"
#include "engine/midi_port.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace fw {

class Prompts;

inline constexpr const char* kMidiOpenError = "Error opening MIDI Output.\n";

// The MIDI output layer: the one output device, the shared outgoing message, the play clock
// and the Z2UVIR lines that every live message leaves in the play log.
class MidiOutput {
public:
    MidiOutput(Clock& clock, LogSink& playLog, Prompts& prompts);

    // The output that sends go to; the choice takes effect at the next send. The previous
    // output is silenced so that nothing hangs on it.
    void setPort(MidiPort* port);
    MidiPort* port() const { return midiOut_; }

    // The shared outgoing message.
    MidiMessage midiMsg;
    void setMessage(int status, int data1, int data2) {
        midiMsg = MidiMessage(status, data1, data2);
    }
    void setMessage(MidiMessage msg) { midiMsg = msg; }
    std::uint32_t packedMessage() const { return midiMsg.packed(); }

    // Clock readings in centiseconds.
    int clockReading() const { return clock_.reading(); }
    int elapsedSince(int earlier) const { return clock_.elapsedSince(earlier); }
    Clock& clock() const { return clock_; }

    // Returns when the clock reaches target (centiseconds). While more than a few milliseconds
    // remain the window system keeps working; the last stretch is slept, so the wait neither
    // burns a core nor misses its time. Returns false when cancelled() said stop.
    bool waitUntil(int target, EventPump& pump, const std::function<bool()>& cancelled = {});
    bool waitUntilMicros(std::int64_t targetMicros, EventPump& pump,
                         const std::function<bool()>& cancelled = {});

    // Ensure open, silent form: probe with 90 00 00 00, open the output if it is not usable.
    void ensureOpenSilent();
    // Ensure open, reporting form: as above but the probe leaves midiMsg alone, and a failed
    // open shows "Error opening MIDI Output.\n".
    void ensureOpenReporting();
    // Probe only: true when the output is usable; never opens.
    bool probeOnly();
    // Sends midiMsg; false when the output is not usable.
    bool send();
    // Builds midiMsg, sends it and appends its Z2UVIR line whether or not the send succeeded. A
    // message stamped with a time still ahead (a beat handed over before it is due) is logged
    // at that time.
    // A message that is not a valid channel message (a data byte of 0x80 or more, say a note
    // above 127) is neither sent nor logged; returns false then.
    bool sendAndLog(int status, int data1, int data2);
    bool sendAndLog(MidiMessage msg) { return sendAndLog(msg.status(), msg.data1(), msg.data2()); }
    // As sendAndLog, for a message due at a monotonic time that may lie a little ahead: it is
    // stamped with that time and logged with it, so an output that keeps time by stamps sounds
    // it exactly then, and the log holds the time it leaves.
    bool sendAndLogAt(int status, int data1, int data2, std::int64_t dueMicros);
    // Silences everything on the output.
    void reset();
    // The stamp time (Clock::stampMicros) a message sent now is stamped with.
    std::int64_t sendStamp() const { return heldStamp_.value_or(clock_.stampMicros()); }

    // While one lives, every message sent carries the given monotonic time instead of the time
    // of its sending: the messages of one beat carry the beat's time and sound together, however
    // long the sending and logging take.
    class HeldStamp {
    public:
        HeldStamp(MidiOutput& out, std::int64_t monoMicros) : out_(out), saved_(out.heldStamp_) {
            out_.heldStamp_ = monoMicros;
        }
        ~HeldStamp() { out_.heldStamp_ = saved_; }
        HeldStamp(const HeldStamp&) = delete;
        HeldStamp& operator=(const HeldStamp&) = delete;

    private:
        MidiOutput& out_;
        std::optional<std::int64_t> saved_;
    };

    int logStartTime = 0;

private:
    // The log's time of a message with that stamp: now, or its stamp's time when still ahead.
    int logTime(std::int64_t stamp) const;

    Clock& clock_;
    LogSink& playLog_;
    Prompts& prompts_;
    MidiPort* midiOut_ = nullptr;
    std::optional<std::int64_t> heldStamp_;
};

} // namespace fw
