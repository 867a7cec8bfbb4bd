#pragma once

#include "engine/midi_output.h"

#include <array>
#include <cstdint>
#include <optional>

namespace fw {

// One beat is a quarter note: 24 MIDI clocks.
inline constexpr int kClocksPerBeat = 24;

// MIDI clock for other programs: Start when sending begins, 24 clocks a beat, Stop when it ends
// or when the output changes (the new output then hears Start). Clocks are no part of the
// performance: they bypass the play log and the shared message, and go out after the beat's
// notes with time stamps that place them between the beats.
class MidiClockOut {
public:
    explicit MidiClockOut(MidiOutput& out) : out_(out) {}

    void setSending(bool on);
    bool sending() const { return sending_; }
    // After the notes of a beat due at beatMicros: its clocks, the first at the beat's time and
    // the rest a 24th of periodMicros apart, so a tempo change shows from the next beat on.
    void beat(std::int64_t beatMicros, std::int64_t periodMicros);
    // The output was changed: Stop to the one that had Start, Start to the new one.
    void outputChanged();

private:
    void startOn(MidiPort* port, std::int64_t at);
    void stopStarted();

    MidiOutput& out_;
    bool sending_ = false;
    MidiPort* started_ = nullptr; // the output that heard Start
};

// Beats from incoming MIDI clock. Start or Continue arms it; after that every 24th clock is a
// beat, the first at the first clock; Stop disarms it. The tempo is measured over the last beat
// of clocks whether armed or not.
class MidiClockFollower {
public:
    enum class Event { None, Beat, Stop };

    // One byte of what came in, heard at monoMicros. Bytes other than clock, start, continue and
    // stop mean nothing here.
    Event feed(int byte, std::int64_t monoMicros);
    void disarm() { armed_ = false; }
    bool armed() const { return armed_; }
    // Beats per minute over the clocks of the last beat; nothing before two clocks.
    std::optional<double> bpm() const;
    // When the last clock came in; nothing before the first.
    std::optional<std::int64_t> lastClock() const;

private:
    bool armed_ = false;
    long long count_ = 0;
    std::array<std::int64_t, kClocksPerBeat + 1> times_{}; // the last clocks, a ring
    int heard_ = 0;                                        // clocks in the ring
    int next_ = 0;                                         // where the next one goes
};

} // namespace fw
