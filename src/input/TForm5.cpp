#include "input/TForm5.h"

#include "app/TForm1.h"

namespace fw {

TForm5::TForm5(TForm1* main, QWidget* parent) : QDialog(parent ? parent : main), main_(main) {
    setObjectName("TForm5");
    setWindowTitle("Keyboard Play Mode Input");
    setModal(true);
    resize(360, 240);
}

} // namespace fw
