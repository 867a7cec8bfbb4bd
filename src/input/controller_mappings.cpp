#include "input/controller_mappings.h"

#include "files/line_file.h"
#include "input/joy_file.h"

namespace fw {

namespace {
// Every function without input and every axis role without axis, as a pad preset starts.
void clearMapping(JoyMapping& m) {
    for (int k = 0; k < kAllFunctions; ++k)
        m.assign(k, std::nullopt);
    m.axisMap.fill(kAxisNone);
    m.pickButtonsPlay = false;
    m.vibratoMode = kVibratoFull;
    m.strumHighNormal = false;
}

void assignControl(JoyMapping& m, int function, const ControllerInfo& pad, PadButton control) {
    const int item = pad.buttons[static_cast<std::size_t>(control)];
    if (item)
        m.assign(function, inputCode(item));
}

void assignAxis(JoyMapping& m, int role, const ControllerInfo& pad, PadAxis axis) {
    const int a = pad.axes[static_cast<std::size_t>(axis)];
    m.axisMap[static_cast<std::size_t>(role)] = a ? a : kAxisNone;
}

std::string mappingKey(const std::string& guid) {
    return "controller." + guid + ".mapping";
}
std::string sourceKey(const std::string& guid) {
    return "controller." + guid + ".source";
}
} // namespace

ControllerInfo xbox360Layout() {
    ControllerInfo pad;
    pad.gamepad = true;
    // A B X Y back guide start, stick clicks, shoulders, then the hat: up, down, left, right.
    pad.buttons = {1, 2, 3, 4, 7, 9, 8, 10, 11, 5, 6, 33, 36, 35, 34};
    pad.axes = {1, 2, 4, 5, 3, 6}; // left X Y, right X Y, the triggers
    return pad;
}

void applyGamepad(JoyMapping& m, const ControllerInfo& pad) {
    clearMapping(m);
    const PadButton picks[4] = {kPadA, kPadB, kPadX, kPadY};
    const PadButton chords[4] = {kPadUp, kPadRight, kPadDown, kPadLeft};
    for (int i = 0; i < 4; ++i) {
        assignControl(m, kFnPick1 + i, pad, picks[i]);
        assignControl(m, kFnChord1 + i, pad, chords[i]);
    }
    assignControl(m, kFnChordSetStep, pad, kPadLeftShoulder);
    assignControl(m, kFnPickSetStep, pad, kPadRightShoulder);
    assignAxis(m, kRoleStrum, pad, kPadRightY);
    assignAxis(m, kRoleVibrato, pad, kPadLeftX);
    m.pickButtonsPlay = true;
    m.vibratoMode = kVibratoStick;
    // A flick down, toward the player's body, is the down-strum.
    m.strumHighNormal = true;
}

void applyGuitarController(JoyMapping& m, const ControllerInfo& guitar) {
    clearMapping(m);
    const PadButton frets[4] = {kPadA, kPadB, kPadY, kPadX}; // green, red, yellow, blue
    for (int i = 0; i < 4; ++i)
        assignControl(m, kFnChord1 + i, guitar, frets[i]);
    assignControl(m, kFnFret2 + 1, guitar, kPadLeftShoulder); // orange: fret 3
    assignControl(m, kFnStrumDown, guitar, kPadDown);
    assignControl(m, kFnStrumUp, guitar, kPadUp);
    assignControl(m, kFnPickSetStep, guitar, kPadStart);
    assignControl(m, kFnChordSetStep, guitar, kPadBack);
    assignAxis(m, kRoleVibrato, guitar, kPadRightX);
    m.vibratoMode = kVibratoWhammy;
    // A strum sounds when the bar is hit, whatever "Pick Start" says.
    m.pickButtonsPlay = true;
}

std::optional<NamedMapping> rememberedMapping(const Settings& settings, const std::string& guid) {
    if (guid.empty())
        return std::nullopt;
    const auto lines = settings.value(mappingKey(guid));
    if (!lines)
        return std::nullopt;
    std::string text = *lines;
    for (char& c : text) {
        if (c == ',')
            c = '\n';
    }
    JoyConfigParse parsed = parseJoyConfig(text, "settings");
    // A damaged entry only means the controller gets its preset again.
    if (!parsed.mapping)
        return std::nullopt;
    return NamedMapping{*parsed.mapping, settings.value(sourceKey(guid)).value_or("")};
}

std::optional<std::string> rememberMapping(Settings& settings, const std::string& guid,
                                           const NamedMapping& named) {
    if (guid.empty())
        return std::nullopt;
    std::string lines;
    for (const std::string& line : joyConfigLines(named.mapping))
        lines += (lines.empty() ? "" : ",") + line;
    if (auto error = settings.setValue(mappingKey(guid), lines))
        return error;
    return settings.setValue(sourceKey(guid), named.source);
}

NamedMapping mappingForController(const ControllerInfo& controller, const Settings& settings,
                                  JoyMapping current) {
    if (auto own = rememberedMapping(settings, controller.guid))
        return *own;
    NamedMapping result{current, {}};
    if (controller.gamepad && controller.guitar) {
        applyGuitarController(result.mapping, controller);
        result.source = kMappingGuitar;
    } else if (controller.gamepad) {
        applyGamepad(result.mapping, controller);
        result.source = kMappingGamepad;
    } else {
        applyBrambleFirstGuitar(result.mapping);
        result.source = kMappingBramble;
    }
    return result;
}

} // namespace fw
