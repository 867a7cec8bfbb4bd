#pragma once

#include <array>

namespace fw {

// The items of the fast chord generator's three groups, in the order the window lists them.
enum class ChordThird { Major, Minor };
enum class ChordTop { Sixth, Seventh, Normal, Ninth, Dominant7th, SixthNinth };
enum class ChordFifth { Augmented, Normal, Diminished };

// The ten builder offsets of a chord type: strings 1-4 hold root, third, fifth and top tone,
// strings 5-8 the same an octave up, strings 9-10 added tones (0, the root, when there are none).
std::array<int, 10> fastChordOffsets(ChordThird third, ChordTop top, ChordFifth fifth);

// A six-string guitar in standard tuning, low E first: the open strings' notes.
inline constexpr std::array<int, 6> kOpenStringNotes{40, 45, 50, 55, 59, 64};
// Fret positions a string offers: 0 (open) .. 23.
inline constexpr int kFingerPositions = 24;

// The note string s (0 = low E .. 5 = high E) sounds when fingered at fret f.
constexpr int fingerNote(int string, int fret) {
    return kOpenStringNotes[static_cast<std::size_t>(string)] + fret;
}

// The offsets from the low E of six fingered strings: what builder boxes 1-6 receive, so the
// chord sounds as fingered on root "E".
std::array<int, 6> fingerChordOffsets(const std::array<int, 6>& frets);

} // namespace fw
