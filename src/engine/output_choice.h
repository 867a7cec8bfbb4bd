#pragma once

#include "files/settings.h"

#include <optional>
#include <string>

namespace fw {

// The MIDI output chosen last, kept between runs by its key ("alsa:NAME", "jack:NAME",
// "builtin:", "virtual:") as the setting "midi-output=KEY".

// The remembered key; nothing when there is no file or it is damaged (not text, too large, no
// such line, or a key with control characters), so a bad file only means the default output.
std::optional<std::string> readOutputChoice(const Settings& settings);
std::optional<std::string> readOutputChoice(const std::string& path);

// Keeps the key, creating the file's folder if needed; returns the error text on failure.
std::optional<std::string> writeOutputChoice(Settings& settings, const std::string& key);
std::optional<std::string> writeOutputChoice(const std::string& path, const std::string& key);

// The key without the client and port numbers that ALSA appends to a port's name ("Synth 128:0"
// gives "Synth"): those change from run to run, the name does not.
std::string withoutPortNumbers(const std::string& key);

} // namespace fw
