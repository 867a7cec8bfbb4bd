#include "logs/log_lines.h"

#include "engine/strict_int.h"
#include "engine/z2uvir.h"

namespace fw {

std::vector<std::string_view> splitLogLines(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(text.size() / 14 + 1);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos)
            end = text.size();
        std::size_t stop = end;
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        lines.push_back(text.substr(start, stop - start));
        start = next;
    }
    return lines;
}

std::string joinLogLines(const std::vector<std::string_view>& lines, std::string_view eol) {
    std::size_t size = 0;
    for (auto l : lines)
        size += l.size() + eol.size();
    std::string text;
    text.reserve(size);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += eol;
        text += lines[i];
    }
    return text;
}

int logLineTime(std::string_view line, int index) {
    try {
        return z2uvirTime(line);
    } catch (const ConversionError& e) {
        throw LogLineError(index, e.what());
    }
}

std::string quotedLine(std::string_view line) {
    constexpr std::size_t kLongest = 40;
    if (line.size() <= kLongest)
        return "\"" + std::string(line) + "\"";
    return "\"" + std::string(line.substr(0, kLongest)) + "...\"";
}

std::string invalidMessageText(std::string_view line, int index) {
    return "Line " + std::to_string(index + 1) + " " + quotedLine(line) +
           " is not a valid MIDI channel message.";
}

} // namespace fw
