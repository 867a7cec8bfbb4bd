#include "chords/TForm6.h"

#include "app/TForm1.h"

namespace fw {

TForm6::TForm6(TForm1* main, QWidget* parent) : QDialog(parent ? parent : main), main_(main) {
    setObjectName("TForm6");
    setWindowTitle("Select a Mode to Edit");
    setModal(true);
    resize(360, 240);
}

} // namespace fw
