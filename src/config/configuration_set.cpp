#include "config/configuration_set.h"

#include "files/line_file.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <utility>

namespace fw {

std::optional<std::string> configurationSetText(const ConfigurationSet& set, std::string& error) {
    const std::array<std::pair<const char*, const std::string*>, 4> names{
        {{"chord set", &set.chords},
         {"pick set", &set.picks},
         {"joystick", &set.joystick},
         {"beat", &set.beat}}};
    for (const auto& [what, name] : names) {
        if (name->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            error = std::string("The ") + what +
                    " file name holds a line break or a NUL character, which a configuration "
                    "set cannot keep.";
            return std::nullopt;
        }
    }
    if (set.beat.empty())
        return joinCrLf({set.chords, set.picks, set.joystick});
    return joinCrLf({set.chords, set.picks, set.joystick, set.beat});
}

ConfigurationSetParse parseConfigurationSet(std::string_view text, const std::string& fileName) {
    LineFileRead read = linesOfText(text, fileName);
    if (!read.ok())
        return {std::nullopt, read.error};
    read.lines.resize(std::max<std::size_t>(read.lines.size(), 4));
    // Lines after the third meant nothing before; only a beat file's name means something now.
    std::string& beat = read.lines[3];
    if (!beat.ends_with(".beat"))
        beat.clear();
    return {ConfigurationSet{read.lines[0], read.lines[1], read.lines[2], beat}, {}};
}

ConfigurationSetParse readConfigurationSetFile(const std::string& path) {
    std::string error;
    const auto bytes = readSettingsBytes(path, error);
    if (!bytes)
        return {std::nullopt, error};
    return parseConfigurationSet(*bytes, path);
}

ConfigurationSet namesFrom(ConfigurationSet set, const std::string& setPath) {
    namespace fs = std::filesystem;
    // Names are opened as stored; a set moved with its files, or a program started from another
    // folder, still finds them beside the set.
    const fs::path folder = fs::path(setPath).parent_path();
    std::error_code ec;
    for (std::string* name : {&set.chords, &set.picks, &set.joystick, &set.beat}) {
        if (name->empty() || !fs::path(*name).is_relative() || fs::exists(*name, ec))
            continue;
        const fs::path beside = folder / *name;
        if (!folder.empty() && fs::exists(beside, ec))
            *name = beside.string();
    }
    return set;
}

std::optional<std::string> writeConfigurationSetFile(const std::string& path,
                                                     const ConfigurationSet& set) {
    std::string error;
    const auto text = configurationSetText(set, error);
    if (!text)
        return error;
    return writeFileReplacing(path, *text);
}

} // namespace fw
