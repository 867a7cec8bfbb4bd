#pragma once

#include "beats/beat_pattern.h"

#include <optional>
#include <string>
#include <vector>

namespace fw {

// Beat files (*.beat): what the "Beat Manager" tab holds, as plain text with CR LF line ends.
// Line 1 names the format, lines 2..8 are the seven pattern lines, lines 9..33 the numbers of
// rows "A".."Y", each exactly as typed.
inline constexpr const char* kBeatFileFilter = "Beat Patterns|*.beat";
inline constexpr const char* kBeatFileExt = "beat";
inline constexpr const char* kBeatFileHeader = "Fretwright beat pattern";
inline constexpr int kBeatFileLines = 1 + kBeatVoices + kBeatRows;

struct BeatPattern {
    BeatVoices voices;
    BeatRowNumbers rows;
};

std::vector<std::string> beatFileLines(const BeatPattern& pattern);

// Reads and checks a whole beat file. On failure returns nothing and sets error to the user's
// message; the caller then changes nothing.
std::optional<BeatPattern> readBeatFile(const std::string& path, std::string& error);

} // namespace fw
