#include "picks/pick_sets.h"

#include "files/line_file.h"

#include <algorithm>

namespace fw {

std::string interleaveChannels(const PickChannels& channels) {
    std::size_t steps = 0;
    for (const auto& channel : channels)
        steps = std::max(steps, channel.size());
    std::string out;
    out.reserve(steps * kPickChannels);
    for (std::size_t t = 0; t < steps; ++t)
        for (const auto& channel : channels)
            out += t < channel.size() ? channel[t] : '-';
    return out;
}

std::vector<std::string> pickMemoryLines(const PickMemory& memory) {
    std::vector<std::string> lines;
    lines.reserve(kPickSetLines);
    for (int set = 1; set <= kPickSets; ++set)
        for (int n = 1; n <= kPickSequences; ++n)
            lines.push_back(memory[set][n]);
    return lines;
}

PickMemory pickMemoryFromLines(const std::vector<std::string>& lines) {
    PickMemory memory{};
    for (int set = 1; set <= kPickSets; ++set) {
        for (int n = 1; n <= kPickSequences; ++n) {
            const auto index = static_cast<std::size_t>(kPickSequences * (set - 1) + (n - 1));
            if (index < lines.size())
                memory[set][n] = lines[index];
        }
    }
    return memory;
}

std::optional<PickSetFile> readPickSetFile(const std::string& path, std::string& error) {
    LineFileRead read = readLineFile(path);
    if (!read.ok()) {
        error = read.error;
        return std::nullopt;
    }
    PickSetFile file;
    file.memory = pickMemoryFromLines(read.lines);
    file.lines = std::move(read.lines);
    return file;
}

} // namespace fw
