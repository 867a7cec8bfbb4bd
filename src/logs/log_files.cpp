#include "logs/log_files.h"

#include "engine/z2uvir.h"
#include "logs/log_lines.h"

namespace fw {

std::string playLogFileText(const std::vector<std::string_view>& lines) {
    std::string text = joinLogLines(lines, "\r\n");
    if (!lines.empty())
        text += "\r\n";
    return text;
}

namespace {
constexpr const char* kNotText = "It holds bytes that are not text.";
}

bool holdsPlayedNotes(const std::vector<std::string_view>& lines) {
    for (std::string_view line : lines) {
        const auto msg = channelMessageOf(line);
        if (msg && msg->isNoteOn())
            return true;
    }
    return false;
}

std::optional<LogLineError> playLogProblem(std::string_view text) {
    const std::vector<std::string_view> lines = splitLogLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        for (const char ch : lines[i]) {
            const auto c = static_cast<unsigned char>(ch);
            if (c < 0x20 && c != '\t')
                return LogLineError(static_cast<int>(i), kNotText);
        }
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        try {
            logLineTime(lines[i], static_cast<int>(i));
        } catch (const LogLineError& e) {
            return e;
        }
    }
    return std::nullopt;
}

std::optional<std::string> checkPlayLogText(std::string_view text, const std::string& fileName) {
    const auto problem = playLogProblem(text);
    if (!problem)
        return std::nullopt;
    const std::string head = fileName + " is not a play log.\n";
    if (problem->what() == std::string_view(kNotText))
        return head + kNotText;
    const auto line = splitLogLines(text)[static_cast<std::size_t>(problem->line())];
    return head + lineProblemText(line, problem->line(), problem->what());
}

std::optional<std::string> readPlayLogFile(const std::string& path, std::string& error) {
    auto text = readWholeFile(path, error);
    if (!text)
        return std::nullopt;
    if (auto bad = checkPlayLogText(*text, path)) {
        error = std::move(*bad);
        return std::nullopt;
    }
    return text;
}

} // namespace fw
