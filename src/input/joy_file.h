#pragma once

#include "engine/prompts.h"
#include "input/joystick_mapping.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

inline constexpr int kJoyFileLines = 164;

inline const FileDialogSpec kLoadJoyConfigDialog{"Load Config", "Joystick Config|*.joy", "joy"};
inline const FileDialogSpec kSaveJoyConfigDialog{"Save Config", "Joystick Config|*.joy", "joy"};

// The 164 lines of a *.joy file: the 36 input codes, the 6 axis numbers, then the low and high
// of every fret, pick and chord range, each as signed decimal text.
std::vector<std::string> joyConfigLines(const JoyMapping& mapping);

struct JoyConfigParse {
    std::optional<JoyMapping> mapping; // the whole new mapping, or nothing
    std::string error;                 // what is wrong and on which line, when nothing
};

// Reads a *.joy file's text. Either every value converts and the complete mapping comes back,
// or nothing does: a bad or missing line gives the conversion message naming the line and the
// file. Lines after the 164th are ignored; an axis number outside 1..7 means no axis (7).
JoyConfigParse parseJoyConfig(std::string_view text, std::string_view fileName);

} // namespace fw
