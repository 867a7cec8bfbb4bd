#include "chords/memory_status.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace fw {
namespace {

const std::string B = kEmptyChordGlyph;

TEST(MemoryStatus, ChordGridMarksChordsWhoseNotesDoNotAddUpToZero) {
    PlayState st;
    EXPECT_EQ(chordGridCaption(st.chordMemory), B + B + B + B + " " + B + B + B + B + " " + B + B +
                                                    B + B + " " + B + B + B + B + " ");
    st.chordMemory[1][1] = {0, 40, 44, 47, 52, 52, 56, 59, 64, 40, 40};
    st.chordMemory[2][3][1] = -1; // -1 and 1: the sum is 0, so it shows as empty
    st.chordMemory[2][3][2] = 1;
    st.chordMemory[4][4][10] = -5; // a negative sum is still something stored
    EXPECT_EQ(chordGridCaption(st.chordMemory),
              "X" + B + B + B + " " + B + B + B + B + " " + B + B + B + B + " " + B + B + B + "X ");
}

TEST(MemoryStatus, EmptyPickMemoryIsABlackPicture) {
    const PickStatusImage image = drawPickStatus(PlayState{}.pickMemory);
    for (int y = 0; y < PickStatusImage::kHeight; ++y)
        for (int x = 0; x < PickStatusImage::kWidth; ++x)
            ASSERT_EQ(image.at(x, y), Rgb{}) << x << "," << y;
}

// Every pixel of the picture that is not black.
std::set<std::pair<int, int>> litPixels(const PickStatusImage& image, Rgb colour) {
    std::set<std::pair<int, int>> lit;
    for (int y = 0; y < PickStatusImage::kHeight; ++y)
        for (int x = 0; x < PickStatusImage::kWidth; ++x) {
            if (image.at(x, y) == Rgb{})
                continue;
            EXPECT_EQ(image.at(x, y), colour) << x << "," << y;
            lit.insert({x, y});
        }
    return lit;
}

TEST(MemoryStatus, OneArrowPixelByPixel) {
    // Pick 2 altered of pick set 3, even a lone rest: a yellow downward arrow in column 4, row 3.
    PlayState st;
    st.pickMemory[3][4] = "-";
    std::set<std::pair<int, int>> expected;
    for (int y = 66; y <= 91; ++y)
        expected.insert({103, y});
    for (auto p : {std::pair{102, 90},
                   {102, 89},
                   {101, 88},
                   {100, 87},
                   {100, 86},
                   {99, 85},
                   {99, 84},
                   {98, 83}}) {
        expected.insert(p);
        expected.insert({206 - p.first, p.second}); // the other stroke, mirrored about x = 103
    }
    EXPECT_EQ(litPixels(drawPickStatus(st.pickMemory), Rgb{255, 255, 0}), expected);

    // Pick 1 of pick set 1: a red upward arrow, its point at the top of column 1.
    PlayState up;
    up.pickMemory[1][1] = "0------";
    const auto lit = litPixels(drawPickStatus(up.pickMemory), Rgb{255, 0, 0});
    EXPECT_EQ(lit.size(), 26u + 2u * 8u);
    for (auto p : {std::pair{17, 2}, {17, 27}, {12, 10}, {22, 10}})
        EXPECT_TRUE(lit.count(p)) << p.first << "," << p.second;
}

TEST(MemoryStatus, EveryFilledSequenceHasItsArrowInItsOwnCell) {
    PlayState st;
    for (int i = 1; i <= 4; ++i)
        for (int n = 1; n <= 8; ++n)
            st.pickMemory[i][n] = "1";
    const PickStatusImage image = drawPickStatus(st.pickMemory);
    for (int i = 1; i <= 4; ++i)
        for (int n = 1; n <= 8; ++n) {
            int count = 0;
            for (int y = 32 * (i - 1); y < 32 * i; ++y)
                for (int x = 32 * (n - 1); x < 32 * n; ++x)
                    if (!(image.at(x, y) == Rgb{})) {
                        EXPECT_EQ(image.at(x, y), pickArrowColour(n));
                        ++count;
                    }
            EXPECT_EQ(count, 42) << "set " << i << " sequence " << n;
        }
    EXPECT_EQ(pickArrowColour(5), (Rgb{0, 128, 0}));
    EXPECT_EQ(pickArrowColour(8), (Rgb{0, 0, 255}));
}

} // namespace
} // namespace fw
