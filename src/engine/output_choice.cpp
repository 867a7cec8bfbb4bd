#include "engine/output_choice.h"

#include <regex>

namespace fw {

namespace {
constexpr const char* kOutputKey = "midi-output";
constexpr std::size_t kLongestKey = 512;
} // namespace

std::optional<std::string> readOutputChoice(const Settings& settings) {
    std::optional<std::string> key = settings.value(kOutputKey);
    if (!key || key->empty() || key->size() > kLongestKey)
        return std::nullopt;
    return key;
}

std::optional<std::string> readOutputChoice(const std::string& path) {
    return readOutputChoice(Settings(path));
}

std::optional<std::string> writeOutputChoice(Settings& settings, const std::string& key) {
    return settings.setValue(kOutputKey, key);
}

std::optional<std::string> writeOutputChoice(const std::string& path, const std::string& key) {
    Settings settings(path);
    return writeOutputChoice(settings, key);
}

std::string withoutPortNumbers(const std::string& key) {
    static const std::regex numbers(R"( \d+:\d+$)");
    return std::regex_replace(key, numbers, "");
}

} // namespace fw
