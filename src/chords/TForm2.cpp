#include "chords/TForm2.h"

#include "app/TForm1.h"

namespace fw {

TForm2::TForm2(TForm1* main, QWidget* parent) : QDialog(parent ? parent : main), main_(main) {
    setObjectName("TForm2");
    setWindowTitle("Fast Chord Generator");
    setModal(true);
    resize(360, 240);
}

} // namespace fw
