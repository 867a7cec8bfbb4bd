#pragma once

#include <QDialog>

namespace fw {

class TForm1;

// The "Joystick Calibration" window, shown modally from the main window and kept until exit.
class TForm7 : public QDialog {
    Q_OBJECT
public:
    explicit TForm7(TForm1* main, QWidget* parent = nullptr);

private:
    TForm1* main_;
};

} // namespace fw
