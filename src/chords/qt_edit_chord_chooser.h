#pragma once

#include "chords/chord_sets.h"
#include "ui/qt_widgets.h"

#include <QDialog>
#include <QPushButton>

namespace fw {

class ChordBuilderPage;
class Guitar;

// What the window needs of the window that shows it.
class EditChordChooserHost {
public:
    virtual ~EditChordChooserHost() = default;
    virtual ChordBuilderPage& builder() = 0;
};

// The "Select a Mode to Edit" window: picks a stored chord and loads it back into the chord
// builder. Shown modally from the main window and kept until exit, so it remembers its choice.
class TForm6 : public QDialog {
    Q_OBJECT
public:
    TForm6(Guitar& guitar, EditChordChooserHost& host, QWidget* parent);

    void Button1Click(); // "Edit"
    void Button2Click(); // "Cancel"

    RadioGroup* RadioGroup1 = nullptr; // "Chord Set"
    RadioGroup* RadioGroup2 = nullptr; // "Chord Index"
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

private:
    Guitar& guitar_;
    EditChordChooserHost& host_;
};

} // namespace fw
