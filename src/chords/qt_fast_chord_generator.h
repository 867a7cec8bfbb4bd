#pragma once

#include "ui/qt_widgets.h"

#include <QDialog>
#include <QPushButton>

namespace fw {

class TForm1;

// The "Fast Chord Generator" window, shown modally from the main window and kept until exit:
// it writes the offsets of a chord type into the builder's ten boxes, never its root.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1* main, QWidget* parent = nullptr);

    // "Generate": fills the builder's offset boxes and closes.
    void Button1Click();

    RadioGroup* RadioGroup1 = nullptr; // "Major or minor"
    RadioGroup* RadioGroup2 = nullptr; // "6, 7, 8, or 9"
    RadioGroup* RadioGroup3 = nullptr; // "Aug or Dim"
    QPushButton* Button1 = nullptr;    // "Generate"

private:
    TForm1* main_;
};

} // namespace fw
