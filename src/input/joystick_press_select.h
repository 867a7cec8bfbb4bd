#pragma once

#include "input/joystick.h"

#include <array>
#include <cstdint>

namespace fw {

// Press to select on the mapping tab: watches successive readings and names the input that was
// just pressed (a button going down, the hat turning to one of its four directions) or the axis
// that was just moved far from where it rested. Inputs held or resting away from the centre
// (a trigger, a whammy bar) select nothing until they move.
class PressToSelect {
public:
    struct Selection {
        int inputItem = 0; // input list item 1..36, 0 for none
        int axis = 0;      // axis 1..6, 0 for none
    };
    Selection watch(const JoyInfo& reading);
    // Forgets what was seen; the next reading is taken as the rest state.
    void reset() { primed_ = false; }

private:
    bool primed_ = false;
    std::uint32_t buttons_ = 0;
    std::uint32_t pov_ = kHatCentred;
    std::array<std::int64_t, 6> rest_{};
    std::array<bool, 6> far_{};
};

} // namespace fw
