#include "engine/random.h"

namespace fw {

std::uint32_t freshSeed() {
    std::random_device device;
    return device();
}

} // namespace fw
