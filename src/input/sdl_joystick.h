#pragma once

#include "input/joystick.h"

namespace fw {

// The first game controller SDL finds, read by polling.
class SdlJoystick final : public Joystick {
public:
    SdlJoystick();
    ~SdlJoystick() override;
    SdlJoystick(const SdlJoystick&) = delete;
    SdlJoystick& operator=(const SdlJoystick&) = delete;

    int setCapture() override;
    int getPosEx(JoyInfo& info) override;
    void releaseCapture() override;

    // SDL's name of the captured controller, empty when none.
    const char* deviceName() const;

private:
    void* joystick_ = nullptr;
    bool initialised_ = false;
};

// Hat bits as SDL reports them to hundredths of degrees, clockwise from forward.
std::uint32_t hatToHundredths(unsigned sdlHat);
// SDL axis value (-32768..32767) to 0..65535.
std::uint32_t sdlAxisToUnsigned(int value);

} // namespace fw
