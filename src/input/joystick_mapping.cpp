#include "input/joystick_mapping.h"

namespace fw {

namespace {
constexpr int kItemForward = 33, kItemRight = 34, kItemLeft = 35, kItemBackward = 36;
} // namespace

int JoyMapping::axisOf(int role) const {
    if (role < 0 || role >= kAxisRoles)
        return 0;
    const int axis = axisMap[static_cast<std::size_t>(role)];
    return axis >= 1 && axis <= 6 ? axis : 0;
}

std::int32_t JoyMapping::code(int function) const {
    if (function >= kJoyFunctions)
        return extraMap[static_cast<std::size_t>(function - kJoyFunctions)];
    return joyMap[static_cast<std::size_t>(function)];
}

void JoyMapping::assign(int function, std::optional<std::int32_t> c) {
    if (function < 0 || function >= kAllFunctions)
        return;
    const std::uint64_t bit = std::uint64_t{1} << function;
    if (c)
        unassigned &= ~bit;
    else
        unassigned |= bit;
    // A function without input keeps a code of button 32 in the file's first lines, so that a
    // reader which knows nothing of unassigned functions finds it on a button pads lack.
    const std::int32_t stored = c ? *c : function < kJoyFunctions ? inputCode(32) : 0;
    if (function >= kJoyFunctions)
        extraMap[static_cast<std::size_t>(function - kJoyFunctions)] = stored;
    else
        joyMap[static_cast<std::size_t>(function)] = stored;
}

bool JoyMapping::extended() const {
    return unassigned != kExtrasUnassigned || pickButtonsPlay || vibratoMode != kVibratoFull ||
           strumHighNormal;
}

std::int32_t inputCode(int item) {
    if (item >= 1 && item <= 32)
        return static_cast<std::int32_t>(1u << (item - 1));
    switch (item) {
    case kItemRight:
        return kPovRight;
    case kItemLeft:
        return kPovLeft;
    case kItemBackward:
        return kPovBackward;
    default:
        return kPovForward;
    }
}

std::int32_t inputItem(std::int32_t code) {
    switch (code) {
    case kPovForward:
        return kItemForward;
    case kPovRight:
        return kItemRight;
    case kPovLeft:
        return kItemLeft;
    case kPovBackward:
        return kItemBackward;
    default:
        break;
    }
    const auto bits = static_cast<std::uint32_t>(code);
    if ((bits & (bits - 1)) == 0) {
        for (int n = 1; n <= 32; ++n) {
            if (bits == 1u << (n - 1))
                return n;
        }
    }
    return code;
}

std::string inputItemText(int item) {
    if (item >= 1 && item <= 32)
        return "Button " + std::to_string(item);
    switch (item) {
    case kItemForward:
        return "POV Forward";
    case kItemRight:
        return "POV Right";
    case kItemLeft:
        return "POV Left";
    case kItemBackward:
        return "POV Backward";
    default:
        return {};
    }
}

std::string axisText(int axis) {
    static const char* const names[] = {"X", "Y", "Z", "R", "U", "V", "none"};
    return axis >= 1 && axis <= 7 ? names[axis - 1] : "none";
}

namespace {
// What both built-in mappings share beyond their 32 codes and six axes: every one of the
// functions 0..31 listens, none of 36..39 does, the pick buttons only choose, the vibrato axis
// works over its whole range. The unused 32..35 hold what they hold at start, so a built-in
// mapping is the same whatever was in force before (a pad preset's marks would otherwise stay).
void setTodaysMapping(JoyMapping& m, const int (&items)[32], std::array<int, kAxisRoles> axes) {
    for (int k = 0; k < 32; ++k)
        m.assign(k, inputCode(items[k]));
    for (int k = 32; k < kJoyFunctions; ++k)
        m.assign(k, JoyMapping{}.joyMap[static_cast<std::size_t>(k)]);
    for (int k = kJoyFunctions; k < kAllFunctions; ++k)
        m.assign(k, std::nullopt);
    m.axisMap = axes;
    m.pickButtonsPlay = false;
    m.vibratoMode = kVibratoFull;
    m.strumHighNormal = false;
}
} // namespace

void applyDefaultMapping(JoyMapping& m) {
    static constexpr int items[32] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                      12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                                      23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
    setTodaysMapping(m, items, {1, 2, 3, 4, 5, 6});
}

void applyBrambleFirstGuitar(JoyMapping& m) {
    // Input items of functions 0..31: picks, frets 2..13, four unused, pick sets, chords on the
    // hat, chord sets. Button 6 serves frets 9..13 and every chord set at once.
    static constexpr int items[32] = {3,  2,  1,  4,  11, 7,  5,  8,  9,  10, 12, 6,  6, 6, 6, 6,
                                      17, 18, 19, 20, 21, 22, 23, 24, 34, 36, 33, 35, 6, 6, 6, 6};
    setTodaysMapping(m, items, {4, 2, 1, 3, 5, 6}); // R, Y, X, Z, U, V
}

} // namespace fw
