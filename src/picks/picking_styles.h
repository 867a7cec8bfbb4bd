#pragma once

#include "engine/prompts.h"
#include "engine/random.h"
#include "picks/pick_sets.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// Picking styles: the seven channel texts of one editor sequence (a style slot), kept apart from
// the pick memory in files of their own.
//   *.pss  one slot: 7 lines, channel 1 first, the texts as typed (not interleaved).
//   *.psg  all eight slots: 56 lines, seven per slot in styleSlotOrder.

inline const FileDialogSpec kLoadStyleSlotDialog{"Load Picking Style",
                                                 "Picking Style Slot Data|*.pss", "pss"};
inline const FileDialogSpec kSaveStyleSlotDialog{"Save Picking Style",
                                                 "Picking Style Slot Data|*.pss", "pss"};
inline const FileDialogSpec kLoadStyleGroupDialog{"Load Complete Style Set",
                                                  "Picking Style Slot Group Data|*.psg", "psg"};
inline const FileDialogSpec kSaveStyleGroupDialog{"Save Complete Style Set",
                                                  "Picking Style Slot Group Data|*.psg", "psg"};

// The eight slots by sequence number - 1 (pick 1, pick 1 altered, pick 2, ...), which is also
// the item index of every slot list of the style manager.
using StyleGroup = std::array<PickChannels, kPickSequences>;

// Sequence numbers in the order a group file holds them: the four normal styles, then the four
// altered ones.
inline constexpr std::array<int, kPickSequences> styleSlotOrder{1, 3, 5, 7, 2, 4, 6, 8};

// File texts, every line ended by CR LF.
std::string styleSlotText(const PickChannels& slot);
std::string styleGroupText(const StyleGroup& group);

// Reading a style file never fails on its length: lines missing at the end are empty channels,
// lines past the last slot are ignored. Text that is not text (NUL bytes) is refused with a
// message naming the file.
template <typename T> struct StyleParse {
    T value{};
    std::string error; // empty when parsed
    bool ok() const { return error.empty(); }
};
StyleParse<PickChannels> parseStyleSlot(std::string_view text, const std::string& fileName);
StyleParse<StyleGroup> parseStyleGroup(std::string_view text, const std::string& fileName);

// Reads and parses a style file; a file that cannot be read gives "Cannot open file NAME".
StyleParse<PickChannels> readStyleSlotFile(const std::string& path);
StyleParse<StyleGroup> readStyleGroupFile(const std::string& path);

// The most notes "Generate" puts into a channel: the window has to hold what it makes.
inline constexpr int kMaxStyleNotes = 4096;

// Checks the "Num Notes/Channel" text before anything changes: the count, or the user's message.
StyleParse<int> parseStyleNoteCount(std::string_view text);

// A random style: each channel gets `notes` characters drawn from the pool with replacement,
// every position of the pool equally likely (so a character written twice comes twice as
// often). Draws go pass by pass, channel 1 to 7 within a pass. No notes or an empty pool give
// empty channels.
PickChannels generateRandomStyle(Random& random, std::string_view pool, int notes);

} // namespace fw
