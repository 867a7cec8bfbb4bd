#include "picks/TForm3.h"

#include "app/TForm1.h"

namespace fw {

TForm3::TForm3(TForm1* main, QWidget* parent) : QDialog(parent ? parent : main), main_(main) {
    setObjectName("TForm3");
    setWindowTitle("Picking Style Manager");
    setModal(true);
    resize(360, 240);
}

} // namespace fw
