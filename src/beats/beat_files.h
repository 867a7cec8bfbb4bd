#pragma once

#include "beats/beat_pattern.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Beat files (*.beat): what the "Beat Manager" tab holds, as plain text with CR LF line ends.
// Line 1 names the format, lines 2..8 are the seven pattern lines, lines 9..33 the numbers of
// rows "A".."Y", each exactly as typed, and line 34, which older files lack, the beat
// instrument as the list counts it, "1".."128".
inline constexpr const char* kBeatFileFilter = "Beat Patterns|*.beat";
inline constexpr const char* kBeatFileExt = "beat";
inline constexpr const char* kBeatFileHeader = "Fretwright beat pattern";
inline constexpr int kBeatFileLines = 1 + kBeatVoices + kBeatRows;
inline constexpr int kBeatFileLinesWithInstrument = kBeatFileLines + 1;

struct BeatPattern {
    BeatVoices voices;
    BeatRowNumbers rows;
    // The beat channel's program, 0..127; nothing when the file names none.
    std::optional<int> instrument;
};

// The instrument line's program: canonical decimal "1".."128", counted from 1 as the list shows
// it. Nothing for any other text.
std::optional<int> beatInstrumentOfLine(std::string_view line);

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
