#include "input/joy_file.h"

#include "engine/strict_int.h"
#include "files/line_file.h"

namespace fw {

namespace {
// Every range value of the file in order: fret, then pick, then chord ranges, low before high.
template <typename Mapping, typename F> void forEachRangeValue(Mapping& m, F&& f) {
    auto table = [&](auto& ranges) {
        for (std::size_t k = 1; k < ranges.size(); ++k) {
            f(ranges[k].low);
            f(ranges[k].high);
        }
    };
    table(m.fretRanges);
    table(m.pickRanges);
    table(m.chordRanges);
}
} // namespace

std::vector<std::string> joyConfigLines(const JoyMapping& m) {
    std::vector<std::string> lines;
    lines.reserve(kJoyFileLines);
    for (std::int32_t code : m.joyMap)
        lines.push_back(std::to_string(code));
    for (int axis : m.axisMap)
        lines.push_back(std::to_string(axis));
    forEachRangeValue(m, [&](int v) { lines.push_back(std::to_string(v)); });
    return lines;
}

JoyConfigParse parseJoyConfig(std::string_view text, std::string_view fileName) {
    const std::vector<std::string_view> lines = splitLineViews(text);
    std::size_t next = 0;
    std::string error;
    // The next line as an integer; a missing line is empty text, which does not convert.
    auto value = [&](int& out) {
        if (!error.empty())
            return;
        const std::string_view line = next < lines.size() ? lines[next] : std::string_view{};
        ++next;
        try {
            out = strToInt(line);
        } catch (const ConversionError&) {
            error = fileLineConversionMessage(line, next, fileName);
        }
    };
    JoyMapping m;
    for (std::int32_t& code : m.joyMap)
        value(code);
    for (int& axis : m.axisMap) {
        value(axis);
        if (axis < 1 || axis > kAxisNone)
            axis = kAxisNone;
    }
    forEachRangeValue(m, value);
    if (!error.empty())
        return {std::nullopt, error};
    return {m, {}};
}

} // namespace fw
