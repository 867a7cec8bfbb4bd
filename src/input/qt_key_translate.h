#pragma once

#include "input/keyboard_play.h"

class QKeyEvent;

namespace fw {

// The facts of a Qt key event that the keyboard play table needs.
KeyPress keyPressOf(const QKeyEvent& event);

// The US-layout virtual-key code of a Qt key event (see usVirtualKey).
int usVirtualKey(const QKeyEvent& event);

} // namespace fw
