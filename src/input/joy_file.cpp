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

bool isMarker(std::string_view line) {
    try {
        return strToInt(line) == kJoyExtensionMarker;
    } catch (const ConversionError&) {
        return false;
    }
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
    if (!m.extended())
        return lines;
    const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(m.unassigned));
    const auto high = static_cast<std::int32_t>(m.unassigned >> 32);
    for (std::int32_t v : {kJoyExtensionMarker, kJoyExtensionLines, low, high})
        lines.push_back(std::to_string(v));
    for (std::int32_t code : m.extraMap)
        lines.push_back(std::to_string(code));
    lines.push_back(m.pickButtonsPlay ? "1" : "0");
    lines.push_back(std::to_string(m.vibratoMode));
    lines.push_back(m.strumHighNormal ? "1" : "0");
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
    if (error.empty() && next < lines.size() && isMarker(lines[next])) {
        ++next;
        // The count lets a later version add lines; these are the ones this one knows.
        int count = 0, low = 0, high = 0, play = 0;
        value(count);
        value(low);
        value(high);
        for (std::int32_t& code : m.extraMap)
            value(code);
        value(play);
        value(m.vibratoMode);
        // Files of eight extension lines were written before the strum could be turned.
        int highNormal = 0;
        if (count >= 9)
            value(highNormal);
        m.strumHighNormal = highNormal != 0;
        // What the functions outside the 40 would hold means nothing here.
        m.unassigned = static_cast<std::uint32_t>(low) |
                       (std::uint64_t{static_cast<std::uint32_t>(high) & 0xFFu} << 32);
        for (int k = kJoyFunctions; k < kAllFunctions; ++k) {
            if (!m.assigned(k))
                m.extraMap[static_cast<std::size_t>(k - kJoyFunctions)] = 0;
        }
        m.pickButtonsPlay = play != 0;
        if (m.vibratoMode < kVibratoFull || m.vibratoMode > kVibratoWhammy)
            m.vibratoMode = kVibratoFull;
    }
    if (!error.empty())
        return {std::nullopt, error};
    return {m, {}};
}

} // namespace fw
