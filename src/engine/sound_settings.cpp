#include "engine/sound_settings.h"

#include <charconv>

namespace fw {

std::string chosenSoundFont(const Settings& settings) {
    std::optional<std::string> path = settings.value(kSoundFontSetting);
    return path && !path->empty() ? *path : std::string(FW_DEFAULT_SOUNDFONT);
}

std::optional<int> settingInRange(const Settings& settings, const std::string& key, int lowest,
                                  int highest) {
    const std::optional<std::string> text = settings.value(key);
    if (!text)
        return std::nullopt;
    int value = 0;
    const char* end = text->data() + text->size();
    const auto [at, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || at != end || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

} // namespace fw
