#include "chords/TForm4.h"

#include "app/TForm1.h"

namespace fw {

TForm4::TForm4(TForm1* main, QWidget* parent) : QDialog(parent ? parent : main), main_(main) {
    setObjectName("TForm4");
    setWindowTitle("6 String Guitar Finger Chords");
    setModal(true);
    resize(360, 240);
}

} // namespace fw
