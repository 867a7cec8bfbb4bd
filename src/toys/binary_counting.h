#pragma once

#include <array>
#include <string>

namespace fw {

struct PlayState;
class Random;

// Counts 0 to 255 in sound, bit by bit, least significant first: each bit hands the beat
// playback one of sixteen random lines, from the high register for a 1 and the low register
// for a 0, and waits until the playback has played it the "Cycles/Digit" number of times. The
// count is a state machine moved on by the playback after every beat step, so it never waits
// itself and the window stays free.
class BinaryCounting {
public:
    // "Detailed Binary Counting": builds the sixteen lines (beatsPerCycle steps each) and hands
    // over bit 1 of number 0. A count that runs already is left alone; returns false then.
    bool start(PlayState& st, Random& random, int beatsPerCycle);
    // "Stop": the current number's remaining bits are handed over at once and the count ends.
    void stop(PlayState& st);
    // After every beat step: once the playback has released the current bit, the next one.
    // Returns true when it handed over a bit or ended the count.
    bool afterBeatStep(PlayState& st);

    bool active() const { return countingActive_; }
    int number() const { return countingNumber_; }
    int bit() const { return bit_; }
    // "Info: In number 5, Bit #3=1": what Label83 shows; empty before the first start.
    const std::string& info() const { return info_; }
    // [register 0 low / 1 high][bit 0..7].
    const std::array<std::array<std::string, 8>, 2>& lines() const { return countingLines_; }

private:
    void handOver(PlayState& st);

    bool countingActive_ = false;
    int countingNumber_ = 0;
    int bit_ = 1; // 1..8
    std::array<std::array<std::string, 8>, 2> countingLines_;
    std::string info_;
};

} // namespace fw
