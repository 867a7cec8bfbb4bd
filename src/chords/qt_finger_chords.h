#pragma once

#include "ui/qt_widgets.h"

#include <QDialog>
#include <QPushButton>

#include <array>

namespace fw {

class TForm1;

// The "6 String Guitar Finger Chords" window, shown modally from the main window and kept until
// exit: one column of fret positions per guitar string, previews, and "Generate" into the first
// six offset boxes of the builder.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(TForm1* main, QWidget* parent = nullptr);

    // The fret chosen on string s (0 = low E .. 5 = high E).
    int fretOf(int string) const;
    // Sounds string s (0..5) at its chosen fret, ended about a second later; not logged.
    void previewString(int string);
    void Button29Click(); // "Silence"
    void Button6Click();  // "Generate"
    void Button7Click();  // "Cancel"

    // RadioGroup1..RadioGroup6, low E first: 24 positions each, item f = fret f.
    std::array<RadioGroup*, 6> stringGroups{};
    // Button83 under the low E, then Button1..Button5.
    std::array<QPushButton*, 6> previewButtons{};
    QPushButton* Button29 = nullptr; // "Silence"
    QPushButton* Button6 = nullptr;  // "Generate"
    QPushButton* Button7 = nullptr;  // "Cancel"

private:
    TForm1* main_;
};

} // namespace fw
