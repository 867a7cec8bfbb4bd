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
    // Where SDL's game controller mapping puts each gamepad control on the reading.
    ControllerInfo controller() const override { return controller_; }
    unsigned controllerSerial() const override { return serial_; }

private:
    bool openFirst();
    void closeDevice();
    void describe(int deviceIndex);

    void* joystick_ = nullptr;
    bool initialised_ = false;
    int failedCount_ = -1; // number of devices when an open last failed
    ControllerInfo controller_;
    unsigned serial_ = 0;
};

// An SDL controller binding (bind type, button or axis index, hat index and direction bits) as an
// input list item (1..36) or axis (1..6) of the reading; 0 when the reading cannot show it.
int bindingInputItem(int bindType, int index, int hat, int hatMask);
int bindingAxis(int bindType, int index);

// Hat bits as SDL reports them to hundredths of degrees, clockwise from forward.
std::uint32_t hatToHundredths(unsigned sdlHat);
// SDL axis value (-32768..32767) to 0..65535.
std::uint32_t sdlAxisToUnsigned(int value);

} // namespace fw
