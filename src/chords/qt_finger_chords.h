#pragma once

#include <QDialog>

namespace fw {

class TForm1;

// The "6 String Guitar Finger Chords" window, shown modally from the main window and kept until
// exit.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(TForm1* main, QWidget* parent = nullptr);

private:
    TForm1* main_;
};

} // namespace fw
