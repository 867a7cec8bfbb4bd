#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace fw {

inline constexpr std::uint32_t kHatCentred = 65535;
inline constexpr std::uint32_t kAxisCentre = 32768;

// One reading of the controller: six axes 0..65535, a button mask (bit n-1 for button n), and
// the hat in hundredths of degrees (65535 when centred). A new reading is a controller at rest:
// nothing pressed, axes and hat centred (a zero hat would be "forward").
struct JoyInfo {
    std::uint32_t size = 52;
    std::uint32_t flags = 255;
    std::uint32_t x = kAxisCentre, y = kAxisCentre, z = kAxisCentre, r = kAxisCentre,
                  u = kAxisCentre, v = kAxisCentre;
    std::uint32_t buttons = 0;
    std::uint32_t buttonNumber = 0;
    std::uint32_t pov = kHatCentred;
    std::uint32_t reserved1 = 0, reserved2 = 0;

    // Axis 1..6 (X, Y, Z, R, U, V).
    std::uint32_t axis(int n) const;
};

inline constexpr int kJoyNoError = 0;
inline constexpr int kJoyNoDriver = 6;
inline constexpr int kJoyNoCanDo = 166;
inline constexpr int kJoyUnplugged = 167;

// The controls of a standard gamepad, in the order of SDL's game controller database.
enum PadButton {
    kPadA,
    kPadB,
    kPadX,
    kPadY,
    kPadBack,
    kPadGuide,
    kPadStart,
    kPadLeftStick,
    kPadRightStick,
    kPadLeftShoulder,
    kPadRightShoulder,
    kPadUp,
    kPadDown,
    kPadLeft,
    kPadRight,
    kPadButtons
};
enum PadAxis {
    kPadLeftX,
    kPadLeftY,
    kPadRightX,
    kPadRightY,
    kPadLeftTrigger,
    kPadRightTrigger,
    kPadAxes
};

// The controller in use: who it is, and where the reading finds each control of a standard
// gamepad when the platform knows its layout.
struct ControllerInfo {
    std::string guid; // stable for one model of controller; empty when none is plugged in
    std::string name;
    bool gamepad = false; // the layout below is known
    bool guitar = false;  // the platform reports a guitar-shaped controller
    // Input list item (1..32 buttons, 33..36 hat directions) of each control; 0 where the
    // reading has no such input (a d-pad read as an axis, a second hat, button 33 and up).
    std::array<int, kPadButtons> buttons{};
    // Axis 1..6 of each stick axis and trigger; 0 where the reading has none.
    std::array<int, kPadAxes> axes{};
};

// Game controller number 1.
class Joystick {
public:
    virtual ~Joystick() = default;
    // Takes hold of the controller; 0 on success, otherwise one of the error codes above.
    virtual int setCapture() = 0;
    // Reads the controller into info; with no controller (none captured, or pulled out) info
    // reads as a controller at rest.
    virtual int getPosEx(JoyInfo& info) = 0;
    virtual void releaseCapture() = 0;
    // The controller the readings come from.
    virtual ControllerInfo controller() const { return {}; }
    // Changes whenever another controller, or none, comes into use (read by every poll, so it
    // must cost nothing).
    virtual unsigned controllerSerial() const { return 0; }
};

// The message that reports a capture result to the user.
std::string joystickCaptureMessage(int result);

} // namespace fw
