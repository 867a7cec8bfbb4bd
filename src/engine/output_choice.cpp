#include "engine/output_choice.h"

#include "files/line_file.h"

#include <filesystem>
#include <regex>

namespace fw {

namespace {
constexpr const char* kOutputKey = "midi-output=";
constexpr std::size_t kLargestChoiceFile = 4096;
constexpr std::size_t kLongestKey = 512;
} // namespace

std::optional<std::string> readOutputChoice(const std::string& path) {
    const LineFileRead read = readLineFile(path, kLargestChoiceFile);
    if (!read.ok())
        return std::nullopt;
    for (const std::string& line : read.lines) {
        if (line.rfind(kOutputKey, 0) != 0)
            continue;
        std::string key = line.substr(std::char_traits<char>::length(kOutputKey));
        if (key.empty() || key.size() > kLongestKey)
            return std::nullopt;
        for (unsigned char c : key)
            if (c < 0x20 || c == 0x7F)
                return std::nullopt;
        return key;
    }
    return std::nullopt;
}

std::optional<std::string> writeOutputChoice(const std::string& path, const std::string& key) {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ec);
    return writeLineFileAtomically(path, {kOutputKey + key});
}

std::string withoutPortNumbers(const std::string& key) {
    static const std::regex numbers(R"( \d+:\d+$)");
    return std::regex_replace(key, numbers, "");
}

} // namespace fw
