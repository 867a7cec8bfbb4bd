#pragma once

#include "engine/play_state.h"
#include "engine/prompts.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

// [set 1..4][chord 1..4][string 1..10], slot 0 of each dimension unused.
using ChordTable = decltype(PlayState::chordMemory);
// One chord: string 1..10, slot 0 unused.
using ChordNotes = std::array<int, 11>;

inline constexpr int kChordSetLineCount = 160;

inline const FileDialogSpec kLoadChordSetDialog{"Load Chord Set", "Chord Sets|*.chords", "chords"};
inline const FileDialogSpec kSaveChordSetDialog{"Save Chord Set", "Chord Sets|*.chords", "chords"};

// Line index (0-based) of an entry in the chord memory view and in a chord set file.
constexpr int chordLineIndex(int set, int chord, int string) {
    return 40 * (set - 1) + 10 * (chord - 1) + (string - 1);
}

// The 160 lines of the memory: set, then chord, then string, each a decimal integer.
std::vector<std::string> chordMemoryLines(const ChordTable& memory);

// The memory that the first 160 lines of a chord set file describe; later lines are ignored. A
// line that is not an integer gives nothing, and error names it and the file; a missing line
// counts as an empty one.
std::optional<ChordTable> chordTableFromLines(const std::vector<std::string>& lines,
                                              std::string_view fileName, std::string& error);

// A chord from the builder: each string is the root plus its offset box. The whole chord is
// converted before anything is returned, so a bad box throws ConversionError and leaves no half
// chord behind.
ChordNotes chordFromBuilder(int root, const std::array<std::string, 10>& offsets);

// A stored chord as the builder shows it: the lowest note becomes the root, every string its
// distance from it.
struct BuilderChord {
    int root = 0; // note number; may lie outside the root list
    std::array<int, 10> offsets{};
};
BuilderChord builderChordFor(const ChordNotes& entries);

// True when a chord counts as stored (the sum of its notes is not 0).
bool chordIsStored(const ChordNotes& entries);

// The chord memory together with its text view (the lines `ChordMemo` shows and "Save Chord
// Set" writes). Every change is complete or does not happen: a failed load or slot save leaves
// memory and view as they were and tells the user why.
class ChordSets {
public:
    ChordSets(ChordTable& memory, Prompts& prompts) : memory_(memory), prompts_(prompts) {}

    const ChordTable& memory() const { return memory_; }
    // The view's lines: the memory after a slot save, the file's own lines after a load.
    const std::vector<std::string>& viewLines() const { return view_; }

    // Stores root + offset k into string k of the slot and rewrites the view.
    bool saveChordToSlot(int set, int chord, int root, const std::array<std::string, 10>& offsets);
    // Rewrites the view from the memory.
    void showChordMemory();
    // Replaces all 160 entries from a chord set file and shows the file's lines.
    bool loadChordSetFile(const std::string& path);
    // The same for a chord set file's text; name is the file named in messages.
    bool loadChordSetText(std::string_view bytes, const std::string& name);
    // Puts a chord set file that was read and checked in place: the memory and the file's lines.
    void replace(const ChordTable& table, std::vector<std::string> lines);
    // Writes the view's lines to a chord set file.
    bool saveChordSetFile(const std::string& path);

    // Called after the view's lines changed.
    std::function<void()> viewChanged;

private:
    void notify();

    ChordTable& memory_;
    Prompts& prompts_;
    std::vector<std::string> view_;
};

} // namespace fw
