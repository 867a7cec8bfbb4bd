#include "chords/qt_fast_chord_generator.h"

#include "app/qt_main_window.h"

namespace fw {

TForm2::TForm2(TForm1* main, QWidget* parent) : QDialog(parent ? parent : main), main_(main) {
    setObjectName("TForm2");
    setWindowTitle("Fast Chord Generator");
    setModal(true);
    resize(360, 240);
}

} // namespace fw
