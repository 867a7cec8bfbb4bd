#pragma once

#include <array>
#include <cstdint>
#include <optional>
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
// Functions a controller without a strum bar or a chord-set button per set needs: they act once
// per press. They follow the 36 of joyMap, in extraMap.
inline constexpr int kExtraFunctions = 4;
inline constexpr int kFnStrumDown = 36, kFnStrumUp = 37, kFnChordSetStep = 38, kFnPickSetStep = 39;
inline constexpr int kAllFunctions = kJoyFunctions + kExtraFunctions;

// How the vibrato axis moves the "P" bar: over its whole range (centre 128), as a stick that
// rests in the middle (a dead zone there keeps the bar at its centre), or as a whammy bar that
// rests at its lowest value and bends down as it is pressed.
enum VibratoMode { kVibratoFull = 0, kVibratoStick = 1, kVibratoWhammy = 2 };

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
    // Input codes of the functions 36..39.
    std::array<std::int32_t, kExtraFunctions> extraMap{};
    // Bit k set: function k (0..39) listens to no input at all. A code in joyMap cannot say
    // that (0 is the hat pointing forward).
    std::uint64_t unassigned = kExtrasUnassigned;
    // A pick button starts its pick at once (the normal sequence) rather than only choosing it.
    bool pickButtonsPlay = false;
    int vibratoMode = kVibratoFull;
    // The strum axis swung to its high values (a stick pulled toward the player) plays the
    // normal sequence and to its low values the altered one, the other way round from a strum
    // bar's axis: a flick down is then a down-strum, as a hand moves.
    bool strumHighNormal = false;
    bool operator==(const JoyMapping&) const = default;

    static constexpr std::uint64_t kExtrasUnassigned = std::uint64_t{0xF} << kJoyFunctions;

    // The axis (1..6) that drives a role, or 0 when the role has none.
    int axisOf(int role) const;
    bool assigned(int function) const { return !((unassigned >> function) & 1u); }
    // The input code of function 0..39.
    std::int32_t code(int function) const;
    // Gives function 0..39 an input code, or no input with std::nullopt.
    void assign(int function, std::optional<std::int32_t> code);
    // True when the mapping uses something the 164 lines of a *.joy file cannot hold.
    bool extended() const;
};

// Item number of the input list (1..36) to input code, and back. A code that is neither a
// single button nor a hat direction comes back as itself.
std::int32_t inputCode(int item);
std::int32_t inputItem(std::int32_t code);
// The input list's texts: "Button 1" .. "Button 32", "POV Forward", "POV Right", "POV Left",
// "POV Backward"; and the axis list's: "X" .. "V", "none".
std::string inputItemText(int item);
std::string axisText(int axis);

// "Defaults": buttons 1..32 to functions 0..31 in order, axes X..V to the six roles. Like the
// preset below it puts the unused functions 32..35 back to their start and leaves none of the
// functions 36..39; the calibrated ranges stay.
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
