#pragma once

// A guitar controller that lives inside the process: SDL's virtual joystick with six axes (all
// centred at rest), 32 buttons and a hat, as the program's SDL capture sees a real one. It holds
// its own reference on SDL's joystick subsystem, so captures and releases elsewhere cannot take it
// away.
#include <SDL.h>

#include <algorithm>
#include <string>

namespace fw::test {

// A controller model: what SDL is told when it is plugged in. With `xbox360Layout` SDL knows it
// by the layout of its database's Xbox 360 pad as the Linux driver presents it (eleven buttons,
// the d-pad on the hat, the triggers on axes 3 and 6).
struct ControllerModel {
    const char* name = nullptr;
    Uint16 vendor = 0, product = 0;
    SDL_JoystickType type = SDL_JOYSTICK_TYPE_GUITAR;
    int axes = 6, buttons = 32, hats = 1;
    bool xbox360Layout = false;
};

inline ControllerModel xbox360Pad() {
    return {
        "Virtual Xbox 360 pad", 0x045e, 0x028e, SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 11, 1, true};
}
inline ControllerModel xbox360Guitar() {
    return {"Virtual Xbox 360 guitar", 0x1430, 0x4748, SDL_JOYSTICK_TYPE_GUITAR, 6, 11, 1, true};
}

class VirtualJoystick {
public:
    explicit VirtualJoystick(bool plugIn = true) : VirtualJoystick(ControllerModel{}, plugIn) {}
    explicit VirtualJoystick(ControllerModel model, bool plugIn = true) : model_(model) {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        ok_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) == 0;
        if (plugIn)
            attach();
    }
    ~VirtualJoystick() {
        detach();
        if (ok_)
            SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
    }
    VirtualJoystick(const VirtualJoystick&) = delete;
    VirtualJoystick& operator=(const VirtualJoystick&) = delete;

    bool attach() {
        if (!ok_ || js_)
            return js_ != nullptr;
        SDL_VirtualJoystickDesc desc;
        SDL_zero(desc);
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = static_cast<Uint16>(model_.type);
        desc.naxes = static_cast<Uint16>(model_.axes);
        desc.nbuttons = static_cast<Uint16>(model_.buttons);
        desc.nhats = static_cast<Uint16>(model_.hats);
        desc.vendor_id = model_.vendor;
        desc.product_id = model_.product;
        desc.name = model_.name;
        const int index = SDL_JoystickAttachVirtualEx(&desc);
        if (index >= 0 && model_.xbox360Layout)
            addXbox360Mapping(index);
        js_ = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
        // Triggers rest at their lowest value, sticks in the middle; a guitar's whammy bar (the
        // right stick's X) rests at its lowest too.
        if (js_ && model_.xbox360Layout) {
            setAxis(3, 0);
            setAxis(6, 0);
            if (model_.type == SDL_JOYSTICK_TYPE_GUITAR)
                setAxis(4, 0);
        }
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
    static void addXbox360Mapping(int index) {
        // SDL's own entry for the pad, under this device's GUID.
        char* known = SDL_GameControllerMappingForGUID(
            SDL_JoystickGetGUIDFromString("030000005e0400008e02000014010000"));
        if (!known)
            return;
        std::string layout = known;
        SDL_free(known);
        layout = layout.substr(layout.find(',', layout.find(',') + 1));
        char guid[33] = {};
        SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index), guid, sizeof guid);
        SDL_GameControllerAddMapping((std::string(guid) + ",Virtual" + layout).c_str());
    }

    ControllerModel model_;
    bool ok_ = false;
    SDL_Joystick* js_ = nullptr;
};

} // namespace fw::test
