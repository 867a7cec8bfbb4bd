#pragma once

#include "engine/random.h"

#include <cstdint>
#include <deque>
#include <initializer_list>

namespace fw::test {

// Gives the numbers a test lists, in order; when they run out it gives 0 and notes it.
class ScriptedRandom final : public Random {
public:
    ScriptedRandom(std::initializer_list<std::uint32_t> values) : values(values) {}
    std::uint32_t next() override {
        ++draws;
        if (values.empty()) {
            exhausted = true;
            return 0;
        }
        const std::uint32_t v = values.front();
        values.pop_front();
        return v;
    }
    std::deque<std::uint32_t> values;
    int draws = 0;
    bool exhausted = false;
};

} // namespace fw::test
