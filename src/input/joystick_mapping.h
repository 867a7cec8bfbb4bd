#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace fw {

inline constexpr int kJoyFunctions = 36;
inline constexpr int kAxisRoles = 6;
inline constexpr int kInputItems = 36; // "Button 1".."Button 32", four hat directions
inline constexpr int kAxisNone = 7;
inline constexpr int kFretPositions = 13;
inline constexpr int kPickPositions = 32;
inline constexpr int kChordPositions = 16;

// Hat directions as input codes, in hundredths of degrees.
inline constexpr std::int32_t kPovForward = 0, kPovRight = 9000, kPovBackward = 18000,
                              kPovLeft = 27000;

// Game functions by index into joyMap.
inline constexpr int kFnPick1 = 0, kFnFret2 = 4, kFnPickSet1 = 20, kFnChord1 = 24,
                     kFnChordSet1 = 28;

// Axis roles by slot of axisMap.
enum AxisRole { kRoleStrum = 0, kRoleVibrato, kRoleTempo, kRolePick, kRoleFrets, kRoleChord };

// A calibrated span of raw axis values; both ends are outside it.
struct AxisRange {
    int low = 0;
    int high = 0;
    bool contains(std::int64_t a) const { return low < a && a < high; }
    bool operator==(const AxisRange&) const = default;
};

// What each game function and axis role listens to, and the calibrated ranges of the analog
// fret neck, pick selector and chord selector. Range tables are 1-based; slot 0 is unused.
struct JoyMapping {
    std::array<std::int32_t, kJoyFunctions> joyMap{};
    std::array<int, kAxisRoles> axisMap{1, 2, 3, 4, 5, 6};
    std::array<AxisRange, kFretPositions + 1> fretRanges{};
    std::array<AxisRange, kPickPositions + 1> pickRanges{};
    std::array<AxisRange, kChordPositions + 1> chordRanges{};
    bool operator==(const JoyMapping&) const = default;

    // The axis (1..6) that drives a role, or 0 when the role has none.
    int axisOf(int role) const;
};

// Item number of the input list (1..36) to input code, and back. A code that is neither a
// single button nor a hat direction comes back as itself.
std::int32_t inputCode(int item);
std::int32_t inputItem(std::int32_t code);
// The input list's texts: "Button 1" .. "Button 32", "POV Forward", "POV Right", "POV Left",
// "POV Backward"; and the axis list's: "X" .. "V", "none".
std::string inputItemText(int item);
std::string axisText(int axis);

// "Defaults": buttons 1..32 to functions 0..31 in order, axes X..V to the six roles.
void applyDefaultMapping(JoyMapping& mapping);
// The built-in preset "Bramble First Guitar", the mapping in force at start.
void applyBrambleFirstGuitar(JoyMapping& mapping);

// Ranges from calibration samples S[1..n]: each range is centred on its sample and reaches half
// way to the next one (the last as wide as the one before), halves truncated toward zero.
template <std::size_t N>
void rangesFromSamples(const std::array<int, N>& samples, std::array<AxisRange, N>& ranges) {
    constexpr int n = static_cast<int>(N) - 1;
    int h = 0;
    for (int k = 1; k <= n; ++k) {
        if (k < n)
            h = (samples[k + 1] - samples[k]) / 2;
        ranges[k] = {samples[k] - h, samples[k] + h};
    }
}

} // namespace fw
