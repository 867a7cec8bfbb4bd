#include "input/qt_key_translate.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace fw {

static_assert(qtkey::Escape == Qt::Key_Escape && qtkey::Tab == Qt::Key_Tab &&
              qtkey::Backtab == Qt::Key_Backtab && qtkey::Backspace == Qt::Key_Backspace &&
              qtkey::Return == Qt::Key_Return && qtkey::Enter == Qt::Key_Enter &&
              qtkey::Insert == Qt::Key_Insert && qtkey::Delete == Qt::Key_Delete &&
              qtkey::Pause == Qt::Key_Pause && qtkey::Print == Qt::Key_Print &&
              qtkey::SysReq == Qt::Key_SysReq && qtkey::Clear == Qt::Key_Clear);
static_assert(qtkey::Home == Qt::Key_Home && qtkey::End == Qt::Key_End &&
              qtkey::Left == Qt::Key_Left && qtkey::Up == Qt::Key_Up &&
              qtkey::Right == Qt::Key_Right && qtkey::Down == Qt::Key_Down &&
              qtkey::PageUp == Qt::Key_PageUp && qtkey::PageDown == Qt::Key_PageDown);
static_assert(qtkey::Shift == Qt::Key_Shift && qtkey::Control == Qt::Key_Control &&
              qtkey::Meta == Qt::Key_Meta && qtkey::Alt == Qt::Key_Alt &&
              qtkey::CapsLock == Qt::Key_CapsLock && qtkey::NumLock == Qt::Key_NumLock &&
              qtkey::ScrollLock == Qt::Key_ScrollLock && qtkey::F1 == Qt::Key_F1 &&
              qtkey::F24 == Qt::Key_F24 && qtkey::SuperL == Qt::Key_Super_L &&
              qtkey::SuperR == Qt::Key_Super_R && qtkey::Menu == Qt::Key_Menu &&
              qtkey::AltGr == Qt::Key_AltGr);
static_assert(qtkey::DeadGrave == Qt::Key_Dead_Grave && qtkey::DeadAcute == Qt::Key_Dead_Acute &&
              qtkey::DeadCircumflex == Qt::Key_Dead_Circumflex &&
              qtkey::DeadTilde == Qt::Key_Dead_Tilde &&
              qtkey::DeadDiaeresis == Qt::Key_Dead_Diaeresis);
static_assert(Qt::Key_A == 'A' && Qt::Key_Exclam == '!' && Qt::Key_AsciiTilde == '~' &&
              Qt::Key_QuoteLeft == '`');

KeyPress keyPressOf(const QKeyEvent& event) {
    // X11 and Wayland report the physical key as an XKB keycode.
    const QString platform = QGuiApplication::platformName();
    const bool xkb =
        platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
    KeyPress key;
    key.qtKey = event.key();
    key.keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    key.scanCode = event.nativeScanCode();
    key.xkbScanCode = xkb;
    return key;
}

int usVirtualKey(const QKeyEvent& event) {
    return usVirtualKey(keyPressOf(event));
}

} // namespace fw
