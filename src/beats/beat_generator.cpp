#include "beats/beat_generator.h"

#include "engine/random.h"
#include "engine/z2uvir.h"

namespace fw {

void generateBeat(std::string& accompBeatLine, int steps, Random& random) {
    enum class Range { Full, High, Low };
    const Range range = accompBeatLine == kHighBeatMarker  ? Range::High
                        : accompBeatLine == kLowBeatMarker ? Range::Low
                                                           : Range::Full;
    std::string line;
    line.reserve(steps > 0 ? static_cast<std::size_t>(steps) * 14 : 0);
    for (int step = 0; step < steps; ++step) {
        for (int unit = 0; unit < 7; ++unit) {
            auto note = static_cast<int>(random.next() % 127);
            if (range == Range::High)
                note = static_cast<int>(random.next() % 36) + 92;
            else if (range == Range::Low)
                note = static_cast<int>(random.next() % 36) + 56;
            line += random.next() % 4 == 1 ? byteToHex(note) : "--";
        }
    }
    accompBeatLine = std::move(line);
}

} // namespace fw
