#include "chords/qt_finger_chords.h"

#include "app/qt_main_window.h"

namespace fw {

TForm4::TForm4(TForm1* main, QWidget* parent) : QDialog(parent ? parent : main), main_(main) {
    setObjectName("TForm4");
    setWindowTitle("6 String Guitar Finger Chords");
    setModal(true);
    resize(360, 240);
}

} // namespace fw
