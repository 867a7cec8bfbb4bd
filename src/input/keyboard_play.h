#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fw {

class Engine;

// Virtual-key codes of a US keyboard layout, the codes the keyboard play table is written in.
namespace vk {
inline constexpr int Backspace = 8, Tab = 9, Clear = 12, Return = 13, Shift = 16, Control = 17,
                     Alt = 18, Pause = 19, CapsLock = 20, Escape = 27, Space = 32, PageUp = 33,
                     PageDown = 34, End = 35, Home = 36, Left = 37, Up = 38, Right = 39, Down = 40,
                     PrintScreen = 44, Insert = 45, Delete = 46, LeftWin = 91, RightWin = 92,
                     Apps = 93, Numpad0 = 96, Multiply = 106, Add = 107, Separator = 108,
                     Subtract = 109, Decimal = 110, Divide = 111, F1 = 112, NumLock = 144,
                     ScrollLock = 145, Semicolon = 186, Equals = 187, Comma = 188, Minus = 189,
                     Period = 190, Slash = 191, Grave = 192, LeftBracket = 219, Backslash = 220,
                     RightBracket = 221, Quote = 222, Oem102 = 226;
} // namespace vk

// Qt's key numbers, as QKeyEvent::key() reports them (the window code checks them against Qt's
// own enumeration at compile time). Printable keys report their character: 'A' for a and A.
namespace qtkey {
inline constexpr int Escape = 0x01000000, Tab = 0x01000001, Backtab = 0x01000002,
                     Backspace = 0x01000003, Return = 0x01000004, Enter = 0x01000005,
                     Insert = 0x01000006, Delete = 0x01000007, Pause = 0x01000008,
                     Print = 0x01000009, SysReq = 0x0100000a, Clear = 0x0100000b, Home = 0x01000010,
                     End = 0x01000011, Left = 0x01000012, Up = 0x01000013, Right = 0x01000014,
                     Down = 0x01000015, PageUp = 0x01000016, PageDown = 0x01000017,
                     Shift = 0x01000020, Control = 0x01000021, Meta = 0x01000022, Alt = 0x01000023,
                     CapsLock = 0x01000024, NumLock = 0x01000025, ScrollLock = 0x01000026,
                     F1 = 0x01000030, F24 = 0x01000047, SuperL = 0x01000053, SuperR = 0x01000054,
                     Menu = 0x01000055, AltGr = 0x01001103, DeadGrave = 0x01001250,
                     DeadAcute = 0x01001251, DeadCircumflex = 0x01001252, DeadTilde = 0x01001253,
                     DeadDiaeresis = 0x01001257;
} // namespace qtkey

// What the window system says about one key press.
struct KeyPress {
    int qtKey = 0;              // QKeyEvent::key()
    bool keypad = false;        // the key is on the numeric keypad
    std::uint32_t scanCode = 0; // QKeyEvent::nativeScanCode(), 0 when unknown
    bool xkbScanCode = false;   // scanCode is an XKB keycode (X11 and Wayland: evdev code + 8)
};

// The US-layout virtual-key code of a key press, 0 when the key has none.
//
// Where the window system gives the physical key (XKB keycodes), the key's position on a US
// keyboard decides, whatever the modifiers and the active layout: the table is an instrument
// laid out on the keyboard, so the number row is always the frets. Otherwise the key Qt
// reports decides, with shifted symbols taken back to their key: "!" is the key 1.
int usVirtualKey(const KeyPress& key);
int virtualKeyOfXkbKeycode(std::uint32_t keycode);
int virtualKeyOfQtKey(int qtKey, bool keypad);

// One key-down of either keyboard play mode, in the table's fixed order: fret, "ALT", chord,
// chord set, pick set, pick, the bars +-4, the velocity from the "V" bar (every key), and
// "Silence". Modifiers never matter. The windows mirror the result.
void keyboardPlayKey(Engine& engine, int virtualKey);

// The help text of the keyboard window, line by line.
const std::vector<std::string>& keyboardHelpLines();

// Ranges of the main window's bars, which the bar keys clamp to.
inline constexpr int kTremMin = 1, kTremMax = 255;
inline constexpr int kTempMin = 1, kTempMax = 1000;
inline constexpr int kVMin = 0, kVMax = 127;

} // namespace fw
