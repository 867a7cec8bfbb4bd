#include "chords/qt_fast_chord_generator.h"

#include "chords/chord_generators.h"

#include <QGridLayout>

namespace fw {

TForm2::TForm2(FastChordGeneratorHost& host, QWidget* parent) : QDialog(parent), host_(host) {
    setObjectName("TForm2");
    setWindowTitle("Fast Chord Generator");
    setModal(true);

    auto* grid = new QGridLayout(this);
    RadioGroup1 = new RadioGroup("RadioGroup1", "Major or minor", {"Major", "minor"}, 1, this);
    RadioGroup1->setItemIndex(0);
    RadioGroup2 = new RadioGroup("RadioGroup2", "6, 7, 8, or 9",
                                 {"6th", "7th", "normal", "9th", "Domin. 7th", "6th 9th"}, 1, this);
    RadioGroup2->setItemIndex(2);
    RadioGroup3 =
        new RadioGroup("RadioGroup3", "Aug or Dim", {"Augmented", "normal", "Diminished"}, 1, this);
    RadioGroup3->setItemIndex(1);
    grid->addWidget(RadioGroup1, 0, 0, Qt::AlignTop);
    grid->addWidget(RadioGroup2, 0, 1, 2, 1, Qt::AlignTop);
    grid->addWidget(RadioGroup3, 1, 0, Qt::AlignTop);
    Button1 = makeButton("Button1", "Generate", this);
    Button1->setToolTip("Write the chord type's offsets into the builder; its root stays");
    grid->addWidget(Button1, 2, 0, 1, 2);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
}

void TForm2::Button1Click() {
    const auto offsets = fastChordOffsets(static_cast<ChordThird>(RadioGroup1->itemIndex()),
                                          static_cast<ChordTop>(RadioGroup2->itemIndex()),
                                          static_cast<ChordFifth>(RadioGroup3->itemIndex()));
    for (int k = 1; k <= 10; ++k)
        host_.setBuilderOffset(k, offsets[static_cast<std::size_t>(k - 1)]);
    accept();
}

} // namespace fw
