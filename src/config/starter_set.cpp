#include "config/starter_set.h"

#include "files/line_file.h"

#include <filesystem>

namespace fw {

std::optional<std::string> findStarterSet(const std::string& programFolder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const fs::path& folder :
         {fs::path(programFolder) / FW_STARTER_FROM_PROGRAM, fs::path(FW_STARTER_SOURCE)}) {
        const fs::path cset = folder / kStarterSetFile;
        if (fs::is_regular_file(cset, ec))
            return cset.lexically_normal().string();
    }
    return std::nullopt;
}

std::optional<WholeSet> readWholeSet(const std::string& csetPath, std::string& error) {
    ConfigurationSetParse set = readConfigurationSetFile(csetPath);
    if (!set.set) {
        error = set.error;
        return std::nullopt;
    }
    WholeSet whole;
    whole.names = namesFrom(*set.set, csetPath);
    const auto chordBytes = readSettingsBytes(whole.names.chords, error);
    if (!chordBytes)
        return std::nullopt;
    LineFileRead chordLines = linesOfText(*chordBytes, whole.names.chords);
    if (!chordLines.ok()) {
        error = chordLines.error;
        return std::nullopt;
    }
    const auto chords = chordTableFromLines(chordLines.lines, whole.names.chords, error);
    if (!chords)
        return std::nullopt;
    whole.chords = *chords;
    whole.chordLines = std::move(chordLines.lines);
    auto picks = readPickSetFile(whole.names.picks, error);
    if (!picks)
        return std::nullopt;
    whole.picks = std::move(*picks);
    if (!whole.names.beat.empty()) {
        whole.beat = readBeatFile(whole.names.beat, error);
        if (!whole.beat)
            return std::nullopt;
    }
    return whole;
}

} // namespace fw
