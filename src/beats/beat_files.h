#pragma once

#include "beats/beat_pattern.h"

#include <optional>
#include <string>
#include <string_view>
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

// Checks a whole beat file's text (path is the file named in messages). On failure returns
// nothing and sets error to the user's message; the caller then changes nothing.
std::optional<BeatPattern> parseBeatFile(std::string_view text, const std::string& path,
                                         std::string& error);

// Reads and checks a beat file as parseBeatFile does. Beat files are kept under 1 MB: "Apply"
// makes every pattern column seven times as long, and the view holds it all.
inline constexpr std::size_t kLargestBeatFile = 1u << 20;
std::optional<BeatPattern> readBeatFile(const std::string& path, std::string& error);

} // namespace fw
