#pragma once

#include "input/joystick.h"

namespace fw {

// The first game controller SDL finds, read by polling. A controller plugged in later is taken
// up at the next read, and one pulled out reads as at rest until one comes back, so neither
// needs a new capture.
class SdlJoystick final : public Joystick {
public:
    SdlJoystick();
    ~SdlJoystick() override;
    SdlJoystick(const SdlJoystick&) = delete;
    SdlJoystick& operator=(const SdlJoystick&) = delete;

    int setCapture() override;
    int getPosEx(JoyInfo& info) override;
    void releaseCapture() override;

    // SDL's name of the controller in use, empty when none.
    const char* deviceName() const;

private:
    bool openFirst();
    void closeDevice();

    void* joystick_ = nullptr;
    bool initialised_ = false;
    int failedCount_ = -1; // number of devices when an open last failed
};

// Hat bits as SDL reports them to hundredths of degrees, clockwise from forward.
std::uint32_t hatToHundredths(unsigned sdlHat);
// SDL axis value (-32768..32767) to 0..65535.
std::uint32_t sdlAxisToUnsigned(int value);

} // namespace fw
