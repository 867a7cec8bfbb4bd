#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Appends the variable-length quantity of value (0 .. 0FFFFFFFh) as Standard MIDI Files
// encode delta times: seven bits a byte, most significant first, bit 7 set on all but the last.
void appendVariableLength(std::uint32_t value, std::string& out);
// Bytes the quantity takes.
int variableLengthSize(std::uint32_t value);

// The largest delta time a Standard MIDI File can hold.
inline constexpr std::uint32_t kMaxMidiDelta = 0x0FFFFFFF;

// A play log as a Standard MIDI File: format 1, one track, 50 ticks per quarter note and no
// tempo event, so one tick lasts 10 ms, one log time unit. Each line becomes one channel event
// with its status byte; program change and channel pressure carry one data byte. The delta is
// the time since the line before (the first line counts from 0); a time lower than the one
// before gives a delta of 0 rather than a wrapped number, and the deltas after it still count
// from the time already written, so every later event keeps its time. Throws LogLineError, before
// anything is built, for a line whose time is not an integer (the conversion error's text), whose
// bytes are not a valid channel message, or whose delta does not fit a delta time.
std::string midiFileFromLog(const std::vector<std::string_view>& lines);

} // namespace fw
