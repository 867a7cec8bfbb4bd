// The "Guitar Status" area of the main window: the fretboard, the pick controls, the displays
// and the "Z2UVIR Mode" page with the expression bars.
#include "app/qt_fretboard.h"
#include "app/qt_main_window.h"

#include "ui/qt_widgets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace fw {

namespace {
QLineEdit* display(const QString& name, const QString& text, QWidget* parent) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(name);
    e->setReadOnly(true);
    return e;
}

QStringList numbers(int from, int to) {
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << QString::number(i);
    return out;
}
} // namespace

QWidget* TForm1::buildGuitarStatus() {
    auto* group = new GroupBox("Guitar Status", this);
    group->setObjectName("GuitarStatus");
    auto* outer = new QHBoxLayout(group);
    outer->setContentsMargins(6, 2, 6, 4);
    outer->setSpacing(6);

    auto* left = new QVBoxLayout;
    left->setSpacing(2);
    outer->addLayout(left, 1);

    auto* fretRow = new QHBoxLayout;
    Fretboard = new FretboardPicture(group);
    for (int n = 1; n <= 13; ++n)
        fretButtons[n] = Fretboard->buttons()[n];
    fretRow->addWidget(Fretboard, 1);
    CheckBox1 = makeCheckBox("CheckBox1", "ALT", false, group);
    fretRow->addWidget(CheckBox1);
    left->addLayout(fretRow);

    auto* pickRow = new QHBoxLayout;
    pickRow->setSpacing(3);
    const char* const pickCaptions[] = {"&1 u", "&2 k", "&3 j", "&4 h"};
    for (int k = 1; k <= 4; ++k) {
        pickButtons[k] = makeButton(QString("Button%1").arg(64 + k), pickCaptions[k - 1], group);
        pickButtons[k]->setMinimumWidth(40);
        pickRow->addWidget(pickButtons[k]);
    }
    for (int k = 1; k <= 4; ++k) {
        pickPanels[k] = new Panel(QString("Panel%1").arg(66 + k), QString("&%1").arg(k), group);
        pickPanels[k]->setMinimumWidth(26);
        pickPanels[k]->setMaximumHeight(pickButtons[1]->sizeHint().height());
        pickRow->addWidget(pickPanels[k]);
    }
    Panel65 = new Panel("Panel65", "1-1", group);
    Panel65->setFrameShadow(QFrame::Sunken);
    Panel65->setMinimumWidth(44);
    Panel65->setMaximumHeight(pickButtons[1]->sizeHint().height());
    pickRow->addWidget(Panel65);
    left->addLayout(pickRow);

    auto* displays = new QHBoxLayout;
    JoyStickYPos = display("JoyStickYPos", "Vibrato Position", group);
    VolumePosition = display("VolumePosition", "Volume Position", group);
    TempoModified = display("TempoModified", "Tempo", group);
    displays->addWidget(JoyStickYPos);
    displays->addWidget(VolumePosition);
    displays->addWidget(TempoModified);
    left->addLayout(displays);

    auto* seqRow = new QHBoxLayout;
    Edit123 = display("Edit123", "", group);
    Edit123->setToolTip("The rest of the running picking sequence");
    seqRow->addWidget(Edit123, 1);
    // Beside the "S" and "M" buttons that step the selection: the chords by name.
    ChordNames = new QLabel(group);
    ChordNames->setObjectName("ChordNames");
    ChordNames->setToolTip("The chord in play as it sounds at the fret in play, and the chord "
                           "selected as it would sound at the fret held");
    ChordNames->setFrameShape(QFrame::StyledPanel);
    ChordNames->setFrameShadow(QFrame::Sunken);
    ChordNames->setMinimumWidth(
        ChordNames->fontMetrics().horizontalAdvance("Plays B7/F# \u00b7 selected B7/F#") + 8);
    seqRow->addWidget(ChordNames);
    Button12 = makeButton("Button12", "S", group);
    Button30 = makeButton("Button30", "M", group);
    Button12->setToolTip("Next chord set");
    Button30->setToolTip("Next chord");
    Button32 = makeButton("Button32", "1", group);
    Button31 = makeButton("Button31", "2", group);
    Button33 = makeButton("Button33", "3", group);
    for (auto* b : {Button12, Button30, Button32, Button31, Button33}) {
        b->setFixedWidth(28);
        seqRow->addWidget(b);
    }
    Button32->setToolTip("Alternate instrument 1");
    Button31->setToolTip("Alternate instrument 2");
    Button33->setToolTip("Alternate instrument 3");
    left->addLayout(seqRow);

    RadioGroup1 = new RadioGroup("RadioGroup1", "Metronome", numbers(1, 4), 4, group);
    left->addWidget(RadioGroup1);

    auto* modeRow = new QHBoxLayout;
    Edit22 = new QLineEdit("Click to use KB Mode", group);
    Edit22->setObjectName("Edit22");
    Edit22->setReadOnly(true);
    Edit22->setToolTip("While this box has the focus, the keys play (see \"KB Play Mode\")");
    Edit22->setStyleSheet("QLineEdit:focus { background: #fff3c4; }");
    modeRow->addWidget(Edit22, 1);
    Button70 = makeButton("Button70", "Init Play Mode", group);
    Button79 = makeButton("Button79", "STOP Play Mode", group);
    Button79->hide();
    Button9 = makeButton("Button9", "KB Play Mode", group);
    Button29 = makeButton("Button29", "Silence", group);
    for (auto* b : {Button70, Button79, Button9, Button29})
        modeRow->addWidget(b);
    left->addLayout(modeRow);

    outer->addWidget(buildStatusPages());
    return group;
}

