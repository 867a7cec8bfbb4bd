#include "support/engine_rig.h"
#include "toys/binary_counting.h"

#include <gtest/gtest.h>

#include <string>

namespace fw {
namespace {

// The toy wired to the playback as the "Music Toys" tab wires it. Window test: counting
// through the running sequencer, the labels, "Stop" and a new start.
struct Counting : ::testing::Test, test::EngineRig {
    SeededRandom random{7};
    BinaryCounting toy;

    Counting() {
        engine.ui.accompBeat = true;
        engine.ui.cyclesPerDigitItem = 1; // "2": a 4-step line is played twice, 8 beats a bit
        engine.afterBeatStep = [this] { toy.afterBeatStep(engine.st); };
    }
    void beats(int n) {
        for (int i = 0; i < n; ++i)
            engine.sequencerTick();
    }
};

TEST_F(Counting, BuildsSixteenLinesInTheirRegistersAndIgnoresASecondStart) {
    toy.stop(engine.st); // before a start: nothing
    EXPECT_TRUE(toy.info().empty());
    ASSERT_TRUE(toy.start(engine.st, random, 12));
    for (int r = 0; r < 2; ++r) {
        for (const auto& line : toy.lines()[r]) {
            ASSERT_EQ(line.size(), 12u * 14u);
            for (std::size_t p = 0; p < line.size(); p += 2) {
                if (line.compare(p, 2, "--") == 0)
                    continue;
                const int note = std::stoi(line.substr(p, 2), nullptr, 16);
                EXPECT_TRUE(r == 0 ? note >= 56 && note <= 91 : note >= 92 && note <= 127) << note;
            }
        }
    }
    EXPECT_EQ(toy.info(), "Info: In number 0, Bit #1=0");
    EXPECT_EQ(engine.st.accompBeatLine, toy.lines()[0][0]);
    EXPECT_TRUE(engine.st.beatDigitBusy);
    const auto lines = toy.lines();
    EXPECT_FALSE(toy.start(engine.st, random, 4));
    EXPECT_EQ(toy.lines(), lines);
}

TEST_F(Counting, EachBitWaitsForItsPassesAndTheCountEndsAfter255) {
    toy.start(engine.st, random, 4);
    engine.ui.accompBeat = false; // the toy waits on its first bit while the beat is off
    beats(20);
    EXPECT_EQ(toy.bit(), 1);
    engine.ui.accompBeat = true;
    beats(7);
    EXPECT_EQ(toy.bit(), 1);
    beats(1);
    EXPECT_EQ(toy.bit(), 2);

    while (toy.active() && !(toy.number() == 255 && toy.bit() == 8))
        engine.sequencerTick();
    EXPECT_EQ(toy.info(), "Info: In number 255, Bit #8=1");
    EXPECT_EQ(engine.st.accompBeatLine, toy.lines()[1][7]);
    beats(8);
    EXPECT_FALSE(toy.active());
    EXPECT_EQ(toy.number(), 256);
    EXPECT_EQ(engine.st.accompBeatLine, toy.lines()[1][7]); // the last line stays
}

} // namespace
} // namespace fw
