#include "chords/qt_edit_chord_chooser.h"

#include "chords/qt_chord_builder_page.h"
#include "engine/prompts.h"
#include "play/guitar.h"

#include <QGridLayout>

namespace fw {

TForm6::TForm6(Guitar& guitar, EditChordChooserHost& host, QWidget* parent)
    : QDialog(parent), guitar_(guitar), host_(host) {
    setObjectName("TForm6");
    setWindowTitle("Select a Mode to Edit");
    setModal(true);

    auto* grid = new QGridLayout(this);
    RadioGroup1 =
        new RadioGroup("RadioGroup1", "Chord Set", {"Set 1", "Set 2 ", "Set 3 ", "Set 4"}, 1, this);
    RadioGroup1->setItemIndex(0);
    RadioGroup2 = new RadioGroup("RadioGroup2", "Chord Index",
                                 {"Chord 1", "Chord 2", "Chord 3", "Chord 4"}, 1, this);
    RadioGroup2->setItemIndex(0);
    grid->addWidget(RadioGroup1, 0, 0);
    grid->addWidget(RadioGroup2, 0, 1);
    Button1 = new QPushButton("Edit", this);
    Button1->setObjectName("Button1");
    Button1->setAutoDefault(false);
    Button2 = new QPushButton("Cancel", this);
    Button2->setObjectName("Button2");
    Button2->setAutoDefault(false);
    grid->addWidget(Button1, 1, 0);
    grid->addWidget(Button2, 1, 1);
    connect(Button1, &QPushButton::clicked, this, &TForm6::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm6::Button2Click);
}

void TForm6::Button1Click() {
    const int set = RadioGroup1->itemIndex() + 1;
    const int chord = RadioGroup2->itemIndex() + 1;
    if (set >= 1 && set <= 4 && chord >= 1 && chord <= 4) {
        ChordBuilderPage& builder = host_.builder();
        const BuilderChord shown = builderChordFor(
            guitar_.engine()
                .st.chordMemory[static_cast<std::size_t>(set)][static_cast<std::size_t>(chord)]);
        builder.showChord(shown);
        // A lowest note outside the root list (a loaded file can hold any number) leaves no
        // root selected; the builder keeps it, so a slot button stores the chord unchanged.
        if (shown.root < -1 || shown.root >= builder.ListBox2->count())
            guitar_.prompts().showMessage(
                "The lowest note of this chord, " + std::to_string(shown.root) +
                ", is not in the \"Chord Root\" list. The slot buttons store the chord as it is "
                "until you choose a root.");
    }
    accept();
}

void TForm6::Button2Click() {
    reject();
}

} // namespace fw
