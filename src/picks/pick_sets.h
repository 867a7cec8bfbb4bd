#pragma once

#include "engine/play_state.h"
#include "engine/prompts.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace fw {

// The pick memory as the play state holds it: [pick set 1..4][sequence 1..8], slot 0 unused.
using PickMemory = decltype(PlayState::pickMemory);

inline constexpr int kPickChannels = 7;
inline constexpr int kPickSequences = 8;
inline constexpr int kPickSets = 4;
inline constexpr int kPickSetLines = kPickSets * kPickSequences;

inline const FileDialogSpec kLoadPickSetDialog{"Load Pick Set", "PickSequence Sets|*.picks",
                                               "picks"};
inline const FileDialogSpec kSavePickSetDialog{"Save Pick Set", "Pick Sequence Sets|*.picks",
                                               "picks"};

// The seven channel texts of one sequence, channel 1 first.
using PickChannels = std::array<std::string, kPickChannels>;

// Pads the channels with "-" to the longest and joins them column by column: step t of the
// result is character t of channel 1, then of channel 2, ... of channel 7.
std::string interleaveChannels(const PickChannels& channels);

// The 32 entries in file order: pick set 1..4, within it sequence 1..8.
std::vector<std::string> pickMemoryLines(const PickMemory& memory);

// The memory that a pick set file's lines give: line 8(set-1) + (n-1) is sequence n of the set.
// Missing lines are empty sequences; lines past the 32nd belong to no entry.
PickMemory pickMemoryFromLines(const std::vector<std::string>& lines);

// A pick set file read and checked as a whole: its own lines (the view shows them as they are)
// and the memory they give.
struct PickSetFile {
    std::vector<std::string> lines;
    PickMemory memory;
};

// Reads a *.picks file. On failure returns nothing and sets error to the message for the user.
std::optional<PickSetFile> readPickSetFile(const std::string& path, std::string& error);

} // namespace fw
