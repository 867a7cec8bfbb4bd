#include "beats/beat_files.h"

#include "files/line_file.h"

namespace fw {

std::vector<std::string> beatFileLines(const BeatPattern& pattern) {
    std::vector<std::string> lines;
    lines.reserve(kBeatFileLines);
    lines.emplace_back(kBeatFileHeader);
    lines.insert(lines.end(), pattern.voices.begin(), pattern.voices.end());
    lines.insert(lines.end(), pattern.rows.begin(), pattern.rows.end());
    return lines;
}

std::optional<BeatPattern> readBeatFile(const std::string& path, std::string& error) {
    const auto bytes = readSettingsBytes(path, error, kLargestBeatFile);
    if (!bytes)
        return std::nullopt;
    return parseBeatFile(*bytes, path, error);
}

std::optional<BeatPattern> parseBeatFile(std::string_view text, const std::string& path,
                                         std::string& error) {
    LineFileRead read = linesOfText(text, path);
    if (!read.ok()) {
        error = read.error;
        return std::nullopt;
    }
    std::vector<std::string>& lines = read.lines;
    if (lines.empty() || lines[0] != kBeatFileHeader) {
        error =
            path + " is not a beat file: its first line should read \"" + kBeatFileHeader + "\".";
        return std::nullopt;
    }
    // Blank lines at the end are what an editor may leave; they carry nothing.
    while (lines.size() > kBeatFileLines && lines.back().empty())
        lines.pop_back();
    if (lines.size() != kBeatFileLines) {
        error = path + " holds " + std::to_string(lines.size()) + " lines; a beat file has " +
                std::to_string(kBeatFileLines) +
                ": the name line, 7 pattern lines and 25 row numbers.";
        return std::nullopt;
    }
    BeatPattern pattern;
    for (int v = 0; v < kBeatVoices; ++v)
        pattern.voices[v] = std::move(lines[1 + v]);
    for (int r = 0; r < kBeatRows; ++r)
        pattern.rows[r] = std::move(lines[1 + kBeatVoices + r]);
    return pattern;
}

} // namespace fw
