#include "input/joystick.h"

namespace fw {

std::uint32_t JoyInfo::axis(int n) const {
    switch (n) {
    case 1:
        return x;
    case 2:
        return y;
    case 3:
        return z;
    case 4:
        return r;
    case 5:
        return u;
    case 6:
        return v;
    default:
        return 0;
    }
}

std::string joystickCaptureMessage(int result) {
    switch (result) {
    case kJoyNoDriver:
        return "MMSYSERR_NODRIVER\t";
    case kJoyNoCanDo:
        return "Cannot capture joystick input because a required service (such as a Windows "
               "Timer) is unavailable.\t";
    case kJoyUnplugged:
        return "JOYERR_UNPLUGGED\t";
    default:
        return "Joystick Enabled!";
    }
}

} // namespace fw
