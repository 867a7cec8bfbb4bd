#pragma once

#include "engine/prompts.h"

#include <optional>
#include <string>
#include <string_view>

namespace fw {

// A configuration set names one chord set, one pick set and one joystick configuration file,
// so that one file brings a whole set-up back. The *.cset file is three lines, each ended by
// CR LF: the three names in that order, as typed or chosen (an empty name is an empty line).
// A set that also names a beat file (*.beat) has it as a fourth line; a set without one keeps
// three lines, and any other fourth line is ignored as before, so every set written before
// reads and writes as it did.

inline const FileDialogSpec kLoadConfigurationSetDialog{"Load Configuration Set",
                                                        "Configuration Set|*.cset", "cset"};
inline const FileDialogSpec kSaveConfigurationSetDialog{"Save Configuration Set",
                                                        "Configuration Set|*.cset", "cset"};

struct ConfigurationSet {
    std::string chords;
    std::string picks;
    std::string joystick;
    std::string beat = {};
    bool operator==(const ConfigurationSet&) const = default;
};

struct ConfigurationSetParse {
    std::optional<ConfigurationSet> set; // nothing when the text is refused
    std::string error;                   // the user's message, when nothing
};

// The file's text. Nothing when a name holds a line break or a NUL character, which the
// three-line file cannot keep; error then says which name.
std::optional<std::string> configurationSetText(const ConfigurationSet& set, std::string& error);

// A *.cset file's text: missing lines are empty names, lines past the third are ignored. Text
// holding NUL bytes is not a configuration set and is refused with a message naming the file.
ConfigurationSetParse parseConfigurationSet(std::string_view text, const std::string& fileName);

// Reads and parses a *.cset file; one that cannot be read gives "Cannot open file NAME".
ConfigurationSetParse readConfigurationSetFile(const std::string& path);

// The files a set names, as they are opened: a name that is not absolute is opened as stored
// (from the working folder) when such a file exists there, and otherwise from the folder of the
// set (at setPath) when it exists there; a name found in neither stays as stored, so that the
// message of its loader names what was tried.
ConfigurationSet namesFrom(ConfigurationSet set, const std::string& setPath);

// Writes the set, replacing the file whole or not at all. The user's message, or nothing when
// done.
std::optional<std::string> writeConfigurationSetFile(const std::string& path,
                                                     const ConfigurationSet& set);

} // namespace fw
