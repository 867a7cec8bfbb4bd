#include "chords/chord_generator_examples.h"
#include "chords/chord_generators.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(ChordGenerators, FastChordTypesGiveTheirOffsets) {
    for (const auto& e : test::kFastChordExamples)
        EXPECT_EQ(fastChordOffsets(static_cast<ChordThird>(e.third), static_cast<ChordTop>(e.top),
                                   static_cast<ChordFifth>(e.fifth)),
                  e.offsets)
            << e.third << " " << e.top << " " << e.fifth;
}

TEST(ChordGenerators, FingeredStringsCountFromTheLowE) {
    for (const auto& e : test::kFingerChordExamples) {
        EXPECT_EQ(fingerChordOffsets(e.frets), e.offsets);
        for (int s = 0; s < 6; ++s)
            EXPECT_EQ(fingerNote(s, e.frets[s]), e.notes[s]);
    }
}

} // namespace
} // namespace fw
