#pragma once

#include "files/settings.h"
#include "input/joystick.h"
#include "input/joystick_mapping.h"

#include <optional>
#include <string>

namespace fw {

// Names of the built-in mappings as the "Joystick Mapping" tab shows them.
inline constexpr const char* kMappingDefaults = "Defaults";
inline constexpr const char* kMappingBramble = "Bramble First Guitar";
inline constexpr const char* kMappingGamepad = "Gamepad";
inline constexpr const char* kMappingGuitar = "Guitar controller";

// "Gamepad", for any controller whose layout the platform knows: the four face buttons play
// picks 1..4 (A, B, X, Y), the d-pad chooses chords 1..4 (up, right, down, left), the left and
// right shoulder buttons step the chord set and the pick set, a flick of the right stick up or
// down and back strums (velocity and "ALT" from the flick, as a strum bar), the left stick
// bends sideways. Everything else, the triggers and the tempo included, does nothing. "Play on
// press" is on: its picks sound at the press.
void applyGamepad(JoyMapping& mapping, const ControllerInfo& pad);

// "Guitar controller", for a guitar that reads as a gamepad: the green, red, yellow and blue fret
// buttons (A, B, Y, X) choose chords 1..4 and the orange one (left shoulder) raises them a whole
// tone while held; the strum bar (d-pad down, up) plays the chosen pick, down the normal
// sequence and up the altered one; the whammy bar (right stick X) bends down; start and back
// step the pick set and the chord set. "Play on press" is on, so a strum sounds at once.
void applyGuitarController(JoyMapping& mapping, const ControllerInfo& guitar);

// Where an Xbox 360 pad has its controls as the Linux driver presents it: the presets' guess for
// a controller whose layout the platform does not know.
ControllerInfo xbox360Layout();

// A mapping and what it is: the name of a built-in mapping or the file it was loaded from or
// saved to.
struct NamedMapping {
    JoyMapping mapping;
    std::string source;
};

// The player's own mapping for a model of controller, kept in the settings by its GUID.
std::optional<NamedMapping> rememberedMapping(const Settings& settings, const std::string& guid);
// Keeps it; the error text when the settings file could not be written.
std::optional<std::string> rememberMapping(Settings& settings, const std::string& guid,
                                           const NamedMapping& mapping);

// What a controller gets when it comes into use: the player's own mapping for it, else the
// preset that fits it, else (a controller whose layout is not known) "Bramble First Guitar".
// The calibrated ranges and whatever a preset leaves alone come from `current`.
NamedMapping mappingForController(const ControllerInfo& controller, const Settings& settings,
                                  JoyMapping current);

} // namespace fw