QWidget* TForm1::buildStatusPages() {
    StatusPages = new QTabWidget(this);
    StatusPages->setObjectName("PageControl2");
    auto* page = new QWidget(StatusPages);
    page->setObjectName("Z2UVIRMode");
    StatusPages->addTab(page, "Z2UVIR Mode");

    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(4, 4, 4, 4);
    pageLayout->setSpacing(2);
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    pageLayout->addLayout(row, 1);

    TremTracker = makeVerticalBar("TremTracker", 1, 255, 127, page);
    TempTracker = makeVerticalBar("TempTracker", 1, 1000, 905, page);
    VTracker = makeVerticalBar("VTracker", 0, 127, 63, page);
    TremTracker->setToolTip("Pitch bend");
    TempTracker->setToolTip("Tempo");
    VTracker->setToolTip("Velocity");
    auto* bars = makeBarRow({{"P", TremTracker}, {"T", TempTracker}, {"V", VTracker}}, page);
    row->addLayout(bars);

    auto* middle = new QVBoxLayout;
    middle->setSpacing(2);
    Button69 = makeButton("Button69", "ReInit Joystick", page);
    middle->addWidget(Button69);
    CheckBox3 = makeCheckBox("CheckBox3", "Accomp. Beat", false, page);
    CheckBox4 = makeCheckBox("CheckBox4", "Realtime Frets", true, page);
    CheckBox5 = makeCheckBox("CheckBox5", "Merge Modes", true, page);
    middle->addWidget(CheckBox3);
    middle->addWidget(CheckBox4);
    middle->addWidget(CheckBox5);
    middle->addStretch(1);
    row->addLayout(middle);

    auto* right = new QVBoxLayout;
    right->setSpacing(2);
    RadioGroup3 = new RadioGroup("RadioGroup3", "Pick", numbers(1, 4), 4, page);
    RadioGroup3->setEnabled(false);
    RadioGroup5 = new RadioGroup("RadioGroup5", "PSet", numbers(1, 4), 4, page);
    RadioGroup5->setEnabled(false);
    right->addWidget(RadioGroup3);
    right->addWidget(RadioGroup5);
    right->addStretch(1);
    row->addLayout(right);

    TrackRadioGroup = new RadioGroup("TrackRadioGroup", "Track", numbers(1, 8), 4, page);
    TrackRadioGroup->setItemIndex(0);
    pageLayout->addWidget(TrackRadioGroup);
    return StatusPages;
}

} // namespace fw
