#include "files/settings.h"

#include "files/line_file.h"

#include <filesystem>

namespace fw {

namespace {
constexpr std::size_t kLargestSettingsFile = 256 * 1024;

bool isCleanValue(const std::string& text) {
    if (text.size() > Settings::kLongestValue)
        return false;
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}
} // namespace

Settings::Settings(std::string path) : path_(std::move(path)) {
    const LineFileRead read = readLineFile(path_, kLargestSettingsFile);
    if (read.ok())
        take(read.lines);
}

std::optional<Settings> Settings::readInMemory(const std::string& path, std::string& error) {
    const LineFileRead read = readLineFile(path, kLargestSettingsFile);
    if (!read.ok()) {
        error = read.error;
        return std::nullopt;
    }
    Settings settings;
    settings.take(read.lines);
    return settings;
}

std::vector<std::string> Settings::lines() const {
    std::vector<std::string> lines;
    for (const auto& [k, v] : values_)
        lines.push_back(k + "=" + v);
    return lines;
}

void Settings::take(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const auto equals = line.find('=');
        if (equals == std::string::npos || equals == 0)
            continue;
        const std::string value = line.substr(equals + 1);
        if (isCleanValue(value))
            values_.emplace(line.substr(0, equals), value);
    }
}

std::optional<std::string> Settings::value(const std::string& key) const {
    const auto it = values_.find(key);
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

std::optional<std::string> Settings::setValue(const std::string& key,
                                              const std::optional<std::string>& value) {
    if (value && !isCleanValue(*value))
        return "A setting holds characters that cannot be kept: " + key;
    if (value)
        values_[key] = *value;
    else
        values_.erase(key);
    if (path_.empty())
        return std::nullopt;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
    std::optional<std::string> error;
    // The folder's own failure names the cause (a read-only home, say).
    if (!folder.empty() && !std::filesystem::create_directories(folder, ec) && ec)
        error = "Cannot create folder " + folder.string() + ": " + ec.message();
    else
        error = writeLineFileAtomically(path_, lines());
    if (error && !failing_ && onWriteError_)
        onWriteError_(*error);
    failing_ = error.has_value();
    return error;
}

} // namespace fw
