#include "input/qt_joystick_calibration.h"

#include "app/qt_main_window.h"

namespace fw {

TForm7::TForm7(TForm1* main, QWidget* parent) : QDialog(parent ? parent : main), main_(main) {
    setObjectName("TForm7");
    setWindowTitle("Joystick Calibration");
    setModal(true);
    resize(360, 240);
}

} // namespace fw
