#include "beats/beat_files.h"

#include "files/line_file.h"

namespace fw {

std::vector<std::string> beatFileLines(const BeatPattern& pattern) {
    std::vector<std::string> lines;
    lines.reserve(kBeatFileLines);
    lines.emplace_back(kBeatFileHeader);
    lines.insert(lines.end(), pattern.voices.begin(), pattern.voices.end());
    lines.insert(lines.end(), pattern.rows.begin(), pattern.rows.end());
    if (pattern.instrument)
        lines.push_back(std::to_string(*pattern.instrument + 1));
    return lines;
}

std::optional<int> beatInstrumentOfLine(std::string_view line) {
    // Only the form the program writes, so that a file read and saved again is the same file.
    if (line.empty() || line.size() > 3 || line[0] == '0')
        return std::nullopt;
    int n = 0;
    for (char c : line) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n < 1 || n > 128)
        return std::nullopt;
    return n - 1;
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
    if (lines.size() != kBeatFileLines && lines.size() != kBeatFileLinesWithInstrument) {
        error = path + " holds " + std::to_string(lines.size()) + " lines; a beat file has " +
                std::to_string(kBeatFileLines) +
                ": the name line, 7 pattern lines and 25 row numbers (and may add the beat "
                "instrument's number).";
        return std::nullopt;
    }
    BeatPattern pattern;
    if (lines.size() == kBeatFileLinesWithInstrument) {
        pattern.instrument = beatInstrumentOfLine(lines.back());
        if (!pattern.instrument) {
            error = path + ": line 34 should give the beat instrument's number, 1 to 128.";
            return std::nullopt;
        }
    }
    for (int v = 0; v < kBeatVoices; ++v)
        pattern.voices[v] = std::move(lines[1 + v]);
    for (int r = 0; r < kBeatRows; ++r)
        pattern.rows[r] = std::move(lines[1 + kBeatVoices + r]);
    return pattern;
}

} // namespace fw
