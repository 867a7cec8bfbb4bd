#pragma once

// Worked examples of the two chord generators, shared by the core and the window tests.
#include <array>

namespace fw::test {

struct FastChordExample {
    int third, top, fifth; // item indices of the three groups
    std::array<int, 10> offsets;
};

inline constexpr FastChordExample kFastChordExamples[] = {
    {0, 2, 1, {0, 4, 7, 12, 12, 16, 19, 24, 0, 0}},   // the defaults
    {1, 2, 1, {0, 3, 7, 12, 12, 15, 19, 24, 0, 0}},   // minor
    {0, 1, 1, {0, 4, 7, 11, 12, 16, 19, 23, 0, 0}},   // 7th
    {0, 5, 1, {0, 4, 7, 10, 12, 16, 19, 22, 14, 26}}, // 6th 9th: the 7th of "Domin. 7th"
    {1, 4, 0, {0, 3, 8, 10, 12, 15, 20, 22, 0, 0}},   // minor, Domin. 7th, Augmented
    {0, 2, 2, {0, 3, 6, 12, 12, 15, 18, 24, 0, 0}},   // Diminished
    {1, 2, 2, {0, 2, 6, 12, 12, 14, 18, 24, 0, 0}},   // minor Diminished
    {0, 0, 1, {0, 4, 7, 9, 12, 16, 19, 21, 0, 0}},    // 6th
    {0, 3, 1, {0, 4, 7, 14, 12, 16, 19, 26, 0, 0}},   // 9th
};

struct FingerChordExample {
    std::array<int, 6> frets;
    std::array<int, 6> offsets;
    std::array<int, 6> notes;
};

inline constexpr FingerChordExample kFingerChordExamples[] = {
    {{0, 0, 0, 0, 0, 0}, {0, 5, 10, 15, 19, 24}, {40, 45, 50, 55, 59, 64}},
    {{0, 2, 2, 1, 0, 0}, {0, 7, 12, 16, 19, 24}, {40, 47, 52, 56, 59, 64}},
    // Beyond the builder's drop-down range of 0..26: the boxes take them as text.
    {{23, 23, 23, 23, 23, 23}, {23, 28, 33, 38, 42, 47}, {63, 68, 73, 78, 82, 87}},
};

} // namespace fw::test
