#include "input/sdl_joystick.h"

#include <SDL.h>

#include <algorithm>

namespace fw {

std::uint32_t hatToHundredths(unsigned hat) {
    switch (hat) {
    case SDL_HAT_UP:
        return 0;
    case SDL_HAT_RIGHTUP:
        return 4500;
    case SDL_HAT_RIGHT:
        return 9000;
    case SDL_HAT_RIGHTDOWN:
        return 13500;
    case SDL_HAT_DOWN:
        return 18000;
    case SDL_HAT_LEFTDOWN:
        return 22500;
    case SDL_HAT_LEFT:
        return 27000;
    case SDL_HAT_LEFTUP:
        return 31500;
    default:
        return kHatCentred;
    }
}

std::uint32_t sdlAxisToUnsigned(int value) {
    return static_cast<std::uint32_t>(std::clamp(value, -32768, 32767) + 32768);
}

SdlJoystick::SdlJoystick() {
    // The program has its own signal handling and window system; SDL only reads controllers.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
}

SdlJoystick::~SdlJoystick() {
    releaseCapture();
}

int SdlJoystick::setCapture() {
    releaseCapture();
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        return kJoyNoDriver;
    initialised_ = true;
    SDL_JoystickUpdate();
    if (SDL_NumJoysticks() < 1)
        return kJoyUnplugged;
    joystick_ = SDL_JoystickOpen(0);
    return joystick_ ? kJoyNoError : kJoyNoCanDo;
}

int SdlJoystick::getPosEx(JoyInfo& info) {
    auto* js = static_cast<SDL_Joystick*>(joystick_);
    if (!js)
        return kJoyUnplugged;
    SDL_JoystickUpdate();
    if (!SDL_JoystickGetAttached(js))
        return kJoyUnplugged;
    std::uint32_t* axes[] = {&info.x, &info.y, &info.z, &info.r, &info.u, &info.v};
    const int axisCount = std::min(SDL_JoystickNumAxes(js), 6);
    for (int i = 0; i < 6; ++i)
        *axes[i] = i < axisCount ? sdlAxisToUnsigned(SDL_JoystickGetAxis(js, i)) : 32767;
    std::uint32_t buttons = 0;
    int pressed = 0;
    const int buttonCount = std::min(SDL_JoystickNumButtons(js), 32);
    for (int b = 0; b < buttonCount; ++b) {
        if (SDL_JoystickGetButton(js, b)) {
            buttons |= 1u << b;
            ++pressed;
        }
    }
    info.buttons = buttons;
    info.buttonNumber = static_cast<std::uint32_t>(pressed);
    info.pov =
        SDL_JoystickNumHats(js) > 0 ? hatToHundredths(SDL_JoystickGetHat(js, 0)) : kHatCentred;
    return kJoyNoError;
}

void SdlJoystick::releaseCapture() {
    if (joystick_) {
        SDL_JoystickClose(static_cast<SDL_Joystick*>(joystick_));
        joystick_ = nullptr;
    }
    if (initialised_) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        initialised_ = false;
    }
}

const char* SdlJoystick::deviceName() const {
    return joystick_ ? SDL_JoystickName(static_cast<SDL_Joystick*>(joystick_)) : "";
}

} // namespace fw
