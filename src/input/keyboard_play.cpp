#include "input/keyboard_play.h"

#include "engine/engine.h"

#include <algorithm>
#include <array>

namespace fw {

namespace {

// Virtual keys by evdev key code (the XKB keycode less 8) for the keys of a US keyboard. The
// keypad is left out: what its keys mean depends on Num Lock, which Qt's key already knows.
constexpr std::array<int, 128> kEvdevToVk = [] {
    std::array<int, 128> t{};
    t[1] = vk::Escape;
    for (int d = 1; d <= 9; ++d)
        t[1 + d] = '0' + d; // KEY_1 = 2 .. KEY_9 = 10
    t[11] = '0';
    t[12] = vk::Minus;
    t[13] = vk::Equals;
    t[14] = vk::Backspace;
    t[15] = vk::Tab;
    const char top[] = "QWERTYUIOP";
    for (int i = 0; i < 10; ++i)
        t[16 + i] = top[i];
    t[26] = vk::LeftBracket;
    t[27] = vk::RightBracket;
    t[28] = vk::Return;
    t[29] = vk::Control;
    const char home[] = "ASDFGHJKL";
    for (int i = 0; i < 9; ++i)
        t[30 + i] = home[i];
    t[39] = vk::Semicolon;
    t[40] = vk::Quote;
    t[41] = vk::Grave;
    t[42] = vk::Shift;
    t[43] = vk::Backslash;
    const char bottom[] = "ZXCVBNM";
    for (int i = 0; i < 7; ++i)
        t[44 + i] = bottom[i];
    t[51] = vk::Comma;
    t[52] = vk::Period;
    t[53] = vk::Slash;
    t[54] = vk::Shift;
    t[56] = vk::Alt;
    t[57] = vk::Space;
    t[58] = vk::CapsLock;
    for (int i = 0; i < 10; ++i)
        t[59 + i] = vk::F1 + i; // F1 .. F10
    t[69] = vk::NumLock;
    t[70] = vk::ScrollLock;
    t[86] = vk::Oem102;
    t[87] = vk::F1 + 10;
    t[88] = vk::F1 + 11;
    t[97] = vk::Control;
    t[99] = vk::PrintScreen;
    t[100] = vk::Alt;
    t[102] = vk::Home;
    t[103] = vk::Up;
    t[104] = vk::PageUp;
    t[105] = vk::Left;
    t[106] = vk::Right;
    t[107] = vk::End;
    t[108] = vk::Down;
    t[109] = vk::PageDown;
    t[110] = vk::Insert;
    t[111] = vk::Delete;
    t[119] = vk::Pause;
    t[125] = vk::LeftWin;
    t[126] = vk::RightWin;
    t[127] = vk::Apps;
    return t;
}();

// Printable characters of a US keyboard, shifted or not, to the key that types them.
int virtualKeyOfCharacter(int c) {
    if (c >= 'A' && c <= 'Z')
        return c;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 'A';
    if (c >= '0' && c <= '9')
        return c;
    switch (c) {
    case ' ':
        return vk::Space;
    case '`':
    case '~':
        return vk::Grave;
    case '!':
        return '1';
    case '@':
        return '2';
    case '#':
        return '3';
    case '$':
        return '4';
    case '%':
        return '5';
    case '^':
        return '6';
    case '&':
        return '7';
    case '*':
        return '8';
    case '(':
        return '9';
    case ')':
        return '0';
    case '-':
    case '_':
        return vk::Minus;
    case '=':
    case '+':
        return vk::Equals;
    case '[':
    case '{':
        return vk::LeftBracket;
    case ']':
    case '}':
        return vk::RightBracket;
    case '\\':
    case '|':
        return vk::Backslash;
    case ';':
    case ':':
        return vk::Semicolon;
    case '\'':
    case '"':
        return vk::Quote;
    case ',':
    case '<':
        return vk::Comma;
    case '.':
    case '>':
        return vk::Period;
    case '/':
    case '?':
        return vk::Slash;
    default:
        return 0;
    }
}

int virtualKeyOfKeypad(int qtKey) {
    if (qtKey >= '0' && qtKey <= '9')
        return vk::Numpad0 + qtKey - '0';
    switch (qtKey) {
    case '*':
        return vk::Multiply;
    case '+':
        return vk::Add;
    case '-':
        return vk::Subtract;
    case '.':
    case ',':
        return vk::Decimal;
    case '/':
        return vk::Divide;
    default:
        return 0;
    }
}

int fretOfKey(int key) {
    switch (key) {
    case vk::Grave:
        return 1;
    case '0':
        return 11;
    case vk::Minus:
        return 12;
    case vk::Equals:
        return 13;
    default:
        return key >= '1' && key <= '9' ? key - '1' + 2 : 0;
    }
}

int pickOfKey(int key) {
    switch (key) {
    case vk::Up:
        return 1;
    case vk::Right:
        return 2;
    case vk::Down:
        return 3;
    case vk::Left:
        return 4;
    default:
        return 0;
    }
}

// Index 1..4 of key within four keys, 0 when it is none of them.
int indexOf(int key, int a, int b, int c, int d) {
    return key == a ? 1 : key == b ? 2 : key == c ? 3 : key == d ? 4 : 0;
}

void moveBar(int& position, int by, int min, int max) {
    position = std::clamp(position + by, min, max);
}

} // namespace

int virtualKeyOfXkbKeycode(std::uint32_t keycode) {
    if (keycode < 8 || keycode - 8 >= kEvdevToVk.size())
        return 0;
    return kEvdevToVk[keycode - 8];
}

int virtualKeyOfQtKey(int qtKey, bool keypad) {
    if (keypad) {
        if (int v = virtualKeyOfKeypad(qtKey))
            return v;
        if (qtKey == qtkey::Enter || qtKey == qtkey::Return)
            return vk::Return;
    }
    if (qtKey > 0 && qtKey < 0x80)
        return virtualKeyOfCharacter(qtKey);
    if (qtKey >= qtkey::F1 && qtKey <= qtkey::F24)
        return vk::F1 + (qtKey - qtkey::F1);
    switch (qtKey) {
    case qtkey::Escape:
        return vk::Escape;
    case qtkey::Tab:
    case qtkey::Backtab:
        return vk::Tab;
    case qtkey::Backspace:
        return vk::Backspace;
    case qtkey::Return:
    case qtkey::Enter:
        return vk::Return;
    case qtkey::Insert:
        return vk::Insert;
    case qtkey::Delete:
        return vk::Delete;
    case qtkey::Pause:
        return vk::Pause;
    case qtkey::Print:
    case qtkey::SysReq:
        return vk::PrintScreen;
    case qtkey::Clear:
        return vk::Clear;
    case qtkey::Home:
        return vk::Home;
    case qtkey::End:
        return vk::End;
    case qtkey::Left:
        return vk::Left;
    case qtkey::Up:
        return vk::Up;
    case qtkey::Right:
        return vk::Right;
    case qtkey::Down:
        return vk::Down;
    case qtkey::PageUp:
        return vk::PageUp;
    case qtkey::PageDown:
        return vk::PageDown;
    case qtkey::Shift:
        return vk::Shift;
    case qtkey::Control:
        return vk::Control;
    case qtkey::Alt:
    case qtkey::AltGr:
        return vk::Alt;
    case qtkey::Meta:
    case qtkey::SuperL:
        return vk::LeftWin;
    case qtkey::SuperR:
        return vk::RightWin;
    case qtkey::Menu:
        return vk::Apps;
    case qtkey::CapsLock:
        return vk::CapsLock;
    case qtkey::NumLock:
        return vk::NumLock;
    case qtkey::ScrollLock:
        return vk::ScrollLock;
    // Layouts with dead keys (US International) type these on the grave, quote and 6 keys.
    case qtkey::DeadGrave:
    case qtkey::DeadTilde:
        return vk::Grave;
    case qtkey::DeadAcute:
    case qtkey::DeadDiaeresis:
        return vk::Quote;
    case qtkey::DeadCircumflex:
        return '6';
    default:
        return 0;
    }
}

int usVirtualKey(const KeyPress& key) {
    if (key.xkbScanCode && key.scanCode != 0) {
        if (int v = virtualKeyOfXkbKeycode(key.scanCode))
            return v;
    }
    return virtualKeyOfQtKey(key.qtKey, key.keypad);
}

void keyboardPlayKey(Engine& engine, int key) {
    PlayState& st = engine.st;
    ControlState& ui = engine.ui;
    if (int fret = fretOfKey(key))
        engine.fretHover(fret);
    if (key == vk::Backslash)
        ui.alt = !ui.alt;
    if (int chord = indexOf(key, 'O', 'P', vk::LeftBracket, vk::RightBracket))
        st.selChord = chord;
    if (int chordSet = indexOf(key, 'T', 'Y', 'U', 'I'))
        st.selChordSet = chordSet;
    if (int pickSet = indexOf(key, 'Z', 'X', 'C', 'V'))
        st.selPickSet = pickSet;
    // The selection is written before a pick latches it, so a choice made by an earlier key is
    // always the one that plays.
    if (int pick = pickOfKey(key))
        engine.pickAction(pick);
    switch (key) {
    case 'L':
        moveBar(ui.vPosition, -4, kVMin, kVMax);
        break;
    case vk::Comma:
        moveBar(ui.vPosition, +4, kVMin, kVMax);
        break;
    case vk::Semicolon:
        moveBar(ui.tempPosition, -4, kTempMin, kTempMax);
        break;
    case vk::Period:
        moveBar(ui.tempPosition, +4, kTempMin, kTempMax);
        break;
    case vk::Quote:
        moveBar(ui.tremPosition, -4, kTremMin, kTremMax);
        break;
    case vk::Slash:
        moveBar(ui.tremPosition, +4, kTremMin, kTremMax);
        break;
    default:
        break;
    }
    // Every key runs the bars' change handling, so a "V" bar moved elsewhere reaches the
    // velocity at the next key.
    st.velocity = kVMax + kVMin - ui.vPosition;
    if (key == 'Q')
        engine.silence();
}

const std::vector<std::string>& keyboardHelpLines() {
    static const std::vector<std::string> lines = {
        "Frets:  `,1,2,3,4,5,6,7,8,9,0,-,=",
        "",
        "CHORD SET Select T,Y,U,I",
        "CHORD Select: O,P,[,] ",
        "",
        "PICK SET Select Z,X,C,V",
        "Toggle Alt Pick: \\   ",
        "Picks 1-4: Arrow Keys",
        "",
        "Pitch Up and Down: ' and /",
        "Tempo Up and Down: ; and .",
        "Velocity Up and Down: L and ,",
        "Silence -  Q",
    };
    return lines;
}

} // namespace fw
