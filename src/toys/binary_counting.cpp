#include "toys/binary_counting.h"

#include "beats/beat_generator.h"
#include "engine/play_state.h"

namespace fw {

namespace {
constexpr int kLastNumber = 255;
constexpr int kBits = 8;
} // namespace

bool BinaryCounting::start(PlayState& st, Random& random, int beatsPerCycle) {
    if (countingActive_)
        return false;
    countingActive_ = true;
    for (int r = 0; r < 2; ++r) {
        for (int b = 0; b < kBits; ++b) {
            std::string line = r == 0 ? kLowBeatMarker : kHighBeatMarker;
            generateBeat(line, beatsPerCycle, random);
            countingLines_[r][b] = std::move(line);
        }
    }
    countingNumber_ = 0;
    bit_ = 1;
    handOver(st);
    return true;
}

void BinaryCounting::stop(PlayState& st) {
    if (!countingActive_)
        return;
    countingActive_ = false;
    // The bits left in the current number still pass through the label and the line.
    while (bit_ < kBits) {
        ++bit_;
        handOver(st);
    }
    ++countingNumber_;
}

bool BinaryCounting::afterBeatStep(PlayState& st) {
    if (!countingActive_ || st.beatDigitBusy)
        return false;
    if (++bit_ > kBits) {
        bit_ = 1;
        if (++countingNumber_ > kLastNumber) {
            bit_ = kBits;
            countingActive_ = false;
            return true;
        }
    }
    handOver(st);
    return true;
}

void BinaryCounting::handOver(PlayState& st) {
    const int v = (countingNumber_ >> (bit_ - 1)) & 1;
    info_ = "Info: In number " + std::to_string(countingNumber_) + ", Bit #" +
            std::to_string(bit_) + "=" + std::to_string(v);
    st.accompBeatLine = countingLines_[v][bit_ - 1];
    st.beatDigitBusy = true;
}

} // namespace fw
