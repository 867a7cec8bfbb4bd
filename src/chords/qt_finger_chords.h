#pragma once

#include "ui/qt_widgets.h"

#include <QDialog>
#include <QPushButton>

#include <array>

namespace fw {

// What the window needs of the window that shows it.
class FingerChordsHost {
public:
    virtual ~FingerChordsHost() = default;
    // Box 1..10 of "1/2N Offset" shows offset, as if typed.
    virtual void setBuilderOffset(int box, int offset) = 0;
    // Sounds a note on the guitar's channel for about a second, through the builder's preview
    // player, so that a note struck here and there ends once; not logged.
    virtual void previewGuitarNote(int note, int velocity) = 0;
    // The main window's "Silence".
    virtual void silence() = 0;
};

// The "6 String Guitar Finger Chords" window, shown modally from the main window and kept until
// exit: one column of fret positions per guitar string, previews, and "Generate" into the first
// six offset boxes of the builder.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    TForm4(FingerChordsHost& host, QWidget* parent);

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
    FingerChordsHost& host_;
};

} // namespace fw
