#include "chords/chord_generators.h"

namespace fw {

std::array<int, 10> fastChordOffsets(ChordThird third, ChordTop top, ChordFifth fifth) {
    // Boxes 1..10 as b[1]..b[10]; each step may overwrite what an earlier one wrote.
    std::array<int, 11> b{};
    b[1] = 0, b[5] = 12, b[2] = 4, b[6] = 16, b[3] = 7, b[7] = 19, b[4] = 12, b[8] = 24;
    b[9] = 0, b[10] = 0;
    const bool minor = third == ChordThird::Minor;
    if (minor)
        b[2] = 3, b[6] = 15;
    switch (top) {
    case ChordTop::Sixth:
        b[4] = 9, b[8] = 21;
        break;
    case ChordTop::Seventh:
        b[4] = 11, b[8] = 23;
        break;
    case ChordTop::Normal:
        break;
    case ChordTop::Ninth:
        b[4] = 14, b[8] = 26;
        break;
    case ChordTop::Dominant7th:
        b[4] = 10, b[8] = 22;
        break;
    case ChordTop::SixthNinth:
        // The top tone is the minor seventh, as with "Domin. 7th", and the ninth is added.
        b[4] = 10, b[8] = 22, b[9] = 14, b[10] = 26;
        break;
    }
    switch (fifth) {
    case ChordFifth::Augmented:
        b[3] = 8, b[7] = 20;
        break;
    case ChordFifth::Normal:
        break;
    case ChordFifth::Diminished:
        b[3] = 6, b[7] = 18, b[2] = 3, b[6] = 15;
        if (minor)
            b[2] = 2, b[6] = 14;
        break;
    }
    std::array<int, 10> out{};
    for (std::size_t k = 1; k <= 10; ++k)
        out[k - 1] = b[k];
    return out;
}

std::array<int, 6> fingerChordOffsets(const std::array<int, 6>& frets) {
    std::array<int, 6> out{};
    for (int s = 0; s < 6; ++s)
        out[static_cast<std::size_t>(s)] =
            fingerNote(s, frets[static_cast<std::size_t>(s)]) - kOpenStringNotes[0];
    return out;
}

} // namespace fw
