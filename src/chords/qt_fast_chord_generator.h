#pragma once

#include "ui/qt_widgets.h"

#include <QDialog>
#include <QPushButton>

namespace fw {

// What the window needs of the window that shows it: the builder's offset boxes.
class FastChordGeneratorHost {
public:
    virtual ~FastChordGeneratorHost() = default;
    // Box 1..10 of "1/2N Offset" shows offset, as if typed.
    virtual void setBuilderOffset(int box, int offset) = 0;
};

// The "Fast Chord Generator" window, shown modally from the main window and kept until exit:
// it writes the offsets of a chord type into the builder's ten boxes, never its root.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(FastChordGeneratorHost& host, QWidget* parent);

    // "Generate": fills the builder's offset boxes and closes.
    void Button1Click();

    RadioGroup* RadioGroup1 = nullptr; // "Major or minor"
    RadioGroup* RadioGroup2 = nullptr; // "6, 7, 8, or 9"
    RadioGroup* RadioGroup3 = nullptr; // "Aug or Dim"
    QPushButton* Button1 = nullptr;    // "Generate"

private:
    FastChordGeneratorHost& host_;
};

} // namespace fw
