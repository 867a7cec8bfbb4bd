#pragma once

#include "ui/qt_widgets.h"

#include <QDialog>
#include <QPushButton>

namespace fw {

class TForm1;

// The "Select a Mode to Edit" window: picks a stored chord and loads it back into the chord
// builder. Shown modally from the main window and kept until exit, so it remembers its choice.
class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(TForm1* main, QWidget* parent = nullptr);

    void Button1Click(); // "Edit"
    void Button2Click(); // "Cancel"

    RadioGroup* RadioGroup1 = nullptr; // "Chord Set"
    RadioGroup* RadioGroup2 = nullptr; // "Chord Index"
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

private:
    TForm1* main_;
};

} // namespace fw
