#pragma once

#include "engine/random.h"

#include <deque>
#include <initializer_list>

namespace fw::test {

// Gives the numbers it was told, in order, then zeros; counts every draw.
class ScriptedRandom final : public Random {
public:
    ScriptedRandom(std::initializer_list<std::uint32_t> values) : values_(values) {}
    std::uint32_t next() override {
        ++draws;
        if (values_.empty())
            return 0;
        const std::uint32_t v = values_.front();
        values_.pop_front();
        return v;
    }
    int draws = 0;

private:
    std::deque<std::uint32_t> values_;
};

} // namespace fw::test
