#include "logs/log_lines.h"

#include "engine/strict_int.h"
#include "engine/z2uvir.h"

namespace fw {

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
    return "\"" + textForMessage(line) + "\"";
}

std::string lineProblemText(std::string_view line, int index, const std::string& problem) {
    return "Line " + std::to_string(index + 1) + " " + quotedLine(line) + ": " + problem;
}

std::string invalidMessageText(std::string_view line, int index) {
    return "Line " + std::to_string(index + 1) + " " + quotedLine(line) +
           " is not a valid MIDI channel message.";
}

} // namespace fw
