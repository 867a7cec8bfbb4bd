#include "support/engine_rig.h"
#include "toys/binary_counting.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

// The toy wired to the playback as the "Music Toys" tab wires it.
struct Counting : ::testing::Test, test::EngineRig {
    SeededRandom random{7};
    BinaryCounting toy;
    std::vector<std::string> infos; // every label, in order

    Counting() {
        engine.ui.accompBeat = true;
        engine.ui.cyclesPerDigitItem = 0; // "1"
        engine.afterBeatStep = [this] {
            if (toy.afterBeatStep(engine.st))
                infos.push_back(toy.info());
        };
    }
    bool start(int steps = 4) {
        const bool started = toy.start(engine.st, random, steps);
        if (started)
            infos = {toy.info()};
        return started;
    }
    // Beats until the toy reaches number n, bit b (false after a generous limit).
    bool runTo(int n, int b) {
        for (int i = 0; i < 100000 && toy.active(); ++i) {
            if (toy.number() == n && toy.bit() == b)
                return true;
            engine.sequencerTick();
        }
        return toy.number() == n && toy.bit() == b;
    }
};

TEST_F(Counting, BuildsSixteenLinesInTheirRegistersAndHandsOverBitOneOfZero) {
    ASSERT_TRUE(start(12));
    for (int r = 0; r < 2; ++r)
        for (const auto& line : toy.lines()[r]) {
            ASSERT_EQ(line.size(), 12u * 14u);
            for (std::size_t p = 0; p < line.size(); p += 2) {
                if (line.compare(p, 2, "--") == 0)
                    continue;
                const int note = std::stoi(line.substr(p, 2), nullptr, 16);
                EXPECT_GE(note, r == 0 ? 56 : 92);
                EXPECT_LE(note, r == 0 ? 91 : 127);
            }
        }
    EXPECT_EQ(toy.info(), "Info: In number 0, Bit #1=0");
    EXPECT_EQ(engine.st.accompBeatLine, toy.lines()[0][0]);
    EXPECT_TRUE(engine.st.beatDigitBusy);

    // A second start while counting changes nothing.
    const auto lines = toy.lines();
    EXPECT_FALSE(start());
    EXPECT_EQ(toy.lines(), lines);
}

TEST_F(Counting, EachBitWaitsForItsPassesAndTheLabelShowsTheBits) {
    engine.ui.cyclesPerDigitItem = 1; // "2": a 4-step line is played twice, 8 beats
    start();
    engine.ui.accompBeat = false; // the toy waits on its first bit while the beat is off
    for (int i = 0; i < 20; ++i)
        engine.sequencerTick();
    EXPECT_EQ(toy.bit(), 1);
    engine.ui.accompBeat = true;
    for (int i = 0; i < 7; ++i)
        engine.sequencerTick();
    EXPECT_EQ(toy.bit(), 1);
    engine.sequencerTick();
    EXPECT_EQ(toy.bit(), 2);

    ASSERT_TRUE(runTo(6, 1));
    // Number 0 is eight low lines, 5 (binary 101) sets bits 1 and 3, 255 is all high.
    const std::vector<std::string> five(infos.end() - 9, infos.end() - 1);
    EXPECT_EQ(five, (std::vector<std::string>{
                        "Info: In number 5, Bit #1=1", "Info: In number 5, Bit #2=0",
                        "Info: In number 5, Bit #3=1", "Info: In number 5, Bit #4=0",
                        "Info: In number 5, Bit #5=0", "Info: In number 5, Bit #6=0",
                        "Info: In number 5, Bit #7=0", "Info: In number 5, Bit #8=0"}));
    for (int b = 0; b < 8; ++b)
        EXPECT_EQ(infos[static_cast<std::size_t>(b)],
                  "Info: In number 0, Bit #" + std::to_string(b + 1) + "=0");
    ASSERT_TRUE(runTo(255, 8));
    EXPECT_EQ(engine.st.accompBeatLine, toy.lines()[1][7]);
    EXPECT_EQ(toy.info(), "Info: In number 255, Bit #8=1");

    // After the last bit the count ends and the last line stays.
    while (toy.active())
        engine.sequencerTick();
    EXPECT_EQ(toy.number(), 256);
    EXPECT_EQ(engine.st.accompBeatLine, toy.lines()[1][7]);
}

TEST_F(Counting, StopFinishesTheNumbersBitsAtOnceAndANewStartCountsFromZero) {
    toy.stop(engine.st); // before a start: nothing
    EXPECT_FALSE(toy.active());
    EXPECT_TRUE(toy.info().empty());
    EXPECT_TRUE(engine.st.accompBeatLine.empty());

    start();
    ASSERT_TRUE(runTo(3, 2));
    const auto firstLines = toy.lines();
    toy.stop(engine.st);
    EXPECT_FALSE(toy.active());
    EXPECT_EQ(toy.info(), "Info: In number 3, Bit #8=0");
    EXPECT_EQ(engine.st.accompBeatLine, firstLines[0][7]);
    for (int i = 0; i < 10; ++i)
        engine.sequencerTick();
    EXPECT_EQ(toy.info(), "Info: In number 3, Bit #8=0"); // the count has ended
    EXPECT_EQ(engine.st.accompBeatLine, firstLines[0][7]);

    ASSERT_TRUE(start());
    EXPECT_EQ(toy.number(), 0);
    EXPECT_EQ(toy.info(), "Info: In number 0, Bit #1=0");
    EXPECT_NE(toy.lines(), firstLines);
}

} // namespace
} // namespace fw
