#include "config/configuration_set.h"

#include "files/line_file.h"

#include <algorithm>
#include <array>
#include <utility>

namespace fw {

std::optional<std::string> configurationSetText(const ConfigurationSet& set, std::string& error) {
    const std::array<std::pair<const char*, const std::string*>, 3> names{
        {{"chord set", &set.chords}, {"pick set", &set.picks}, {"joystick", &set.joystick}}};
    for (const auto& [what, name] : names) {
        if (name->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
            error = std::string("The ") + what +
                    " file name holds a line break or a NUL character, which a configuration "
                    "set cannot keep.";
            return std::nullopt;
        }
    }
    return joinCrLf({set.chords, set.picks, set.joystick});
}

ConfigurationSetParse parseConfigurationSet(std::string_view text, const std::string& fileName) {
    LineFileRead read = linesOfText(text, fileName);
    if (!read.ok())
        return {std::nullopt, read.error};
    read.lines.resize(std::max<std::size_t>(read.lines.size(), 3));
    return {ConfigurationSet{read.lines[0], read.lines[1], read.lines[2]}, {}};
}

ConfigurationSetParse readConfigurationSetFile(const std::string& path) {
    std::string error;
    const auto bytes = readSettingsBytes(path, error);
    if (!bytes)
        return {std::nullopt, error};
    return parseConfigurationSet(*bytes, path);
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
