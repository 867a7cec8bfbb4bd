#pragma once

#include "engine/prompts.h"
#include "input/joystick_mapping.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

inline constexpr int kJoyFileLines = 164;
// A mapping that uses what those lines cannot hold (functions without input, the functions that
// act once per press, pick buttons that play, a stick or whammy vibrato) carries more lines:
// line 165 holds this marker, line 166 how many lines follow it, then
//   unassigned functions 0..31 as a bit mask (bit k for function k, signed),
//   unassigned functions 32..39 as a bit mask (bit k - 32),
//   the input codes of "Strum Down", "Strum Up", "Chord Set +", "Pick Set +",
//   1 when pick buttons play their pick, else 0,
//   the vibrato mode (0 whole range, 1 stick, 2 whammy bar).
// A reader that stops at line 164 still loads such a file; a file whose line 165 is not the
// marker loads as 164 lines, the rest ignored.
inline constexpr int kJoyExtensionMarker = -1650;
inline constexpr int kJoyExtensionLines = 9;

inline const FileDialogSpec kLoadJoyConfigDialog{"Load Config", "Joystick Config|*.joy", "joy"};
inline const FileDialogSpec kSaveJoyConfigDialog{"Save Config", "Joystick Config|*.joy", "joy"};

// The 164 lines of a *.joy file: the 36 input codes, the 6 axis numbers, then the low and high
// of every fret, pick and chord range, each as signed decimal text; and the lines after them
// when the mapping needs them.
std::vector<std::string> joyConfigLines(const JoyMapping& mapping);

struct JoyConfigParse {
    std::optional<JoyMapping> mapping; // the whole new mapping, or nothing
    std::string error;                 // what is wrong and on which line, when nothing
};

// Reads a *.joy file's text. Either every value converts and the complete mapping comes back,
// or nothing does: a bad or missing line gives the conversion message naming the line and the
// file. Lines after the 164th are ignored unless they start with the marker; an axis number
// outside 1..7 means no axis (7), a vibrato mode outside 0..2 the whole range (0).
JoyConfigParse parseJoyConfig(std::string_view text, std::string_view fileName);

} // namespace fw
