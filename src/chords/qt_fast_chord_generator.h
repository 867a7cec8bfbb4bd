#pragma once

#include <QDialog>

namespace fw {

class TForm1;

// The "Fast Chord Generator" window, shown modally from the main window and kept until exit.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1* main, QWidget* parent = nullptr);

private:
    TForm1* main_;
};

} // namespace fw
