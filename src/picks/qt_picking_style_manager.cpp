#include "picks/qt_picking_style_manager.h"

#include "app/qt_main_window.h"

namespace fw {

TForm3::TForm3(TForm1* main, QWidget* parent) : QDialog(parent ? parent : main), main_(main) {
    setObjectName("TForm3");
    setWindowTitle("Picking Style Manager");
    setModal(true);
    resize(360, 240);
}

} // namespace fw
