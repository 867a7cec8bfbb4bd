#pragma once

// A guitar controller that lives inside the process: SDL's virtual joystick with six axes (all
// centred at rest), 32 buttons and a hat, as the program's SDL capture sees a real one. It holds
// its own reference on SDL's joystick subsystem, so captures and releases elsewhere cannot take it
// away.
#include <SDL.h>

#include <algorithm>

namespace fw::test {

class VirtualJoystick {
public:
    explicit VirtualJoystick(bool plugIn = true) {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        ok_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
        if (plugIn)
            attach();
    }
    ~VirtualJoystick() {
        detach();
        if (ok_)
            SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
    VirtualJoystick(const VirtualJoystick&) = delete;
    VirtualJoystick& operator=(const VirtualJoystick&) = delete;

    bool attach() {
        if (!ok_ || js_)
            return js_ != nullptr;
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GUITAR, 6, 32, 1);
        js_ = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
        return js_ != nullptr;
    }
    void detach() {
        if (!js_)
            return;
        const SDL_JoystickID id = SDL_JoystickInstanceID(js_);
        SDL_JoystickClose(js_);
        js_ = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) {
                SDL_JoystickDetachVirtual(i);
                break;
            }
        }
    }
    bool attached() const { return js_ != nullptr; }

    // Axis 1..6 (X, Y, Z, R, U, V) to a reading of 0..65535.
    void setAxis(int axis, int reading) {
        if (js_)
            SDL_JoystickSetVirtualAxis(js_, axis - 1,
                                       static_cast<Sint16>(std::clamp(reading, 0, 65535) - 32768));
    }
    // An axis to the middle of the 1/256 step d (0..255) that a strum reads.
    void setStep(int axis, int d) { setAxis(axis, d * 256 + 128); }
    void setButton(int n, bool down) {
        if (js_)
            SDL_JoystickSetVirtualButton(js_, n - 1, down ? 1 : 0);
    }
    void setHat(Uint8 hat) {
        if (js_)
            SDL_JoystickSetVirtualHat(js_, 0, hat);
    }

private:
    bool ok_ = false;
    SDL_Joystick* js_ = nullptr;
};

} // namespace fw::test
