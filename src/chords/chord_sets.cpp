#include "chords/chord_sets.h"

#include "engine/strict_int.h"
#include "files/line_file.h"

#include <algorithm>
#include <cstdint>

namespace fw {

std::vector<std::string> chordMemoryLines(const ChordTable& memory) {
    std::vector<std::string> lines;
    lines.reserve(kChordSetLineCount);
    for (int set = 1; set <= 4; ++set)
        for (int chord = 1; chord <= 4; ++chord)
            for (int string = 1; string <= 10; ++string)
                lines.push_back(std::to_string(memory[set][chord][string]));
    return lines;
}

std::optional<ChordTable> chordTableFromLines(const std::vector<std::string>& lines,
                                              std::string_view fileName, std::string& error) {
    ChordTable table{};
    for (int set = 1; set <= 4; ++set)
        for (int chord = 1; chord <= 4; ++chord)
            for (int string = 1; string <= 10; ++string) {
                const auto i = static_cast<std::size_t>(chordLineIndex(set, chord, string));
                const std::string_view line = i < lines.size() ? lines[i] : std::string_view{};
                try {
                    table[set][chord][string] = strToInt(line);
                } catch (const ConversionError&) {
                    error = fileLineConversionMessage(line, i + 1, fileName);
                    return std::nullopt;
                }
            }
    return table;
}

ChordNotes chordFromBuilder(int root, const std::array<std::string, 10>& offsets) {
    ChordNotes notes{};
    for (int k = 1; k <= 10; ++k) {
        // Wide arithmetic: a huge typed offset must not overflow into a plausible note.
        const long long note =
            static_cast<long long>(root) + strToInt(offsets[static_cast<std::size_t>(k - 1)]);
        notes[k] = static_cast<int>(std::clamp<long long>(note, INT32_MIN, INT32_MAX));
    }
    return notes;
}

BuilderChord builderChordFor(const ChordNotes& entries) {
    int lowest = 500;
    for (int k = 1; k <= 10; ++k)
        lowest = std::min(lowest, entries[k]);
    BuilderChord out;
    out.root = lowest;
    for (int k = 1; k <= 10; ++k)
        out.offsets[static_cast<std::size_t>(k - 1)] =
            static_cast<int>(static_cast<long long>(entries[k]) - lowest);
    return out;
}

bool chordIsStored(const ChordNotes& entries) {
    long long sum = 0;
    for (int k = 1; k <= 10; ++k)
        sum += entries[k];
    return sum != 0;
}

bool ChordSets::saveChordToSlot(int set, int chord, int root,
                                const std::array<std::string, 10>& offsets) {
    if (set < 1 || set > 4 || chord < 1 || chord > 4)
        return false;
    ChordNotes notes{};
    try {
        notes = chordFromBuilder(root, offsets);
    } catch (const ConversionError& e) {
        prompts_.showMessage(e.what());
        return false;
    }
    for (int k = 1; k <= 10; ++k)
        memory_[set][chord][k] = notes[k];
    showChordMemory();
    return true;
}

void ChordSets::showChordMemory() {
    view_ = chordMemoryLines(memory_);
    notify();
}

bool ChordSets::loadChordSetFile(const std::string& path) {
    // Everything is read and converted before anything changes, so a file that cannot be read
    // or holds a bad line leaves the memory and the view as they were.
    std::string error;
    const auto bytes = readSettingsBytes(path, error);
    if (!bytes) {
        prompts_.showMessage(error);
        return false;
    }
    return loadChordSetText(*bytes, path);
}

bool ChordSets::loadChordSetText(std::string_view bytes, const std::string& name) {
    LineFileRead read = linesOfText(bytes, name);
    if (!read.ok()) {
        prompts_.showMessage(read.error);
        return false;
    }
    std::string error;
    const auto table = chordTableFromLines(read.lines, name, error);
    if (!table) {
        prompts_.showMessage(error);
        return false;
    }
    replace(*table, std::move(read.lines));
    return true;
}

void ChordSets::replace(const ChordTable& table, std::vector<std::string> lines) {
    memory_ = table;
    view_ = std::move(lines);
    notify();
}

bool ChordSets::saveChordSetFile(const std::string& path) {
    if (auto error = writeLineFileAtomically(path, view_)) {
        prompts_.showMessage(*error);
        return false;
    }
    return true;
}

void ChordSets::notify() {
    if (viewChanged)
        viewChanged();
}

} // namespace fw
