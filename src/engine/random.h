#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

namespace fw {

// The program's one source of pseudo-random numbers: the beat generators, the counting toy and
// the random picking styles all draw from it, so a test can seed it and know what comes.
class Random {
public:
    virtual ~Random() = default;
    // A non-negative 31-bit value, 0..0x7FFFFFFF, every value equally likely.
    virtual std::uint32_t next() = 0;
};

// A uniform generator with a fixed seed: the same seed gives the same numbers.
class SeededRandom final : public Random {
public:
    explicit SeededRandom(std::uint32_t seed) : engine_(seed) {}
    std::uint32_t next() override { return engine_() & 0x7FFFFFFFu; }

private:
    std::mt19937 engine_;
};

// A position 0..count-1, each equally likely (count at least 1). Draws again rather than fold the
// top of the range, which would favour the low positions.
std::size_t uniformIndex(Random& random, std::size_t count);

// Seeded from the system's entropy source at start-up, so every run plays other random beats.
std::uint32_t freshSeed();

} // namespace fw
