#include "logs/log_files.h"

#include "logs/log_lines.h"

namespace fw {

std::string playLogFileText(const std::vector<std::string_view>& lines) {
    std::string text = joinLogLines(lines, "\r\n");
    if (!lines.empty())
        text += "\r\n";
    return text;
}

std::optional<std::string> checkPlayLogText(std::string_view text, const std::string& fileName) {
    const std::string head = fileName + " is not a play log.\n";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\r' && c != '\n')
            return head + "It holds bytes that are not text.";
    }
    const std::vector<std::string_view> lines = splitLogLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        try {
            logLineTime(lines[i], static_cast<int>(i));
        } catch (const LogLineError& e) {
            return head + "Line " + std::to_string(i + 1) + " " + quotedLine(lines[i]) + ": " +
                   e.what();
        }
    }
    return std::nullopt;
}

} // namespace fw
