#include "chords/memory_status.h"

#include "chords/chord_sets.h"

#include <cstdlib>

namespace fw {

std::string chordGridCaption(const decltype(PlayState::chordMemory)& memory) {
    std::string caption;
    for (int set = 1; set <= 4; ++set) {
        for (int chord = 1; chord <= 4; ++chord)
            caption += chordIsStored(memory[set][chord]) ? "X" : kEmptyChordGlyph;
        caption += ' ';
    }
    return caption;
}

void PickStatusImage::drawLine(int x1, int y1, int x2, int y2, Rgb colour) {
    // Bresenham: every step moves one pixel along the longer axis.
    const int dx = std::abs(x2 - x1), sx = x1 < x2 ? 1 : -1;
    const int dy = -std::abs(y2 - y1), sy = y1 < y2 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        if (x1 >= 0 && x1 < kWidth && y1 >= 0 && y1 < kHeight)
            pixels_[index(x1, y1)] = colour;
        if (x1 == x2 && y1 == y2)
            return;
        const int e2 = 2 * err;
        if (e2 >= dy)
            err += dy, x1 += sx;
        if (e2 <= dx)
            err += dx, y1 += sy;
    }
}

Rgb pickArrowColour(int n) {
    switch ((n + 1) / 2) {
    case 1:
        return {255, 0, 0};
    case 2:
        return {255, 255, 0};
    case 3:
        return {0, 128, 0};
    default:
        return {0, 0, 255};
    }
}

PickStatusImage drawPickStatus(const decltype(PlayState::pickMemory)& memory) {
    PickStatusImage image;
    for (int i = 1; i <= 4; ++i) {
        for (int n = 1; n <= 8; ++n) {
            if (memory[i][n].empty())
                continue;
            const Rgb pen = pickArrowColour(n);
            const int top = 32 * i - 30, bottom = 32 * i - 5;
            if (n % 2 == 1) {
                const int x = 32 * n - 15;
                image.drawLine(x, top, x, bottom, pen);
                image.drawLine(x, top, x - 5, top + 8, pen);
                image.drawLine(x, top, x + 5, top + 8, pen);
            } else {
                const int x = 32 * n - 25;
                image.drawLine(x, top, x, bottom, pen);
                image.drawLine(x, bottom, x - 5, bottom - 8, pen);
                image.drawLine(x, bottom, x + 5, bottom - 8, pen);
            }
        }
    }
    return image;
}

} // namespace fw
