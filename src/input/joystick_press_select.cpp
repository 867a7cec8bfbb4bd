#include "input/joystick_press_select.h"

#include "input/joystick_mapping.h"

#include <cstdlib>

namespace fw {

namespace {
// A quarter of the axis away selects it; it must come back within an eighth to select again.
constexpr std::int64_t kFar = 16384, kNear = 8192;

int hatItem(std::uint32_t pov) {
    for (int item = 33; item <= 36; ++item) {
        if (pov == static_cast<std::uint32_t>(inputCode(item)))
            return item;
    }
    return 0;
}
} // namespace

PressToSelect::Selection PressToSelect::watch(const JoyInfo& reading) {
    Selection s;
    if (!primed_) {
        primed_ = true;
        buttons_ = reading.buttons;
        pov_ = reading.pov;
        for (int a = 1; a <= 6; ++a) {
            rest_[static_cast<std::size_t>(a - 1)] = reading.axis(a);
            far_[static_cast<std::size_t>(a - 1)] = false;
        }
        return s;
    }
    const std::uint32_t pressed = reading.buttons & ~buttons_;
    for (int n = 32; n >= 1; --n) {
        if (pressed & (1u << (n - 1)))
            s.inputItem = n; // the lowest newly pressed button
    }
    if (!s.inputItem && reading.pov != pov_)
        s.inputItem = hatItem(reading.pov);
    buttons_ = reading.buttons;
    pov_ = reading.pov;
    for (int a = 1; a <= 6; ++a) {
        const auto i = static_cast<std::size_t>(a - 1);
        const std::int64_t distance =
            std::llabs(static_cast<std::int64_t>(reading.axis(a)) - rest_[i]);
        if (!far_[i] && distance > kFar) {
            far_[i] = true;
            if (!s.axis)
                s.axis = a;
        } else if (far_[i] && distance < kNear) {
            far_[i] = false;
        }
    }
    return s;
}

} // namespace fw
