#pragma once

#include "picks/pick_sets.h"

#include <array>
#include <optional>
#include <string>

namespace fw {

// A beat pattern as the "Beat Manager" lays it out: seven voices of row letters and rests, and
// the MIDI note number of each of the 25 rows "A" to "Y" as the user typed it.
inline constexpr int kBeatRows = 25;
inline constexpr int kBeatVoices = kPickChannels;
using BeatVoices = PickChannels;
using BeatRowNumbers = std::array<std::string, kBeatRows>;

// The letter of row index i (0 for "A" .. 24 for "Y").
inline char beatRowLetter(int row) {
    return static_cast<char>('A' + row);
}

// The note of a row from its number text. A text that is not an integer gives the conversion
// error; a number a MIDI note cannot carry (outside 0..127) is refused with a message naming
// the row. Returns nothing and sets error then.
std::optional<int> beatRowNote(int row, const std::string& text, std::string& error);

// "Apply": interleaves the voices, pads them with rests at the end and expands every letter
// "A".."Y" to its row's note in two hexadecimal digits and every "-" to "--"; other characters
// give nothing. A row that cannot be expanded stops it: nothing is returned and error says why,
// so the caller keeps the line it had.
std::optional<std::string> compileBeatLine(const BeatVoices& voices, const BeatRowNumbers& rows,
                                           std::string& error);

} // namespace fw
