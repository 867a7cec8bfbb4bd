#include "platform/sdl/sdl_joystick.h"

#include <SDL.h>

#include <algorithm>
#include <utility>

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

int bindingInputItem(int bindType, int index, int hat, int hatMask) {
    if (bindType == SDL_CONTROLLER_BINDTYPE_BUTTON)
        return index >= 0 && index < 32 ? index + 1 : 0;
    if (bindType != SDL_CONTROLLER_BINDTYPE_HAT || hat != 0)
        return 0;
    switch (hatMask) {
    case SDL_HAT_UP:
        return 33;
    case SDL_HAT_RIGHT:
        return 34;
    case SDL_HAT_LEFT:
        return 35;
    case SDL_HAT_DOWN:
        return 36;
    default:
        return 0;
    }
}

int bindingAxis(int bindType, int index) {
    return bindType == SDL_CONTROLLER_BINDTYPE_AXIS && index >= 0 && index < 6 ? index + 1 : 0;
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
    // The subsystem stays up from the first capture until the release: quitting it in between
    // would close or detach devices that other parts of the process hold.
    if (!initialised_) {
        // The game controller part only tells where a known controller's controls are.
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0)
            return kJoyNoDriver;
        initialised_ = true;
        // Everything is read by polling; unread events would only pile up.
        SDL_JoystickEventState(SDL_IGNORE);
        SDL_GameControllerEventState(SDL_IGNORE);
    }
    closeDevice();
    failedCount_ = -1;
    SDL_JoystickUpdate();
    if (SDL_NumJoysticks() < 1)
        return kJoyUnplugged;
    return openFirst() ? kJoyNoError : kJoyNoCanDo;
}

bool SdlJoystick::openFirst() {
    // A device that would not open (no permission, say) is tried again only once the set of
    // devices changes, not on every read.
    const int count = SDL_NumJoysticks();
    if (count < 1)
        failedCount_ = -1;
    if (count < 1 || count == failedCount_)
        return false;
    joystick_ = SDL_JoystickOpen(0);
    failedCount_ = joystick_ ? -1 : count;
    if (joystick_)
        describe(0);
    return joystick_ != nullptr;
}

void SdlJoystick::describe(int deviceIndex) {
    ControllerInfo info;
    char guid[33] = {};
    SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(deviceIndex), guid, sizeof guid);
    info.guid = guid;
    if (const char* name = SDL_JoystickNameForIndex(deviceIndex))
        info.name = name;
    info.guitar = SDL_JoystickGetDeviceType(deviceIndex) == SDL_JOYSTICK_TYPE_GUITAR;
    if (SDL_IsGameController(deviceIndex)) {
        if (SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex)) {
            info.gamepad = true;
            for (int b = 0; b < kPadButtons; ++b) {
                const SDL_GameControllerButtonBind bind = SDL_GameControllerGetBindForButton(
                    pad, static_cast<SDL_GameControllerButton>(b));
                info.buttons[static_cast<std::size_t>(b)] = bindingInputItem(
                    bind.bindType,
                    bind.bindType == SDL_CONTROLLER_BINDTYPE_AXIS ? bind.value.axis
                                                                  : bind.value.button,
                    bind.value.hat.hat, bind.value.hat.hat_mask);
            }
            for (int a = 0; a < kPadAxes; ++a) {
                const SDL_GameControllerButtonBind bind =
                    SDL_GameControllerGetBindForAxis(pad, static_cast<SDL_GameControllerAxis>(a));
                info.axes[static_cast<std::size_t>(a)] =
                    bindingAxis(bind.bindType, bind.value.axis);
            }
            SDL_GameControllerClose(pad);
        }
    }
    controller_ = std::move(info);
    ++serial_;
}

void SdlJoystick::closeDevice() {
    // Opens are counted per device, so this lets go of our hold only.
    if (joystick_) {
        SDL_JoystickClose(static_cast<SDL_Joystick*>(joystick_));
        joystick_ = nullptr;
        controller_ = {};
        ++serial_;
    }
}

int SdlJoystick::getPosEx(JoyInfo& info) {
    const JoyInfo rest;
    if (!initialised_) {
        info = rest;
        return kJoyNoDriver;
    }
    // Reads the devices and notices controllers that came or went.
    SDL_JoystickUpdate();
    if (joystick_ && !SDL_JoystickGetAttached(static_cast<SDL_Joystick*>(joystick_)))
        closeDevice();
    if (!joystick_ && !openFirst()) {
        info = rest;
        return kJoyUnplugged;
    }
    auto* js = static_cast<SDL_Joystick*>(joystick_);
    std::uint32_t* axes[] = {&info.x, &info.y, &info.z, &info.r, &info.u, &info.v};
    const int axisCount = std::min(SDL_JoystickNumAxes(js), 6);
    for (int i = 0; i < 6; ++i)
        *axes[i] = i < axisCount ? sdlAxisToUnsigned(SDL_JoystickGetAxis(js, i)) : kAxisCentre;
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
    closeDevice();
    if (initialised_) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
        initialised_ = false;
    }
}

const char* SdlJoystick::deviceName() const {
    return joystick_ ? SDL_JoystickName(static_cast<SDL_Joystick*>(joystick_)) : "";
}

} // namespace fw
