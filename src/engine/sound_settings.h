#pragma once

#include "files/settings.h"

#include <optional>
#include <string>

namespace fw {

// The sound of the built-in synthesizer as kept between runs.
inline constexpr const char* kSoundFontSetting = "soundfont";      // absent: the default one
inline constexpr const char* kSynthVolumeSetting = "synth-volume"; // percent
inline constexpr const char* kStrumSpreadSetting = "strum-spread-ms";
inline constexpr const char* kSynthAudioSetting = "synth-audio"; // "jack", or absent

// The SoundFont the synthesizer plays and WAV files are rendered with.
std::string chosenSoundFont(const Settings& settings);

// A whole number kept in the settings, within [lowest, highest]; nothing when missing or not so.
std::optional<int> settingInRange(const Settings& settings, const std::string& key, int lowest,
                                  int highest);

} // namespace fw
