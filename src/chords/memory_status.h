#pragma once

#include "engine/play_state.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace fw {

// The glyph of an empty chord in the chord grid: a full block (U+2588), in UTF-8.
inline constexpr const char* kEmptyChordGlyph = "\xE2\x96\x88";

// The chord grid's caption: for chord set 1..4 a group of four glyphs (chord 1..4), "X" for a
// stored chord and a full block for an empty one, each group followed by a blank. A label four
// glyphs wide wraps it into four rows, one per set.
std::string chordGridCaption(const decltype(PlayState::chordMemory)& memory);

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The pick memory at a glance: one 32 x 32 cell per sequence (column 1..8: pick 1, pick 1
// altered, ..., pick 4 altered) and pick set (row 1..4), black, with an arrow in the pick's
// colour where the sequence holds something: up for a normal sequence, down for an altered one.
class PickStatusImage {
public:
    static constexpr int kWidth = 256;
    static constexpr int kHeight = 128;

    PickStatusImage() : pixels_(static_cast<std::size_t>(kWidth * kHeight)) {}
    Rgb at(int x, int y) const { return pixels_[index(x, y)]; }
    // A one-pixel line, both ends included; points outside the image are skipped.
    void drawLine(int x1, int y1, int x2, int y2, Rgb colour);

private:
    static std::size_t index(int x, int y) { return static_cast<std::size_t>(y * kWidth + x); }
    std::vector<Rgb> pixels_;
};

// The arrow colour of sequence n (1..8): red, yellow, green and blue for picks 1 to 4.
Rgb pickArrowColour(int n);

PickStatusImage drawPickStatus(const decltype(PlayState::pickMemory)& memory);

} // namespace fw
