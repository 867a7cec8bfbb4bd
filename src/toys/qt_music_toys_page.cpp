#include "toys/qt_music_toys_page.h"

#include "engine/engine.h"
#include "ui/qt_widgets.h"

#include <QGridLayout>
#include <QVBoxLayout>

namespace fw {

namespace {
QStringList numbers(int from, int to, int step) {
    QStringList items;
    for (int n = from; n <= to; n += step)
        items << QString::number(n);
    return items;
}
} // namespace

MusicToysPage::MusicToysPage(Engine& engine, Random& random, QWidget* parent)
    : QWidget(parent), engine_(engine), random_(random) {
    setObjectName("MusicToysPage");
    auto* layout = new QVBoxLayout(this);
    BinaryCountingGroup = new QGroupBox("Binary Counting 0-->255", this);
    BinaryCountingGroup->setObjectName("BinaryCountingGroup");
    auto* grid = new QGridLayout(BinaryCountingGroup);
    Button96 = makeButton("Button96", "Detailed Binary Counting", BinaryCountingGroup);
    Button96->setToolTip("Counts 0 to 255 through the accompaniment, one beat line per bit: "
                         "check \"Accomp. Beat\" to hear it");
    Button97 = makeButton("Button97", "Stop", BinaryCountingGroup);
    RadioGroup4 =
        new RadioGroup("RadioGroup4", "Beats/Cycle", numbers(4, 32, 4), 8, BinaryCountingGroup);
    RadioGroup4->setItemIndex(2);
    RadioGroup2 =
        new RadioGroup("RadioGroup2", "Cycles/Digit", numbers(1, 8, 1), 8, BinaryCountingGroup);
    RadioGroup2->setItemIndex(3);
    Label83 = new QLabel("Label83", BinaryCountingGroup);
    Label83->setObjectName("Label83");
    grid->addWidget(Button96, 0, 0);
    grid->addWidget(Button97, 0, 1);
    grid->addWidget(RadioGroup4, 1, 0, 1, 3);
    grid->addWidget(RadioGroup2, 2, 0, 1, 3);
    grid->addWidget(Label83, 3, 0, 1, 3);
    grid->setColumnStretch(2, 1);
    layout->addWidget(BinaryCountingGroup);
    layout->addStretch(1);

    connect(Button96, &QPushButton::clicked, this, &MusicToysPage::Button96Click);
    connect(Button97, &QPushButton::clicked, this, &MusicToysPage::Button97Click);
    // The count moves on from the accompaniment's beat: no waiting in a handler.
    engine_.afterBeatStep = [this] {
        if (counting_.afterBeatStep(engine_.st))
            showCounting();
    };
}

void MusicToysPage::Button96Click() {
    const int item = RadioGroup4->itemIndex();
    if (counting_.start(engine_.st, random_, 4 * ((item < 0 ? 2 : item) + 1)))
        showCounting();
}

void MusicToysPage::Button97Click() {
    counting_.stop(engine_.st);
    showCounting();
}

void MusicToysPage::showCounting() {
    if (!counting_.info().empty())
        Label83->setText(QString::fromStdString(counting_.info()));
    Button96->setEnabled(!counting_.active());
}

} // namespace fw
