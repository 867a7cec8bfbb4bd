#include "engine/random.h"

namespace fw {

std::size_t uniformIndex(Random& random, std::size_t count) {
    constexpr std::uint64_t kRange = 0x80000000u; // next() gives 0..kRange-1
    if (count <= 1)
        return 0;
    if (count >= kRange)
        return random.next() % count;
    const std::uint64_t limit = kRange - kRange % count;
    std::uint64_t value = random.next();
    while (value >= limit)
        value = random.next();
    return static_cast<std::size_t>(value % count);
}

std::uint32_t freshSeed() {
    std::random_device device;
    return device();
}

} // namespace fw
