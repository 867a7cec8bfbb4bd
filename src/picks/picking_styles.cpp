#include "picks/picking_styles.h"

#include "engine/strict_int.h"
#include "files/line_file.h"

namespace fw {

namespace {
void appendSlot(std::vector<std::string>& lines, const PickChannels& slot) {
    lines.insert(lines.end(), slot.begin(), slot.end());
}

// Channels 1..7 from the lines starting at `first`; lines past the end read as empty.
PickChannels slotFromLines(const std::vector<std::string>& lines, std::size_t first) {
    PickChannels slot;
    for (std::size_t c = 0; c < slot.size(); ++c)
        if (first + c < lines.size())
            slot[c] = lines[first + c];
    return slot;
}

template <typename T, typename Parse>
StyleParse<T> readStyleFile(const std::string& path, Parse parse) {
    std::string error;
    const auto bytes = readSettingsBytes(path, error);
    if (!bytes) {
        StyleParse<T> failed;
        failed.error = error;
        return failed;
    }
    return parse(*bytes, path);
}
} // namespace

std::string styleSlotText(const PickChannels& slot) {
    std::vector<std::string> lines;
    appendSlot(lines, slot);
    return joinCrLf(lines);
}

std::string styleGroupText(const StyleGroup& group) {
    std::vector<std::string> lines;
    for (const int n : styleSlotOrder)
        appendSlot(lines, group[static_cast<std::size_t>(n - 1)]);
    return joinCrLf(lines);
}

StyleParse<PickChannels> parseStyleSlot(std::string_view text, const std::string& fileName) {
    StyleParse<PickChannels> out;
    LineFileRead read = linesOfText(text, fileName);
    if (!read.ok())
        out.error = read.error;
    else
        out.value = slotFromLines(read.lines, 0);
    return out;
}

StyleParse<StyleGroup> parseStyleGroup(std::string_view text, const std::string& fileName) {
    StyleParse<StyleGroup> out;
    LineFileRead read = linesOfText(text, fileName);
    if (!read.ok()) {
        out.error = read.error;
        return out;
    }
    for (std::size_t block = 0; block < styleSlotOrder.size(); ++block)
        out.value[static_cast<std::size_t>(styleSlotOrder[block] - 1)] =
            slotFromLines(read.lines, block * kPickChannels);
    return out;
}

StyleParse<PickChannels> readStyleSlotFile(const std::string& path) {
    return readStyleFile<PickChannels>(path, parseStyleSlot);
}

StyleParse<StyleGroup> readStyleGroupFile(const std::string& path) {
    return readStyleFile<StyleGroup>(path, parseStyleGroup);
}

StyleParse<int> parseStyleNoteCount(std::string_view text) {
    StyleParse<int> out;
    try {
        out.value = strToInt(text);
    } catch (const ConversionError& e) {
        out.error = e.what();
        return out;
    }
    if (out.value > kMaxStyleNotes)
        out.error = "\"Num Notes/Channel\" can be at most " + std::to_string(kMaxStyleNotes) +
                    ", not " + std::to_string(out.value) + ".";
    return out;
}

PickChannels generateRandomStyle(Random& random, std::string_view pool, int notes) {
    PickChannels slot;
    if (pool.empty())
        return slot;
    for (int pass = 0; pass < notes; ++pass)
        for (auto& channel : slot)
            channel += pool[uniformIndex(random, pool.size())];
    return slot;
}

} // namespace fw
